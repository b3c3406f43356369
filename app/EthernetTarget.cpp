#include "app/EthernetTarget.h"

namespace kv {
namespace {

bool isPortText(std::string_view s) {
    if (s.empty() || s.size() > 5) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

std::optional<EthernetTarget> parseEthernetTarget(std::string_view text) {
    EthernetTarget target;
    std::string_view address = text;
    target.port = kDefaultEthernetPort;
    if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
        address = text.substr(0, colon);
        const std::string_view port = text.substr(colon + 1);
        if (!isPortText(port)) return std::nullopt;
        target.port = std::string(port);
    }
    for (size_t i = 0; i < target.octets.size(); ++i) {
        const size_t dot = address.find('.');
        const bool last = i + 1 == target.octets.size();
        if ((dot == std::string_view::npos) != last) return std::nullopt;
        const std::string_view part = address.substr(0, dot);
        if (part.empty()) return std::nullopt;
        target.octets[i] = std::string(part);
        if (!last) address.remove_prefix(dot + 1);
    }
    return target;
}

void setEthernetTexts(ShellState& shell, const EthernetTarget& target) {
    for (size_t i = 0; i < target.octets.size(); ++i) {
        shell.ipAddressText[i] = fitField(target.octets[i], kAddressTextSize);
    }
    shell.portNumberText = fitField(target.port, kAddressTextSize);
}

}  // namespace kv
