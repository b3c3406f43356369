#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kv::platform {

// A regular file opened for reading; each read goes on where the last ended.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    // Its size when it was opened.
    virtual uint64_t size() const = 0;
    // Up to `capacity` bytes: how many came, 0 at the end of the file, -1 on
    // an error (errorText() says which).
    virtual int64_t read(uint8_t* buffer, size_t capacity) = 0;
    // The last read error, in the system's words.
    virtual std::string errorText() const = 0;
};

struct OpenedFile {
    std::unique_ptr<ReadableFile> file;  // none when it was refused
    std::string reason;                  // then why, in the system's words
};

// Opens the files the program reads but did not write (firmware images).
// The open never waits (a FIFO with no writer, a device), and only a regular
// file is taken, judged on the opened file itself so that nothing can be
// swapped in between. Links are followed: an image may well be one.
class FileReader {
public:
    virtual ~FileReader() = default;
    virtual OpenedFile openRegular(const std::string& path) = 0;
};

}  // namespace kv::platform
