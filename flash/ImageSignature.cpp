#include "flash/ImageSignature.h"

#include "flash/FlashAttempt.h"
#include "image/Crypto.h"
#include "image/SignatureCheck.h"
#include "platform/Trace.h"
#include "platform/Ui.h"

namespace kv {

platform::SignatureFacts signatureFactsFor(const platform::TrustedKeys& trust,
                                           platform::FileReader& files, const std::string& path,
                                           std::string_view blake2b) {
    const SignatureCheck check = checkImageSignature(files, trust, path, blake2b);
    platform::SignatureFacts facts;
    facts.checking = trust.checking;
    facts.shown = trust.checking || check.status != SignatureStatus::None;
    facts.good = check.good();
    facts.keyId = check.keyId;
    facts.trustedComment = check.trustedComment;
    facts.reason = check.reason;
    facts.extraKeys = trust.extraFolder;
    // Without a trusted key nothing is refused: an unknown signer is only
    // not checked.
    if (!trust.checking && check.status == SignatureStatus::UnknownKey)
        facts.reason = "not checked: no trusted key has the ID " + check.keyId;
    return facts;
}

bool signatureAllowsFlash(Context& ctx, const platform::SignatureFacts& facts) {
    if (facts.allows()) return true;
    platform::tracef(ctx.trace(), "Image signature - refused: %s\r\n",
                     platform::escapeDeviceText(facts.reason).c_str());
    platform::box(ctx.ui(), "Image signature", "This image is not flashed: " + facts.reason);
    return false;
}

bool checkImageBeforeFlash(Context& ctx, const FirmwareImage& image) {
    const std::string digest =
        crypto::digestOf(crypto::Hash::Kind::Blake2b512, image.data.data(), image.data.size());
    const platform::SignatureFacts facts = signatureFactsFor(
        ctx.sys.trustedKeys(), ctx.sys.fileReader(), ctx.state.firmwareFileName, digest);
    FlashAttempt& attempt = ctx.state.flashAttempt;
    if (attempt.open) attempt.record.signatureKey = facts.good ? facts.keyId : "";
    if (signatureAllowsFlash(ctx, facts)) return true;
    noteFlashStopped(ctx, "not flashed: " + facts.reason);
    return false;
}

}  // namespace kv
