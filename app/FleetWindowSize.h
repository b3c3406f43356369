#pragma once
#include <optional>
#include <string>

namespace kv {

namespace platform {
class DurableFile;
}

// The network printers' window opens tall enough for this many rows where
// the screen allows.
inline constexpr int kFleetDefaultRows = 20;

struct WindowSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowSize&, const WindowSize&) = default;
};

// The size the window was left at, as the file keeps it ("WIDTH HEIGHT"):
// nothing when it is missing or holds anything else.
std::optional<WindowSize> keptWindowSize(platform::DurableFile& file);
std::string windowSizeText(WindowSize size);
// The size a window opens at: the kept one, else `wanted`, within `screen`.
WindowSize openingWindowSize(std::optional<WindowSize> kept, WindowSize wanted, WindowSize screen);

}  // namespace kv
