#pragma once
#include <cstdint>
#include <functional>
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

// The same read, each piece handed to `take` as it comes instead of kept
// (with the file's size when it was opened, so room can be made at once):
// the result has no bytes. Pieces already taken stand even when the read
// fails or the file turns out too large later.
using FilePieceTaker =
    std::function<void(const uint8_t* piece, size_t length, uint64_t sizeAtOpen)>;
FileBytes readFilePieces(platform::FileReader& files, const std::string& path, uint64_t maxBytes,
                         const FilePieceTaker& take);

// Writes (replacing) a file; on failure returns false with the reason.
[[nodiscard]] bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                                  std::string* reason);

}  // namespace kv
