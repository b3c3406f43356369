#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"

namespace kv::ui {

// No terminal, or one of unknown size: nothing is fitted.
inline constexpr size_t kAnyWidth = SIZE_MAX;

// The characters a line may take on `terminal` without wrapping: its
// columns less the last, which some terminals wrap at and some do not.
size_t lineWidthOf(const std::optional<platform::TerminalSize>& terminal);

// One column of a table: when it gives way to a narrow terminal (1
// first; 0 never), how far its texts may then be cut (0: not at all, the
// column is whole or left out), and the most it ever takes.
struct Column {
    int givesWay = 0;
    size_t least = 0;
    size_t most = kAnyWidth;
};

// The widths of `columns` over `rows` that fit `width` with one space
// between columns (0: the column is left out). Each column is as wide as
// its widest cell, up to its most. In give-way order each column is cut to
// its least, then left out; room left over brings back the columns that
// matter more. Columns that never give way may still not fit: the row is
// then cut (fittedRow).
using Cells = std::vector<std::string>;
std::vector<size_t> fitColumns(const std::vector<Column>& columns, const std::vector<Cells>& rows,
                               size_t width);

// One row: each cell escaped as the event lines escape texts and cut to
// its column without splitting an escape, padded, then the whole cut to
// `width`. Trailing blanks are dropped.
std::string fittedRow(const Cells& cells, const std::vector<size_t>& widths, size_t width);

// The length of a text once escaped: its width on a terminal.
size_t shownWidth(std::string_view text);

}  // namespace kv::ui
