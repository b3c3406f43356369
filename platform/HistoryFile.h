#pragma once
#include <string>

#include "platform/Result.h"

namespace kv::platform {

// An append-only file of one-line records shared by every copy of the
// program on the machine: a line goes in whole under a lock, so lines from
// two processes never mix, and is on disk before append returns.
class HistoryFile {
public:
    virtual ~HistoryFile() = default;
    // Appends `line` and a line break. A line left unfinished by an earlier
    // crash is ended first, so it damages no line after it.
    virtual Result<void> append(const std::string& line) = 0;
    // The content: empty when there is no file yet.
    virtual Result<std::string> read() = 0;
    // Where it lives, for messages.
    virtual std::string location() = 0;
};

}  // namespace kv::platform
