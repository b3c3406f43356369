#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv::ui {

// Predefined control classes as a dialog template names them.
inline constexpr WORD kButtonAtom = 0x0080;
inline constexpr WORD kEditAtom = 0x0081;
inline constexpr WORD kStaticAtom = 0x0082;
inline constexpr WORD kComboBoxAtom = 0x0085;

// The little-endian words of an in-memory dialog template.
class TemplateWriter {
public:
    void word(WORD w) {
        bytes_.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes_.push_back(static_cast<uint8_t>(w >> 8));
    }
    void dword(DWORD d) {
        word(static_cast<WORD>(d & 0xFFFF));
        word(static_cast<WORD>(d >> 16));
    }
    void shortValue(int v) { word(static_cast<WORD>(static_cast<int16_t>(v))); }
    void byte(uint8_t b) { bytes_.push_back(b); }
    // Writes a word already reserved at `offset` (a count known at the end).
    void setWord(size_t offset, WORD w) {
        bytes_.at(offset) = static_cast<uint8_t>(w & 0xFF);
        bytes_.at(offset + 1) = static_cast<uint8_t>(w >> 8);
    }
    // Texts are single-byte in the program; the template holds UTF-16.
    void text(std::string_view s) {
        if (!s.empty()) {
            const int n =
                ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
            std::wstring wide(static_cast<size_t>(n), L'\0');
            ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), wide.data(), n);
            for (wchar_t c : wide) word(static_cast<WORD>(c));
        }
        word(0);
    }
    void alignDword() {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace kv::ui
