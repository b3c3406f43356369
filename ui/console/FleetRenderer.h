#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fleet/FleetRun.h"
#include "platform/Files.h"

namespace kv::ui {

// Draws a fleet's slots while it runs, on a thread of its own: workers
// never wait for it, and output that blocks or fails holds only this
// thread. On a terminal of known size, at least kLeastRowColumns wide, it
// redraws a block of rows in place (FleetRows); else it writes one event
// line per phase change. The size is asked before every drawing, so a
// resized window gets rows that fit it within one interval (asking costs
// one call, and needs no signal handler beside the program's own).
class FleetRenderer {
public:
    // Takes a piece of output; it may block or fail, as a terminal may.
    using Sink = std::function<void(const std::string&)>;
    // The terminal's size now; none (or an empty function) for lines.
    using ScreenSize = std::function<std::optional<platform::TerminalSize>()>;
    // Lines waiting to be put above the rows; more are counted, not kept.
    static constexpr size_t kMaxLinesAbove = 512;

    FleetRenderer(const fleet::Fleet& fleet, ScreenSize screenSize, Sink sink);
    ~FleetRenderer();
    // Draws every intervalMs, and at once when a line comes, until stop().
    void start(uint32_t intervalMs = 200);
    // A last drawing, then the thread ends.
    void stop();
    // One drawing of what changed, on the caller's thread.
    void drawOnce();
    // A line for the same terminal (a stop line, a trace line) put above the
    // rows at the next drawing; never blocks. After stop(), written at once.
    void print(std::string_view line);

private:
    std::string rowsPiece(const platform::TerminalSize& size,
                          const std::vector<std::string>& above);
    std::string upOverRows(size_t columns) const;

    const fleet::Fleet& fleet_;
    ScreenSize screenSize_;
    Sink sink_;
    std::vector<size_t> seen_;
    // The rows on screen as last drawn, and the columns they were drawn at;
    // the longest text each of their lines held since it was last erased
    // whole.
    std::vector<std::string> drawn_;
    size_t drawnColumns_ = 0;
    std::vector<size_t> widest_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool stopped_ = false;
    std::vector<std::string> above_;
    size_t aboveDropped_ = 0;
};

}  // namespace kv::ui
