#include "ui/console/ConsoleCommand.h"

namespace kv::ui {

namespace {

bool isDecimal(const std::string& s) {
    if (s.empty() || s.size() > 5) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

std::optional<EthernetTarget> parseEthernetTarget(const std::string& text) {
    EthernetTarget target;
    std::string address = text;
    target.port = "10001";
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        target.port = text.substr(colon + 1);
        if (!isDecimal(target.port)) return std::nullopt;
    }
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t dot = address.find('.', start);
        if ((dot == std::string::npos) != (i == 3)) return std::nullopt;
        target.octets[i] = address.substr(start, dot == std::string::npos ? std::string::npos
                                                                           : dot - start);
        if (target.octets[i].empty()) return std::nullopt;
        start = dot + 1;
    }
    return target;
}

}  // namespace kv::ui
