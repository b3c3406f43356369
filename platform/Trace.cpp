#include "platform/Trace.h"

#include <cstdarg>

namespace kv::platform {

void tracef(Trace& trace, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string line = vformatted(format, args);
    va_end(args);
    trace.write(line);
}

std::string escapeDeviceText(std::string_view bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c <= 0x7E) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

}  // namespace kv::platform
