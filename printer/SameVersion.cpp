#include "printer/SameVersion.h"

#include <algorithm>

#include "printer/Identity.h"

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
    return isWholeTokenOf(reported, imageVersion) ||
           isWholeTokenOf(zor1ShownVersion(reported), imageVersion);
}

}  // namespace kv
