#include "app/FleetWindowSize.h"

#include <algorithm>

#include "platform/DurableFile.h"

namespace kv {

namespace {

// Anything outside these is no window size this program wrote.
constexpr int kLeast = 200;
constexpr int kMost = 16384;
constexpr size_t kMostDigits = 5;

std::optional<int> numberAt(const std::string& text, size_t& at) {
    const size_t start = at;
    int value = 0;
    while (at < text.size() && at - start < kMostDigits && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at++] - '0');
    }
    if (at == start || value < kLeast || value > kMost) return std::nullopt;
    return value;
}

}  // namespace

std::optional<WindowSize> keptWindowSize(platform::DurableFile& file) {
    // The file service reads at most its bound; only one short line counts.
    const auto text = file.read();
    if (!text) return std::nullopt;
    size_t at = 0;
    const auto width = numberAt(*text, at);
    if (!width || at >= text->size() || (*text)[at++] != ' ') return std::nullopt;
    const auto height = numberAt(*text, at);
    if (!height || text->substr(at) != "\n") return std::nullopt;
    return WindowSize{*width, *height};
}

std::string windowSizeText(WindowSize size) {
    return std::to_string(size.width) + " " + std::to_string(size.height) + "\n";
}

WindowSize openingWindowSize(std::optional<WindowSize> kept, WindowSize wanted, WindowSize screen) {
    const WindowSize size = kept.value_or(wanted);
    return {std::clamp(size.width, std::min(kLeast, screen.width), std::max(screen.width, 1)),
            std::clamp(size.height, std::min(kLeast, screen.height), std::max(screen.height, 1))};
}

}  // namespace kv
