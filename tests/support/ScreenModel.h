#pragma once
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::testing {

// A terminal's screen as xterm keeps it: printable ASCII, CR, LF, ESC[nA
// (up, stopping at the top line), ESC[K and ESC[J (erase to the end of the
// line, of the screen). A character past the last column goes to the next
// line first (the wrap waits for it), scrolling at the bottom; lines
// scrolled off the top are kept. Anything else is noted as odd.
class ScreenModel {
public:
    ScreenModel(size_t columns, size_t lines) : columns_(columns), lines_(lines, blank()) {}

    void feed(std::string_view bytes) {
        for (char c : bytes) {
            if (!escape_.empty() || c == '\x1b') {
                escape_ += c;
                if (escape_.size() > 2 && c >= 0x40 && c <= 0x7E) apply();
            } else if (c == '\r' || c == '\n') {
                c == '\r' ? (void)(x_ = 0) : lineFeed();
                pending_ = false;
            } else if (c >= 0x20 && c <= 0x7E) {
                if (pending_) {
                    x_ = 0;
                    lineFeed();
                    ++wraps_;
                }
                lines_[y_][x_] = c;
                pending_ = x_ + 1 == columns_;
                x_ += pending_ ? 0 : 1;
            } else {
                odd_.push_back(std::string(1, c));
            }
        }
    }
    // The lines scrolled off, then the screen's, without trailing blanks.
    std::vector<std::string> all() const {
        std::vector<std::string> out = scrolled_;
        out.insert(out.end(), lines_.begin(), lines_.end());
        for (std::string& l : out) l.erase(l.find_last_not_of(' ') + 1);
        return out;
    }
    size_t wraps() const { return wraps_; }
    const std::vector<std::string>& odd() const { return odd_; }

private:
    std::string blank() const { return std::string(columns_, ' '); }
    void lineFeed() {
        if (y_ + 1 < lines_.size()) return (void)++y_;
        scrolled_.push_back(lines_.front());
        lines_.erase(lines_.begin());
        lines_.push_back(blank());
    }
    void apply() {
        const std::string s = std::exchange(escape_, {});
        const std::string digits = s.substr(2, s.size() - 3);
        const size_t n = digits.empty() ? 0 : std::stoul(digits);
        pending_ = false;
        if (s[1] == '[' && s.back() == 'A') {
            y_ -= std::min(std::max<size_t>(n, 1), y_);
        } else if (s[1] == '[' && (s.back() == 'K' || s.back() == 'J') && n == 0) {
            lines_[y_].replace(x_, columns_ - x_, columns_ - x_, ' ');
            for (size_t y = y_ + 1; s.back() == 'J' && y < lines_.size(); ++y) lines_[y] = blank();
        } else {
            odd_.push_back(s);
        }
    }

    const size_t columns_;
    std::vector<std::string> lines_, scrolled_, odd_;
    size_t x_ = 0, y_ = 0, wraps_ = 0;
    bool pending_ = false;
    std::string escape_;
};

}  // namespace kv::testing
