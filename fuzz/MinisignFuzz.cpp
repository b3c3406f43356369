// minisign's key and signature files, as a site or a stranger may write
// them, and the verdict on an image under the parsed key.
#include <string_view>

#include "fuzz/FuzzWorld.h"
#include "image/Minisign.h"
#include "image/SignatureCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Parsed<MinisignKey> key = parseMinisignKey(text);
    fuzz::require(key.value.has_value() != !key.reason.empty());
    const Parsed<MinisignSignature> sig = parseMinisignSignature(text);
    fuzz::require(sig.value.has_value() != !sig.reason.empty());
    if (sig.value) {
        fuzz::require(sig.value->trustedComment.find('\n') == std::string::npos);
        TrustedKeys trust;
        if (key.value) trust.keys.push_back({*key.value, "fuzz.pub"});
        trust.keys.push_back({MinisignKey{sig.value->keyId, {}}, "zero.pub"});
        const SignatureCheck check = checkSignature(trust, text, std::string(64, '\0'));
        // A random key never verifies a random signature.
        fuzz::require(!check.good());
        fuzz::require(check.keyId.size() == 16 && !check.reason.empty());
    }
    return 0;
}
