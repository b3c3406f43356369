#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "SignatureFixtures.h"
#include "image/Crypto.h"
#include "image/ImageTool.h"
#include "image/SignatureCheck.h"
#include "image/TrustedKeyFiles.h"
#include "tests/support/Files.h"
#include "tests/support/HostPlatform.h"
#include "tests/support/TempDir.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using Status = SignatureStatus;

std::string fixture(const std::string& name) {
    for (const EmbeddedFile& f : kEmbeddedFiles)
        if (name == f.name) return std::string(f.bytes, f.size);
    ADD_FAILURE() << "no fixture " << name;
    return {};
}

constexpr const char* kSiteId = "03C33CDB3149F848";
constexpr const char* kOtherId = "A6009FD619EE5D59";

// The images the fixtures sign: kvimage's test payloads.
std::vector<uint8_t> image(bool large) {
    return makeTestPayload("V1.00", large ? 3u << 20 : 64u << 10);
}

struct Case {
    const char* what;
    bool large = false;
    size_t flip = SIZE_MAX;        // a byte flipped after signing
    const char* signature = "";    // a fixture; "" none; "@big" too large; "@folder" a folder
    const char* key = "site.pub";  // in the KVFLASH_TRUSTED_KEYS folder
    Status expected = Status::Good;
    const char* keyId = "";
    const char* reason = "";  // a part of the refusal
};

TEST(Signature, VerificationCases) {
    const Case cases[] = {
        {"good", false, SIZE_MAX, "small.minisig", "site.pub", Status::Good, kSiteId},
        {"good, 3 MiB", true, SIZE_MAX, "large.minisig", "site.pub", Status::Good, kSiteId},
        {"flipped byte, 64 KiB", false, 40000, "small.minisig", "site.pub", Status::ImageMismatch,
         kSiteId, "does not match its signature"},
        {"flipped byte, 3 MiB", true, 2u << 20, "large.minisig", "site.pub", Status::ImageMismatch,
         kSiteId},
        {"legacy", false, SIZE_MAX, "legacy.minisig", "site.pub", Status::Legacy, kSiteId,
         "sign the image again without -l"},
        {"another key", false, SIZE_MAX, "other-key.minisig", "site.pub", Status::UnknownKey,
         kOtherId, "unknown key A6009FD619EE5D59"},
        {"altered trusted comment", false, SIZE_MAX, "altered-comment.minisig", "site.pub",
         Status::CommentAltered, kSiteId, "trusted comment was altered"},
        {"cut short", false, SIZE_MAX, "cut-short.minisig", "site.pub", Status::Malformed, "",
         "not four lines"},
        {"bad base64", false, SIZE_MAX, "bad-base64.minisig", "site.pub", Status::Malformed, "",
         "not valid base64"},
        {"CRLF signature", false, SIZE_MAX, "crlf.minisig", "site.pub", Status::Good, kSiteId},
        {"CRLF key", false, SIZE_MAX, "small.minisig", "site-crlf.pub", Status::Good, kSiteId},
        {"oversized signature", false, SIZE_MAX, "@big", "site.pub", Status::Unreadable, "",
         "larger than 4096 bytes"},
        {"a folder in its place", false, SIZE_MAX, "@folder", "site.pub", Status::Unreadable},
        {"no signature", false, SIZE_MAX, "", "site.pub", Status::None, "", "no signature"},
        {"a key file that does not parse", false, SIZE_MAX, "small.minisig", "small.minisig",
         Status::BadKeyFile, kSiteId, "is not trusted: not two lines"},
        {"a key the library cannot use", false, SIZE_MAX, "small.minisig", "zero-key.pub",
         Status::BadKeyFile, kSiteId, "not a usable Ed25519 key"},
    };
    auto reader = testing::makeHostFileReader();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempDir dir;
        fs::create_directory(dir.path() / "keys");
        testing::writeFile(dir.path() / "keys" / "trusted.pub", fixture(c.key));
        std::vector<uint8_t> bytes = image(c.large);
        if (c.flip != SIZE_MAX) bytes[c.flip] ^= 0x01;
        const std::string path = dir.file("image.bin");
        testing::writeAll(path, bytes);
        const std::string sig = c.signature;
        if (sig == "@big") {
            testing::writeFile(path + ".minisig",
                               fixture("small.minisig") + std::string(4000, '#'));
        } else if (sig == "@folder") {
            fs::create_directory(path + ".minisig");
        } else if (!sig.empty()) {
            testing::writeFile(path + ".minisig", fixture(sig));
        }
        auto folders = testing::makeHostKeyFolders(dir.file("no-system-folder"));
        const TrustedKeys trust = loadTrustedKeys(*reader, *folders, dir.file("keys"));
        EXPECT_TRUE(trust.checking);
        const std::string digest =
            crypto::digestOf(crypto::Hash::Kind::Blake2b512, bytes.data(), bytes.size());
        const SignatureCheck check = checkImageSignature(*reader, trust, path, digest);
        EXPECT_EQ(check.status, c.expected) << check.reason;
        EXPECT_EQ(check.keyId, c.keyId);
        EXPECT_NE(check.reason.find(c.reason), std::string::npos) << check.reason;
        if (check.good()) {
            EXPECT_EQ(check.trustedComment.rfind("kvflash test image V1.00", 0), 0u);
        }
    }
}

