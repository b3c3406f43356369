#include "ui/console/Columns.h"

#include <algorithm>

#include "ui/console/ConsoleText.h"

namespace kv::ui {

namespace {

size_t tableWidth(const std::vector<size_t>& widths) {
    size_t sum = 0, shown = 0;
    for (size_t w : widths) {
        if (w == 0) continue;
        sum += w;
        ++shown;
    }
    return shown ? sum + shown - 1 : 0;
}

// Escaped, then cut to `width` characters without splitting an escape.
std::string cell(std::string_view text, size_t width) {
    std::string out;
    for (char c : text) {
        const std::string piece = escapeConsoleText(std::string_view(&c, 1));
        if (out.size() + piece.size() > width) break;
        out += piece;
    }
    return out;
}

}  // namespace

size_t lineWidthOf(const std::optional<platform::TerminalSize>& terminal) {
    return terminal && terminal->columns > 1 ? terminal->columns - 1 : kAnyWidth;
}

std::vector<size_t> fitColumns(const std::vector<Column>& columns, const std::vector<Cells>& rows,
                               size_t width) {
    std::vector<size_t> natural(columns.size(), 0);
    for (const Cells& cells : rows) {
        for (size_t i = 0; i < cells.size() && i < columns.size(); ++i) {
            natural[i] = std::max(natural[i], std::min(columns[i].most, shownWidth(cells[i])));
        }
    }
    const auto least = [&](size_t i) {
        return columns[i].least ? std::min(columns[i].least, natural[i]) : natural[i];
    };
    std::vector<size_t> widths = natural;
    std::vector<size_t> order;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].givesWay > 0 && natural[i] > 0) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return columns[a].givesWay < columns[b].givesWay; });
    std::vector<size_t> gone;
    for (size_t i : order) {
        const size_t total = tableWidth(widths);
        if (total <= width) break;
        widths[i] -= std::min(total - width, widths[i] - least(i));
        if (tableWidth(widths) > width) {
            widths[i] = 0;
            gone.push_back(i);
        }
    }
    for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
        const size_t total = tableWidth(widths);
        if (total + 1 + least(*it) <= width)
            widths[*it] = std::min(natural[*it], width - total - 1);
    }
    return widths;
}

std::string fittedRow(const Cells& cells, const std::vector<size_t>& widths, size_t width) {
    const size_t count = std::min(cells.size(), widths.size());
    size_t last = 0;
    for (size_t i = 0; i < count; ++i) {
        if (widths[i] > 0) last = i;
    }
    std::string row;
    bool first = true;
    for (size_t i = 0; i < count; ++i) {
        if (widths[i] == 0) continue;
        if (!first) row += ' ';
        first = false;
        const std::string text = cell(cells[i], widths[i]);
        row += text;
        if (i != last) row.append(widths[i] - text.size(), ' ');
    }
    if (row.size() > width) row.resize(width);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    return row;
}

size_t shownWidth(std::string_view text) { return escapeConsoleText(text).size(); }

}  // namespace kv::ui
