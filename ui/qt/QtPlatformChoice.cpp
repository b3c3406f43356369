#include "ui/qt/QtPlatformChoice.h"

namespace kv::ui {

namespace {
bool isSet(const char* value) { return value != nullptr && *value != '\0'; }
}  // namespace

std::optional<std::string> qtPlatformToChoose(const char* pkexecUid, const char* qpaPlatform) {
    if (!isSet(pkexecUid) || isSet(qpaPlatform)) return std::nullopt;
    return "xcb";
}

}  // namespace kv::ui
