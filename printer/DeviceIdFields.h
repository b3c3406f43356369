#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// A device ID read as it is meant: `KEY:VALUE` pairs, each ended by ';'
// (the last may lack it), spaces around each trimmed. Keys are compared
// ignoring case; a pair without ':' is kept with an empty value.
struct DeviceIdField {
    std::string_view key;
    std::string_view value;
};
std::vector<DeviceIdField> parseDeviceIdFields(std::string_view id);
// The value of the first pair with `key`.
std::optional<std::string_view> deviceIdValue(const std::vector<DeviceIdField>& fields,
                                              std::string_view key);

// Whether a device answering with `id` is taken for a KV printer in a run
// of many printers: it names a model (MDL) and either one of `makers`
// (the whole MFG or MANUFACTURER value, any case) or, naming no maker at
// all, reports its firmware (FWV).
bool isKvPrinterId(std::string_view id, const std::vector<std::string>& makers);
// Why an ID is not taken for a KV printer's: "the maker ACME", "no model",
// "no maker and no firmware" (device text, to be escaped where shown).
std::string whyNotKv(std::string_view id);

}  // namespace kv
