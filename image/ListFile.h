#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/FileReader.h"

namespace kv {

// A list the user keeps in a file (addresses, emulated printers): one entry
// a line, '#' starts a comment, blank lines count for nothing. Plain ASCII
// text only: a control byte (other than a tab, or the CR of a CRLF) or a
// byte above 0x7E is refused as binary, with the line it is on.
inline constexpr uint64_t kMaxListFileBytes = 1024 * 1024;
inline constexpr size_t kMaxListLineLength = 1024;

struct ListLine {
    size_t number;     // 1-based
    std::string text;  // without the comment, blanks trimmed, never empty
};
struct ListFileError {
    std::optional<size_t> line;  // where it is in the file, when it is in one line
    std::string reason;
};
using ListFileLines = std::variant<std::vector<ListLine>, ListFileError>;

// The entries of a list's text.
ListFileLines splitListLines(std::string_view text, size_t maxLineLength = kMaxListLineLength);

// The entries of a list file, read through the file reader: a regular file
// (never a FIFO, a device or a folder) of at most maxBytes.
ListFileLines readListFile(platform::FileReader& files, const std::string& path,
                           uint64_t maxBytes = kMaxListFileBytes);

}  // namespace kv
