#include "printer/DeviceIdFields.h"

#include "platform/Ascii.h"

namespace kv {

namespace {

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::vector<DeviceIdField> parseDeviceIdFields(std::string_view id) {
    std::vector<DeviceIdField> fields;
    while (!id.empty()) {
        const size_t end = id.find(';');
        const std::string_view pair = id.substr(0, end);
        id = end == std::string_view::npos ? std::string_view() : id.substr(end + 1);
        if (pair.empty()) continue;
        const size_t colon = pair.find(':');
        if (colon == std::string_view::npos) {
            fields.push_back({trimmed(pair), {}});
        } else {
            fields.push_back({trimmed(pair.substr(0, colon)), trimmed(pair.substr(colon + 1))});
        }
    }
    return fields;
}

std::optional<std::string_view> deviceIdValue(const std::vector<DeviceIdField>& fields,
                                              std::string_view key) {
    const std::string wanted = platform::asciiLowerCase(key);
    for (const DeviceIdField& f : fields) {
        if (platform::asciiLowerCase(f.key) == wanted) return f.value;
    }
    return std::nullopt;
}

namespace {

std::optional<std::string_view> makerOf(const std::vector<DeviceIdField>& fields) {
    if (const auto maker = deviceIdValue(fields, "MFG")) return maker;
    return deviceIdValue(fields, "MANUFACTURER");
}

}  // namespace

std::string whyNotKv(std::string_view id) {
    const std::vector<DeviceIdField> fields = parseDeviceIdFields(id);
    if (!deviceIdValue(fields, "MDL")) return "no model";
    if (const auto maker = makerOf(fields)) return "the maker " + std::string(*maker);
    return "no maker and no firmware";
}

bool isKvPrinterId(std::string_view id, const std::vector<std::string>& makers) {
    const std::vector<DeviceIdField> fields = parseDeviceIdFields(id);
    if (!deviceIdValue(fields, "MDL")) return false;
    const auto maker = makerOf(fields);
    if (!maker) return deviceIdValue(fields, "FWV").has_value();
    const std::string named = platform::asciiLowerCase(*maker);
    for (const std::string& m : makers) {
        if (platform::asciiLowerCase(m) == named) return true;
    }
    return false;
}

}  // namespace kv
