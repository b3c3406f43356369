#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kv::testing {

// A terminal's screen as xterm keeps it: printable ASCII, CR, LF, ESC[nA
// (up, stopping at the top line), ESC[K (erase to the end of the line) and
// ESC[J (to the end of the screen). A character past the last column goes
// to the next line first (the wrap waits for it), scrolling at the bottom;
// lines scrolled off the top are kept. Anything else is noted as odd.
class ScreenModel {
public:
    ScreenModel(size_t columns, size_t lines)
        : columns_(columns), screen_(lines, std::string(columns, ' ')) {}

    void feed(std::string_view bytes) {
        for (char c : bytes) {
            if (!escape_.empty()) {
                escape_ += c;
                if (c >= 0x40 && c <= 0x7E && escape_.size() > 2) apply();
                continue;
            }
            if (c == '\x1b') {
                escape_ = c;
            } else if (c == '\r') {
                x_ = 0;
                pending_ = false;
            } else if (c == '\n') {
                lineFeed();
            } else if (c >= 0x20 && c <= 0x7E) {
                put(c);
            } else {
                odd_.push_back(std::string(1, c));
            }
        }
    }
    // The screen's lines, then those scrolled off, without trailing blanks.
    std::vector<std::string> screen() const { return trimmed(screen_); }
    std::vector<std::string> scrolledOff() const { return trimmed(scrolled_); }
    size_t wraps() const { return wraps_; }
    const std::vector<std::string>& odd() const { return odd_; }

private:
    static std::vector<std::string> trimmed(std::vector<std::string> lines) {
        for (std::string& l : lines) l.erase(l.find_last_not_of(' ') + 1);
        return lines;
    }
    void put(char c) {
        if (pending_) {
            x_ = 0;
            lineFeed();
            ++wraps_;
        }
        screen_[y_][x_] = c;
        pending_ = x_ + 1 == columns_;
        if (!pending_) ++x_;
    }
    void lineFeed() {
        pending_ = false;
        if (y_ + 1 < screen_.size()) {
            ++y_;
            return;
        }
        scrolled_.push_back(screen_.front());
        screen_.erase(screen_.begin());
        screen_.emplace_back(columns_, ' ');
    }
    void apply() {
        const std::string sequence = std::move(escape_);
        escape_.clear();
        const std::string digits = sequence.substr(2, sequence.size() - 3);
        const size_t n = digits.empty() ? 0 : std::stoul(digits);
        pending_ = false;
        if (sequence[1] == '[' && sequence.back() == 'A') {
            y_ -= std::min(std::max<size_t>(n, 1), y_);
        } else if (sequence[1] == '[' && sequence.back() == 'K' && n == 0) {
            screen_[y_].replace(x_, columns_ - x_, columns_ - x_, ' ');
        } else if (sequence[1] == '[' && sequence.back() == 'J' && n == 0) {
            screen_[y_].replace(x_, columns_ - x_, columns_ - x_, ' ');
            for (size_t y = y_ + 1; y < screen_.size(); ++y) screen_[y].assign(columns_, ' ');
        } else {
            odd_.push_back(sequence);
        }
    }

    const size_t columns_;
    std::vector<std::string> screen_;
    std::vector<std::string> scrolled_;
    size_t x_ = 0, y_ = 0;
    bool pending_ = false;
    size_t wraps_ = 0;
    std::string escape_;
    std::vector<std::string> odd_;
};

}  // namespace kv::testing
