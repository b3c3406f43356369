#include "flash/FlashHistory.h"

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

namespace kv {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kStarted = "started";
constexpr const char* kEnded = "ended";

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Texts from printers and files may hold any bytes: invalid UTF-8 is
// replaced rather than refused.
std::string dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json recordJson(const FlashRecord& r, const char* event) {
    Json j = Json::object();
    j["event"] = event;
    j["id"] = r.id;
    j["start"] = isoUtc(r.startMs);
    if (std::string(event) == kEnded) {
        j["end"] = isoUtc(r.endMs);
        j["duration_ms"] = r.durationMs;
    }
    j["program"] = r.program;
    // Only a flash of a fleet run has one; other lines stay as they were.
    if (!r.fleet.empty()) j["fleet"] = r.fleet;
    j["link"] = r.link;
    j["address"] = r.address;
    j["model"] = r.model;
    j["logic_board"] = r.logicBoard;
    j["serial"] = r.serial;
    j["firmware_before"] = r.firmwareBefore;
    j["image_path"] = r.imagePath;
    j["image_size"] = r.imageSize;
    j["image_sha256"] = r.imageSha256;
    j["image_version"] = r.imageVersion;
    if (std::string(event) == kEnded) {
        j["firmware_after"] = r.firmwareAfter;
        j["bytes_sent"] = r.bytesSent;
        j["outcome"] = r.outcome;
        j["detail"] = r.detail;
        j["boxes"] = r.boxes;
    }
    return j;
}

// A field of the right type, or the line is damaged.
struct Reader {
    const Json& j;
    std::string problem;

    void text(const char* key, std::string& out) {
        const auto it = j.find(key);
        if (it == j.end()) return;
        if (!it->is_string()) {
            problem = std::string("\"") + key + "\" is not a text";
            return;
        }
        out = it->get<std::string>();
    }
    void number(const char* key, uint64_t& out) {
        const auto it = j.find(key);
        if (it == j.end()) return;
        if (!it->is_number_unsigned()) {
            problem = std::string("\"") + key + "\" is not a count";
            return;
        }
        out = it->get<uint64_t>();
    }
    void time(const char* key, int64_t& out) {
        std::string value;
        text(key, value);
        if (value.empty()) return;
        if (const auto ms = parseIsoUtc(value)) {
            out = *ms;
        } else {
            problem = std::string("\"") + key + "\" is not a UTC time";
        }
    }
    void texts(const char* key, std::vector<std::string>& out) {
        const auto it = j.find(key);
        if (it == j.end()) return;
        if (!it->is_array()) {
            problem = std::string("\"") + key + "\" is not a list";
            return;
        }
        for (const Json& item : *it) {
            if (!item.is_string()) {
                problem = std::string("\"") + key + "\" holds something else than texts";
                return;
            }
            out.push_back(item.get<std::string>());
        }
    }
};

}  // namespace

std::string isoUtc(int64_t ms) {
    const int64_t seconds = floorDiv(ms, 1000);
    const int64_t days = floorDiv(seconds, 86400);
    const int64_t inDay = seconds - days * 86400;
    int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<long long>(y), m, d, static_cast<int>(inDay / 3600),
                  static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    return text;
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
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto y = field(0, 4), mo = field(5, 2), d = field(8, 2);
    const auto h = field(11, 2), mi = field(14, 2), s = field(17, 2);
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    if (*mo < 1 || *mo > 12 || *d < 1 || *d > 31 || *h > 23 || *mi > 59 || *s > 60) {
        return std::nullopt;
    }
    const int64_t days = daysFromCivil(*y, static_cast<unsigned>(*mo), static_cast<unsigned>(*d));
    return ((days * 24 + *h) * 60 + *mi) * 60000 + int64_t{*s} * 1000;
}

std::string jsonLine(const std::vector<std::pair<std::string, JsonValue>>& fields) {
    Json j = Json::object();
    // Not a structured binding: clang 14 cannot capture one.
    for (const auto& field : fields) {
        std::visit([&j, &field](const auto& v) { j[field.first] = v; }, field.second);
    }
    return dump(j);
}

std::string startedLine(const FlashRecord& record) { return dump(recordJson(record, kStarted)); }

std::string endedLine(const FlashRecord& record) { return dump(recordJson(record, kEnded)); }

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
        Reader r{j, {}};
        std::string event;
        FlashRecord record;
        r.text("event", event);
        r.text("id", record.id);
        r.time("start", record.startMs);
        r.time("end", record.endMs);
        r.number("duration_ms", record.durationMs);
        r.text("program", record.program);
        r.text("fleet", record.fleet);
        r.text("link", record.link);
        r.text("address", record.address);
        r.text("model", record.model);
        r.text("logic_board", record.logicBoard);
        r.text("serial", record.serial);
        r.text("firmware_before", record.firmwareBefore);
        r.text("firmware_after", record.firmwareAfter);
        r.text("image_path", record.imagePath);
        r.number("image_size", record.imageSize);
        r.text("image_sha256", record.imageSha256);
        r.text("image_version", record.imageVersion);
        r.number("bytes_sent", record.bytesSent);
        r.text("outcome", record.outcome);
        r.text("detail", record.detail);
        r.texts("boxes", record.boxes);
        if (r.problem.empty() && event != kStarted && event != kEnded) {
            r.problem = "no \"event\" of started or ended";
        }
        if (r.problem.empty() && record.id.empty()) r.problem = "no \"id\"";
        if (!r.problem.empty()) {
            content.damaged.push_back({lineNumber, r.problem});
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
