#include "ui/console/FleetRenderer.h"

#include <algorithm>
#include <chrono>

#include "platform/Format.h"
#include "ui/console/ConsoleText.h"
#include "ui/console/FleetRows.h"
#include "ui/console/FleetView.h"

namespace kv::ui {

namespace {

// A line of ours for the terminal: control bytes escaped so that none can
// move the cursor; the backslashes of text escaped before stay as they are.
std::string screenSafe(std::string_view line) {
    std::string out;
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        out +=
            u >= 0x20 && u <= 0x7E ? std::string(1, c) : escapeConsoleText(std::string_view(&c, 1));
    }
    return out + "\n";
}

// The screen lines a line of `length` characters takes at `columns`: a
// terminal that reflows its lines on a resize splits a row drawn wider
// (and counts what a line once held, though erased since).
size_t screenLines(size_t length, size_t columns) {
    return length <= columns ? 1 : (length + columns - 1) / columns;
}

}  // namespace

FleetRenderer::FleetRenderer(const fleet::Fleet& fleet, ScreenSize screenSize, Sink sink)
    : fleet_(fleet),
      screenSize_(std::move(screenSize)),
      sink_(std::move(sink)),
      seen_(fleet.size(), 0) {}

FleetRenderer::~FleetRenderer() { stop(); }

void FleetRenderer::start(uint32_t intervalMs) {
    thread_ = std::thread([this, intervalMs] {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            lock.unlock();
            drawOnce();
            lock.lock();
            wake_.wait_for(lock, std::chrono::milliseconds(intervalMs),
                           [this] { return stopping_ || !above_.empty(); });
        }
        lock.unlock();
        drawOnce();
    });
}

void FleetRenderer::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    stopped_ = true;
}

void FleetRenderer::print(std::string_view line) {
    {
        std::lock_guard lock(mutex_);
        if (!stopped_) {
            if (above_.size() < kMaxLinesAbove) {
                above_.emplace_back(line);
            } else {
                ++aboveDropped_;
            }
            wake_.notify_all();
            return;
        }
    }
    sink_(screenSafe(line));
}

std::string FleetRenderer::upOverRows(size_t columns) const {
    size_t lines = 0;
    for (size_t length : widest_) lines += screenLines(length, columns);
    return lines ? "\x1b[" + std::to_string(lines) + "A\r" : "";
}

std::string FleetRenderer::rowsPiece(const platform::TerminalSize& size,
                                     const std::vector<std::string>& above) {
    std::vector<fleet::PrinterSnapshot> printers;
    for (size_t i = 0; i < fleet_.size(); ++i) printers.push_back(fleet_.slot(i).snapshot());
    std::vector<std::string> rows = fleetRowBlock(printers, size);
    if (above.empty() && rows == drawn_ && size.columns == drawnColumns_) return "";
    // Back to the first row; each line is erased after its text, and
    // whatever a shorter block left below goes too. After a resize, or
    // with lines to put above, all of it is erased first.
    std::string out = upOverRows(size.columns);
    if (!above.empty() || size.columns != drawnColumns_) {
        out += "\x1b[J";
        widest_.clear();
    }
    for (const std::string& line : above) out += screenSafe(line);
    widest_.resize(rows.size(), 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        out += rows[i] + "\x1b[K\n";
        widest_[i] = std::max(widest_[i], rows[i].size());
    }
    out += "\x1b[J";
    drawn_ = std::move(rows);
    drawnColumns_ = size.columns;
    return out;
}

void FleetRenderer::drawOnce() {
    std::vector<std::string> above;
    {
        std::lock_guard lock(mutex_);
        above.swap(above_);
        if (aboveDropped_ > 0) {
            above.push_back(
                platform::formatted("(%zu lines not shown: the terminal was slow)", aboveDropped_));
            aboveDropped_ = 0;
        }
    }
    const std::optional<platform::TerminalSize> size =
        screenSize_ ? screenSize_() : std::optional<platform::TerminalSize>();
    const bool rows = size && size->columns >= kLeastRowColumns && size->lines >= kLeastRowLines;
    // Under rows the phase events are passed over, so that lines, should
    // the window narrow, start from then.
    std::string events;
    for (size_t i = 0; i < fleet_.size(); ++i) {
        const fleet::PrinterSlot& slot = fleet_.slot(i);
        for (const fleet::PhaseEvent& e : slot.eventsSince(seen_[i])) {
            if (!rows) events += fleetEventLine(slot.snapshot().endpoint, e) + "\n";
        }
    }
    std::string out;
    if (rows) {
        out = rowsPiece(*size, above);
    } else {
        // Rows drawn before the window narrowed give way to the lines.
        if (!drawn_.empty()) {
            out = upOverRows(size ? size->columns : drawnColumns_) + "\x1b[J";
            drawn_.clear();
            widest_.clear();
        }
        for (const std::string& line : above) out += screenSafe(line);
        out += events;
    }
    if (!out.empty()) sink_(out);
}

}  // namespace kv::ui
