#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Result.h"

namespace kv::platform {

// A regular file opened for reading; each read goes on where the last ended.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    // Its size when it was opened.
    virtual uint64_t size() const = 0;
    // Up to `capacity` bytes: how many came, 0 at the end of the file; a
    // failure says why in the system's words.
    virtual Result<size_t> read(uint8_t* buffer, size_t capacity) = 0;
};

// Opens the files the program reads but did not write (firmware images).
// The open never waits (a FIFO with no writer, a device), and only a regular
// file is taken, judged on the opened file itself so that nothing can be
// swapped in between. Links are followed: an image may well be one.
class FileReader {
public:
    virtual ~FileReader() = default;
    // A refusal says why in the system's words.
    virtual Result<std::unique_ptr<ReadableFile>> openRegular(const std::string& path) = 0;
};

}  // namespace kv::platform