#ifndef _WIN32
// The system folder's rule: a key another user could have written is not
// trusted, and refuses every image.
TEST(Signature, SystemKeyOpenToOthersIsNotTrusted) {
    testing::TempDir dir;
    const fs::path system = dir.path() / "system";
    fs::create_directory(system);
    testing::writeFile(system / "site.pub", fixture("site.pub"));
    auto reader = testing::makeHostFileReader();
    auto folders = testing::makeHostKeyFolders(system.string());
    // Owned by root (as the suite runs in CI) and closed: trusted. Not as
    // root, the files are the tester's own: not trusted either way.
    const bool root = testing::runningAsRoot();
    EXPECT_EQ(loadTrustedKeys(*reader, *folders, "").badFiles.empty(), root);
    fs::permissions(system / "site.pub", fs::perms::group_write, fs::perm_options::add);
    TrustedKeys trust = loadTrustedKeys(*reader, *folders, "");
    ASSERT_EQ(trust.badFiles.size(), 1u);
    EXPECT_TRUE(trust.checking);
    EXPECT_NE(trust.badFiles[0].find(root ? "writable by group or others" : "not owned by root"),
              std::string::npos);
    EXPECT_TRUE(trust.keys.empty());
}

// The same check as the table, by Debian's minisign itself, when installed.
TEST(Signature, LiveMinisign) {
    if (std::system("minisign -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "no minisign";
    testing::TempDir dir;
    const std::string key = dir.file("live.key"), pub = (dir.path() / "keys" / "live.pub").string();
    fs::create_directory(dir.path() / "keys");
    const std::string path = dir.file("image.bin");
    const std::vector<uint8_t> bytes = makeTestPayload("V2.00", 100000);
    testing::writeAll(path, bytes);
    ASSERT_EQ(std::system(("minisign -G -W -p " + pub + " -s " + key + " >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system(
                  ("minisign -S -s " + key + " -m " + path + " -t 'live test' >/dev/null").c_str()),
              0);
    auto reader = testing::makeHostFileReader();
    auto folders = testing::makeHostKeyFolders(dir.file("none"));
    const TrustedKeys trust = loadTrustedKeys(*reader, *folders, dir.file("keys"));
    const std::string digest =
        crypto::digestOf(crypto::Hash::Kind::Blake2b512, bytes.data(), bytes.size());
    const SignatureCheck check = checkImageSignature(*reader, trust, path, digest);
    EXPECT_TRUE(check.good()) << check.reason;
    EXPECT_EQ(check.trustedComment, "live test");
}
#endif

}  // namespace
}  // namespace kv
