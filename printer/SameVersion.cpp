#include "printer/SameVersion.h"

#include <algorithm>

namespace kv {

namespace {

bool isLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isWholeTokenOf(std::string_view reported, std::string_view marker) {
    if (!reported.starts_with(marker)) return false;
    const std::string_view rest = reported.substr(marker.size());
    return std::none_of(rest.begin(), rest.end(), isLetterOrDigit);
}

}  // namespace

bool sameFirmwareVersion(std::string_view reported, std::string_view imageVersion) {
    if (imageVersion.empty()) return false;
    const size_t paren = reported.find(')');
    const std::string_view shown =
        paren == std::string_view::npos ? reported : reported.substr(0, paren + 1);
    return isWholeTokenOf(reported, imageVersion) || isWholeTokenOf(shown, imageVersion);
}

}  // namespace kv
