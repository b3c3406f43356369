#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Result.h"

namespace kv::platform {

// A regular file, opened without following a link, and locked while this
// object lives: what each platform gives the history to stand on.
class LockedFile {
public:
    virtual ~LockedFile() = default;
    virtual Result<uint64_t> size() = 0;
    // Up to `capacity` bytes from `offset`: how many came, 0 at the end.
    virtual Result<size_t> readAt(uint64_t offset, char* buffer, size_t capacity) = 0;
    // Writes all of `bytes` at the end of the file.
    virtual Result<void> append(const std::string& bytes) = 0;
    // On disk before it returns.
    virtual Result<void> sync() = 0;
};

// How a locked file is opened.
enum class LockFor {
    // Created with its folders when missing; locked against everyone.
    Append,
    // Only when it exists; locked against writers.
    Read,
};

}  // namespace kv::platform
