#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace kv::platform {

class Files {
public:
    virtual ~Files() = default;
    // Full path of the running program as it was started.
    virtual std::string executablePath() = 0;
    // Names (not paths) of the entries of a folder that match *.bin ignoring
    // case, folders among them, in the folder's own order. An unreadable
    // folder gives none.
    virtual std::vector<std::string> binFilesIn(const std::string& folder) = 0;
    // What a file-open dialog checks before it returns `path`, without
    // opening it: succeeds when it names an existing regular file this
    // program may read, else fails with a short reason ("no such file", "a
    // folder").
    virtual Result<void> fileToOpen(const std::string& path) = 0;
    // The character that ends a folder's name in executablePath().
    virtual char folderSeparator() const { return '/'; }
    // Whether the program's standard input or output is a terminal: a
    // person may answer there, rows may be redrawn in place.
    enum class Stream { Input, Output, Error };
    virtual bool isTerminal(Stream) const { return false; }
    // Writes `text` to the standard error only as far as it takes it at
    // once: for the last words of a program ending now, which must not hang
    // on a stalled terminal or pipe. What it did not take is lost.
    virtual void writeErrorNow(std::string_view text) { (void)text; }
};

}  // namespace kv::platform
