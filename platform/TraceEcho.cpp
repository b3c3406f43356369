#include "platform/TraceEcho.h"

#include <cstdio>
#include <string>

namespace kv::platform {

void TraceEcho::write(std::string_view line) {
    std::string shown;
    shown.reserve(line.size() + 1);
    for (char c : line) {
        if (c != '\r') shown += c;
    }
    if (!shown.empty() && shown.back() == '\n') shown.pop_back();
    std::lock_guard lock(mutex_);
    if (sink_) {
        sink_(shown);
        return;
    }
    shown += '\n';
    std::fputs(shown.c_str(), stderr);
    std::fflush(stderr);
}

void TraceEcho::redirect(Sink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

}  // namespace kv::platform
