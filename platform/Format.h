#pragma once
#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// printf-style checks for our own formatting functions. mingw's own printf
// checks follow the Microsoft runtime; with __USE_MINGW_ANSI_STDIO the C99
// formats hold there too.
#if defined(__MINGW32__)
#define KV_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define KV_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#endif

namespace kv::platform {

// A printf-formatted text, whole. Only literal formats belong here; device
// data goes in as an argument.
std::string formatted(const char* format, ...) KV_PRINTF(1, 2);
std::string vformatted(const char* format, va_list args);

// A number in C notation (decimal, 0x hex, leading-0 octal) up to max, as
// the programs' options take them.
std::optional<uint64_t> parseNumber(std::string_view text, uint64_t max);

}  // namespace kv::platform
