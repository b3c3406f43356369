#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// The version text field of a firmware image: 128 bytes with the terminator.
inline constexpr size_t kFirmwareVersionTextSize = 128;
inline constexpr std::string_view kFirmwareVersionMarker = "FWV:";

// The version an image carries: the value behind its first "FWV:" marker, up
// to ";" or a NUL, at most 127 characters; empty without a marker. A printer
// reports the same value once it has taken the image.
inline std::string firmwareVersionInImage(const uint8_t* data, size_t length) {
    if (!data || length == 0) return {};
    std::string_view bytes(reinterpret_cast<const char*>(data), length);
    size_t at = bytes.find(kFirmwareVersionMarker);
    if (at == std::string_view::npos) return {};
    std::string_view value = bytes.substr(at + kFirmwareVersionMarker.size());
    value = value.substr(0, value.find_first_of(std::string_view(";\0", 2)));
    return std::string(value.substr(0, kFirmwareVersionTextSize - 1));
}

// The same value found in an image that arrives in pieces, keeping no more
// of it than the value itself.
class FirmwareMarkerScanner {
public:
    void feed(const uint8_t* data, size_t length) {
        for (size_t i = 0; i < length && !done_; ++i) {
            const char c = static_cast<char>(data[i]);
            if (!found_) {
                // The marker repeats no part of itself: a mismatch can only
                // be the start of a new one.
                if (c == kFirmwareVersionMarker[matched_]) {
                    found_ = ++matched_ == kFirmwareVersionMarker.size();
                } else {
                    matched_ = c == kFirmwareVersionMarker[0] ? 1 : 0;
                }
            } else if (c == ';' || c == '\0' || value_.size() == kFirmwareVersionTextSize - 1) {
                done_ = true;
            } else {
                value_ += c;
            }
        }
    }
    // Empty without a marker so far.
    const std::string& version() const { return value_; }

private:
    size_t matched_ = 0;
    bool found_ = false;
    bool done_ = false;
    std::string value_;
};

}  // namespace kv
