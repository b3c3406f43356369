#include "image/SignatureCheck.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "image/Crypto.h"
#include "image/FileBytes.h"
#include "image/Minisign.h"

namespace kv {
namespace {

SignatureCheck refusal(SignatureStatus status, std::string reason) {
    SignatureCheck check;
    check.status = status;
    check.reason = std::move(reason);
    return check;
}

std::vector<const MinisignKey*> keysWithId(const TrustedKeys& trust,
                                           const std::array<uint8_t, 8>& id) {
    std::vector<const MinisignKey*> found;
    for (const auto* list : {&trust.keys, &trust.demoKeys})
        for (const TrustedKey& k : *list)
            if (k.key.id == id) found.push_back(&k.key);
    return found;
}

// What the global signature covers: the signature, then the trusted comment.
std::vector<uint8_t> globalMessage(const MinisignSignature& s) {
    std::vector<uint8_t> message(s.signature.begin(), s.signature.end());
    message.insert(message.end(), s.trustedComment.begin(), s.trustedComment.end());
    return message;
}

SignatureStatus judge(const MinisignSignature& s, std::string_view blake2b,
                      const std::vector<const MinisignKey*>& keys) {
    const std::vector<uint8_t> global = globalMessage(s);
    bool signedImage = false;
    for (const MinisignKey* key : keys) {
        if (!crypto::ed25519Verify(key->key, reinterpret_cast<const uint8_t*>(blake2b.data()),
                                   blake2b.size(), s.signature))
            continue;
        signedImage = true;
        if (crypto::ed25519Verify(key->key, global.data(), global.size(), s.globalSignature))
            return SignatureStatus::Good;
    }
    return signedImage ? SignatureStatus::CommentAltered : SignatureStatus::ImageMismatch;
}

// A key file that could not be trusted stops every image, whatever the
// signature says.
SignatureCheck overruled(const TrustedKeys& trust, SignatureCheck check) {
    if (!trust.badFiles.empty()) {
        check.status = SignatureStatus::BadKeyFile;
        check.reason = trust.badFiles.front();
    }
    return check;
}

}  // namespace

SignatureCheck checkSignature(const TrustedKeys& trust, std::string_view signatureText,
                              std::string_view imageBlake2b) {
    const Parsed<MinisignSignature> parsed = parseMinisignSignature(signatureText);
    if (!parsed.value)
        return overruled(trust, refusal(SignatureStatus::Malformed, "malformed: " + parsed.reason));
    const MinisignSignature& s = *parsed.value;
    SignatureCheck check;
    check.keyId = keyIdText(s.keyId);
    check.trustedComment = s.trustedComment;
    const std::vector<const MinisignKey*> keys = keysWithId(trust, s.keyId);
    if (!s.prehashed) {
        check.status = SignatureStatus::Legacy;
        check.reason =
            "a legacy signature (minisign -l, over the whole file): sign the image "
            "again without -l";
    } else if (keys.empty()) {
        check.status = SignatureStatus::UnknownKey;
        check.reason = "signed by an unknown key " + check.keyId;
    } else {
        check.status = judge(s, imageBlake2b, keys);
        if (check.status == SignatureStatus::ImageMismatch)
            check.reason = "the image does not match its signature";
        else if (check.status == SignatureStatus::CommentAltered)
            check.reason = "the trusted comment was altered";
    }
    return overruled(trust, std::move(check));
}

SignatureCheck checkImageSignature(platform::FileReader& files, const TrustedKeys& trust,
                                   const std::string& imagePath, std::string_view imageBlake2b) {
    const std::string path = imagePath + ".minisig";
    const FileBytes file = readFileBytes(files, path, kMinisignFileLimit);
    SignatureCheck check;
    if (file.status == FileBytes::Status::Ok) {
        const std::string text(file.bytes.begin(), file.bytes.end());
        check = checkSignature(trust, text, imageBlake2b);
        if (check.status == SignatureStatus::Malformed)
            check.reason = "the signature file " + path + " is " + check.reason;
        return check;
    }
    std::error_code ec;
    if (file.status == FileBytes::Status::Unreadable &&
        !std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        check = refusal(SignatureStatus::None, "no signature (no " + path + ")");
    } else {
        check = refusal(SignatureStatus::Unreadable,
                        "the signature file " + path + " cannot be read: " +
                            (file.status == FileBytes::Status::TooLarge
                                 ? "larger than " + std::to_string(kMinisignFileLimit) + " bytes"
                                 : file.reason));
    }
    return overruled(trust, std::move(check));
}

}  // namespace kv
