#pragma once
#include <string>
#include <string_view>

#include "platform/FileReader.h"
#include "platform/TrustedKeys.h"

namespace kv {

using platform::MinisignKey;
using platform::TrustedKey;
using platform::TrustedKeys;

enum class SignatureStatus {
    Good,
    None,        // no IMAGE.minisig
    Unreadable,  // there, but no regular file, too large, or unreadable
    Malformed,
    Legacy,  // minisign -l
    UnknownKey,
    ImageMismatch,   // the image is not what was signed
    CommentAltered,  // the trusted comment is not what was signed
    BadKeyFile,      // a key file could not be trusted: every image is refused
};

struct SignatureCheck {
    SignatureStatus status = SignatureStatus::None;
    // The signature's key ID and trusted comment, once the file was read.
    std::string keyId;
    std::string trustedComment;
    // Why it is refused, in a sentence's words; empty when good.
    std::string reason;
    bool good() const { return status == SignatureStatus::Good; }
};

// The .minisig text judged against the trusted keys (the demo keys among
// them) and the image's BLAKE2b-512 digest (64 bytes). Both signatures
// must verify under a key of the signature's ID.
SignatureCheck checkSignature(const TrustedKeys& trust, std::string_view signatureText,
                              std::string_view imageBlake2b);

// The same for the signature beside the image, `imagePath` + ".minisig",
// read through the file reader within kMinisignFileLimit.
SignatureCheck checkImageSignature(platform::FileReader& files, const TrustedKeys& trust,
                                   const std::string& imagePath, std::string_view imageBlake2b);

}  // namespace kv
