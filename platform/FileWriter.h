#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace kv::platform {

// A file the program writes, a piece at a time, each at its end.
class WritableFile {
public:
    virtual ~WritableFile() = default;
    // All of `bytes`, or a failure in the system's words.
    virtual Result<void> append(std::string_view bytes) = 0;
};

// Creates the files the program writes for people to read (the fleet's
// per-printer logs). Only a new file is made: a name already taken, by a
// link or anything else, is refused, so nothing is written through a link
// or into a file someone else placed. Only a regular file is kept, judged
// on the opened file; readable by everyone (0644 on Linux).
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual Result<std::unique_ptr<WritableFile>> createNew(const std::string& path) = 0;
};

}  // namespace kv::platform
