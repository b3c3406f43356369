#include "flash/FlashHistory.h"

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <variant>

#include "platform/Ascii.h"
#include "platform/Format.h"

namespace kv {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kStarted = "started";
constexpr const char* kEnded = "ended";

// Texts from printers and files may hold any bytes: invalid UTF-8 is
// replaced rather than refused.
std::string dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json toJson(const std::string& text) { return text; }
Json toJson(int64_t ms) { return isoUtc(ms); }
Json toJson(uint64_t count) { return count; }
Json toJson(const std::optional<platform::VerifyOutcome>& outcome) {
    return outcome ? std::string(platform::verifyOutcomeName(*outcome)) : std::string();
}
Json toJson(const std::vector<std::string>& texts) { return texts; }

Json recordJson(const FlashRecord& r, bool ended) {
    Json j = Json::object();
    j["event"] = ended ? kEnded : kStarted;
    for (const FlashField& field : kFlashFields) {
        if (field.written == FlashField::Written::WhenEnded && !ended) continue;
        std::visit(
            [&](auto member) {
                const Json value = toJson(r.*member);
                const bool unset = value.is_string() && value.get_ref<const std::string&>().empty();
                if (field.written != FlashField::Written::WhenSet || !unset) j[field.key] = value;
            },
            field.member);
    }
    return j;
}

// A field's value of the right type, or why the line is damaged.
std::optional<std::string> fromJson(const char* key, const Json& value, std::string& out) {
    if (!value.is_string()) return std::string("\"") + key + "\" is not a text";
    out = value.get<std::string>();
    return std::nullopt;
}

std::optional<std::string> fromJson(const char* key, const Json& value, uint64_t& out) {
    if (!value.is_number_unsigned()) return std::string("\"") + key + "\" is not a count";
    out = value.get<uint64_t>();
    return std::nullopt;
}

std::optional<std::string> fromJson(const char* key, const Json& value, int64_t& out) {
    std::string text;
    if (auto problem = fromJson(key, value, text)) return problem;
    if (text.empty()) return std::nullopt;
    const auto ms = parseIsoUtc(text);
    if (!ms) return std::string("\"") + key + "\" is not a UTC time";
    out = *ms;
    return std::nullopt;
}

std::optional<std::string> fromJson(const char* key, const Json& value,
                                    std::optional<platform::VerifyOutcome>& out) {
    std::string text;
    if (auto problem = fromJson(key, value, text)) return problem;
    if (text.empty()) return std::nullopt;
    out = platform::verifyOutcomeNamed(text);
    if (!out) return std::string("\"") + key + "\" is not an outcome";
    return std::nullopt;
}

std::optional<std::string> fromJson(const char* key, const Json& value,
                                    std::vector<std::string>& out) {
    if (!value.is_array()) return std::string("\"") + key + "\" is not a list";
    for (const Json& item : value) {
        if (!item.is_string()) {
            return std::string("\"") + key + "\" holds something else than texts";
        }
        out.push_back(item.get<std::string>());
    }
    return std::nullopt;
}

// The fields a line holds; a field that is wrong replaces `problem`, so the
// last one found is named.
void readRecord(const Json& j, FlashRecord& record, std::optional<std::string>& problem) {
    for (const FlashField& field : kFlashFields) {
        const auto it = j.find(field.key);
        if (it == j.end()) continue;
        auto wrong = std::visit(
            [&](auto member) { return fromJson(field.key, *it, record.*member); }, field.member);
        if (wrong) problem = std::move(wrong);
    }
}

}  // namespace

std::string isoUtc(int64_t ms) {
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds{ms}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{floor<seconds>(time - day)};
    return platform::formatted(
        "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()));
}

std::optional<int64_t> parseIsoUtc(const std::string& text) {
    // Exactly YYYY-MM-DDTHH:MM:SSZ, the form isoUtc writes.
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    const auto field = [&text](size_t at, size_t n) -> std::optional<int> {
        int value = 0;
        for (size_t i = at; i < at + n; ++i) {
            if (!platform::isAsciiDigit(text[i])) return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto y = field(0, 4), mo = field(5, 2), d = field(8, 2);
    const auto h = field(11, 2), mi = field(14, 2), s = field(17, 2);
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*mo)},
                              day{static_cast<unsigned>(*d)}};
    // A leap second's 60 is taken as the next second.
    if (!date.ok() || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
    const sys_seconds time = sys_days{date} + hours{*h} + minutes{*mi} + seconds{*s};
    return duration_cast<milliseconds>(time.time_since_epoch()).count();
}

std::string jsonLine(const std::vector<std::pair<std::string, JsonValue>>& fields) {
    Json j = Json::object();
    // Not a structured binding: clang 14 cannot capture one.
    for (const auto& field : fields) {
        std::visit([&j, &field](const auto& v) { j[field.first] = v; }, field.second);
    }
    return dump(j);
}

std::string startedLine(const FlashRecord& record) { return dump(recordJson(record, false)); }

std::string endedLine(const FlashRecord& record) { return dump(recordJson(record, true)); }

HistoryContent parseHistory(const std::string& text) {
    HistoryContent content;
    std::map<std::string, size_t> byId;
    size_t lineNumber = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;

        const Json j = Json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            content.damaged.push_back({lineNumber, "not a JSON object"});
            continue;
        }
        std::string event;
        FlashRecord record;
        const auto eventAt = j.find("event");
        std::optional<std::string> problem;
        if (eventAt != j.end()) problem = fromJson("event", *eventAt, event);
        readRecord(j, record, problem);
        if (!problem && event != kStarted && event != kEnded) {
            problem = "no \"event\" of started or ended";
        }
        if (!problem && record.id.empty()) problem = "no \"id\"";
        if (problem) {
            content.damaged.push_back({lineNumber, *problem});
            continue;
        }

        content.lines.push_back(line);
        const bool ended = event == kEnded;
        const auto known = byId.find(record.id);
        if (known == byId.end()) {
            byId.emplace(record.id, content.entries.size());
            content.entries.push_back({std::move(record), ended});
        } else if (ended) {
            // The ended line is the whole record.
            content.entries[known->second] = {std::move(record), true};
        }
    }
    return content;
}

}  // namespace kv
