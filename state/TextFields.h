#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// The system's path limit, terminator included: module path, automatic
// file and the firmware file name.
inline constexpr size_t kPathSize = 260;
// Each address and port text of the Ethernet fields.
inline constexpr size_t kAddressTextSize = 256;
// The printer record's text fields.
inline constexpr size_t kPrinterTextSize = 1024;
// A message box's text put together from the printer's data.
inline constexpr size_t kMessageSize = 1024;

// A text cut to fit a field of fieldSize bytes (fieldSize - 1 characters).
inline std::string fitField(std::string_view text, size_t fieldSize) {
    return std::string(text.substr(0, fieldSize == 0 ? 0 : fieldSize - 1));
}

}  // namespace kv
