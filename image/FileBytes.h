#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileReader.h"

namespace kv {

// 64 MiB: far beyond any printer's flash, small enough to hold in memory.
inline constexpr uint64_t kMaxFirmwareImageBytes = 64ull * 1024 * 1024;

struct FileBytes {
    enum class Status { Ok, Unreadable, TooLarge };
    Status status = Status::Unreadable;
    std::vector<uint8_t> bytes;  // the whole file when Ok
    uint64_t size = 0;           // what was seen of the file's size
    std::string reason;          // for Unreadable: why, in a few words
};

// Reads a regular file whole, refusing it once it holds more than maxBytes,
// without reading or allocating beyond that.
FileBytes readFileBytes(platform::FileReader& files, const std::string& path,
                        uint64_t maxBytes = kMaxFirmwareImageBytes);

// Writes (replacing) a file; on failure returns false with the reason.
[[nodiscard]] bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* reason);

}  // namespace kv
