#include "ui/qt/TransferProgress.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace kv::ui {

namespace {

// The number in "<prefix><digits><suffix>", when the text has exactly that shape.
std::optional<int> numberBetween(std::string_view text, std::string_view prefix,
                                 std::string_view suffix) {
    if (!text.starts_with(prefix)) return std::nullopt;
    text.remove_prefix(prefix.size());
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data() || value < 0) return std::nullopt;
    if (std::string_view(end, text.data() + text.size() - end) != suffix) return std::nullopt;
    return value;
}

std::optional<int> numberBetween(std::string_view text, std::string_view prefix,
                                 std::string_view suffix, std::string_view altSuffix) {
    if (auto n = numberBetween(text, prefix, suffix)) return n;
    return numberBetween(text, prefix, altSuffix);
}

}  // namespace

void TransferProgress::statusText(std::string_view text) {
    if (auto seconds = numberBetween(text, "Delaying ", " seconds")) {
        phase_ = Phase::Delay;
        total_ = *seconds;
    } else if (auto kbytes = numberBetween(text, "Programming ", " KBytes")) {
        phase_ = Phase::Data;
        total_ = *kbytes;
    } else if (text == "Waiting for reset") {
        phase_ = Phase::ResetWait;
        total_ = 0;
    } else {
        // Success texts, the flash entry's "Printer responding", anything else:
        // no transfer is counting.
        phase_ = Phase::None;
        total_ = 0;
    }
    current_ = 0;
    dataDone_ = false;
    render();
}

void TransferProgress::stateText(std::string_view text) {
    switch (phase_) {
    case Phase::Delay:
    case Phase::ResetWait:
        if (auto n = numberBetween(text, "", " seconds elapsed")) {
            current_ = *n;
            render();
        }
        break;
    case Phase::Data:
        if (auto k = numberBetween(text, "", " KBytes programmed\r\n", " KBytes programmed")) {
            current_ = *k;
            render();
        } else if (text == "End Of File") {
            current_ = total_;
            dataDone_ = true;
            render();
        }
        break;
    case Phase::None:
        break;
    }
}

void TransferProgress::clear() {
    phase_ = Phase::None;
    total_ = 0;
    current_ = 0;
    dataDone_ = false;
    render();
}

void TransferProgress::render() {
    ProgressView v;
    switch (phase_) {
    case Phase::None:
        break;
    case Phase::Delay:
        // A printer without start delay has nothing to count.
        v.visible = total_ > 0;
        v.maximum = total_;
        v.value = std::min(current_, total_);
        v.text = std::to_string(v.value) + " of " + std::to_string(total_) + " seconds";
        break;
    case Phase::Data: {
        v.visible = true;
        const int shown = std::min(current_, total_);
        // An image under 1 KByte still gets a bar that fills at its end.
        v.maximum = std::max(total_, 1);
        v.value = dataDone_ ? v.maximum : shown;
        v.text = std::to_string(shown) + " of " + std::to_string(total_) + " KBytes";
        break;
    }
    case Phase::ResetWait:
        v.visible = true;
        v.busy = true;
        v.text = std::to_string(current_) + " seconds";
        break;
    }
    view_ = v;
}

}  // namespace kv::ui
