#pragma once
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileReader.h"
#include "platform/KeyFolders.h"

namespace kv {

// Exit codes of kvimage. For "check": valid, refused, not headed.
inline constexpr int kImageToolOk = 0;
inline constexpr int kImageToolRefused = 1;
inline constexpr int kImageToolNotHeaded = 2;
inline constexpr int kImageToolError = 3;
// For "verify", whose other outcomes are those of "check".
inline constexpr int kImageToolUsage = 2;

// Where "verify" finds the trusted keys: the system's folders and the
// KVFLASH_TRUSTED_KEYS folder.
struct ImageToolTrust {
    platform::KeyFolders* folders = nullptr;
    std::string extraFolder;
};

struct HeaderVersion {
    uint8_t major = 0;
    uint8_t minor = 0;
};
// "MAJOR.MINOR", each 0 to 255 in decimal.
std::optional<HeaderVersion> parseHeaderVersion(std::string_view text);

// A test payload of `size` bytes: the marker "FWV:<version>;" at its start,
// then pseudo-random bytes that are the same on every run.
std::vector<uint8_t> makeTestPayload(const std::string& version, size_t size);

// The kvimage command line (without the program name): wrap, check, make, verify;
// input files are opened through `files`. Results on `out`; an error is one
// line on `err` and kImageToolError.
int runImageTool(platform::FileReader& files, const std::vector<std::string>& args,
                 std::ostream& out, std::ostream& err, const ImageToolTrust& trust = {});

}  // namespace kv
