#include "fleet/Targets.h"

#include <string_view>
#include <unordered_set>

#include "image/ListFile.h"
#include "platform/Ascii.h"
#include "platform/EventText.h"
#include "platform/Ipv4.h"

namespace kv::fleet {

namespace {

constexpr size_t kTokenShown = 40;

// The token as an error shows it: escaped, then cut so that no escape is
// split.
std::string shownToken(std::string_view token) {
    std::string out;
    for (size_t i = 0; i < token.size(); ++i) {
        const std::string piece = platform::escapeEventText(token.substr(i, 1));
        if (out.size() + piece.size() > kTokenShown) break;
        out += piece;
    }
    return out;
}

constexpr uint32_t kMulticastFirst = 0xE0000000;  // 224.0.0.0/4
constexpr uint32_t kMulticastLast = 0xEFFFFFFF;

// Why [first, last] is no place for printers: it holds the unspecified
// address, the broadcast address or a multicast one.
std::optional<std::string> unusable(uint32_t first, uint32_t last) {
    const bool one = first == last;
    if (first == 0) {
        return one ? "the unspecified address 0.0.0.0 is no printer's"
                   : "reaches the unspecified address 0.0.0.0";
    }
    if (last == 0xFFFFFFFF) {
        return one ? "the broadcast address 255.255.255.255 is no printer's"
                   : "reaches the broadcast address 255.255.255.255";
    }
    if (first <= kMulticastLast && last >= kMulticastFirst) {
        return one ? "a multicast address (224.0.0.0/4) is no printer's"
                   : "reaches the multicast addresses 224.0.0.0/4";
    }
    return std::nullopt;
}

// The addresses one token names, appended to `out` until the limit.
class Collector {
public:
    explicit Collector(uint16_t defaultPort) : defaultPort_(defaultPort) {}

    // A reason when the token is refused.
    std::optional<std::string> take(std::string_view token) {
        const size_t colon = token.find(':');
        uint16_t port = defaultPort_;
        if (colon != std::string_view::npos) {
            const std::optional<uint32_t> value =
                platform::parsePortDigits(token.substr(colon + 1));
            if (!value) return "the port is not a decimal number";
            if (*value < 1 || *value > 65535) return "the port is outside 1..65535";
            port = static_cast<uint16_t>(*value);
            token = token.substr(0, colon);
        }
        if (const size_t slash = token.find('/'); slash != std::string_view::npos) {
            return takeNetwork(token.substr(0, slash), token.substr(slash + 1), port);
        }
        if (const size_t dash = token.find('-'); dash != std::string_view::npos) {
            return takeRange(token.substr(0, dash), token.substr(dash + 1), port);
        }
        const std::optional<uint32_t> address = platform::parseDottedDecimal(token);
        if (!address) return "not an address A.B.C.D";
        return add(*address, *address, port);
    }

    std::vector<Endpoint> done() { return std::move(out_); }

private:
    std::optional<std::string> takeNetwork(std::string_view address, std::string_view bits,
                                           uint16_t port) {
        const std::optional<uint32_t> base = platform::parseDottedDecimal(address);
        if (!base) return "not an address A.B.C.D";
        const std::optional<uint32_t> prefix =
            bits.size() <= 2 ? platform::parsePortDigits(bits) : std::nullopt;
        if (!prefix || *prefix < 16 || *prefix > 32) return "the prefix length is not 16..32";
        const uint32_t hostBits = 32 - *prefix;
        const uint32_t first = hostBits == 0 ? *base : *base & ~((1u << hostBits) - 1);
        const uint32_t last = hostBits == 0 ? *base : first | ((1u << hostBits) - 1);
        // The whole block counts, its two ends too.
        if (auto why = unusable(first, last)) return why;
        // Up to /30 the two ends are no printer's address.
        if (*prefix <= 30) return add(first + 1, last - 1, port);
        return add(first, last, port);
    }

    std::optional<std::string> takeRange(std::string_view from, std::string_view to,
                                         uint16_t port) {
        const std::optional<uint32_t> start = platform::parseDottedDecimal(from);
        if (!start) return "not an address A.B.C.D";
        const std::optional<uint32_t> end =
            to.size() <= 3 ? platform::parsePortDigits(to) : std::nullopt;
        if (!end || *end > 255) return "the range's end is not a number 0..255";
        if (*end < (*start & 0xFF)) return "the range ends before it starts";
        return add(*start, (*start & ~0xFFu) | *end, port);
    }

    std::optional<std::string> add(uint32_t first, uint32_t last, uint16_t port) {
        if (auto why = unusable(first, last)) return why;
        for (uint64_t a = first; a <= last; ++a) {
            const Endpoint e{static_cast<uint32_t>(a), port};
            if (!seen_.insert((uint64_t{e.address} << 16) | e.port).second) continue;
            if (out_.size() == kMaxTargets) {
                return "more than " + std::to_string(kMaxTargets) + " addresses in all";
            }
            out_.push_back(e);
        }
        return std::nullopt;
    }

    uint16_t defaultPort_;
    std::vector<Endpoint> out_;
    std::unordered_set<uint64_t> seen_;
};

}  // namespace

std::string Endpoint::text() const {
    return platform::dottedDecimal(address) + ":" + std::to_string(port);
}

std::variant<std::vector<Endpoint>, TargetError> parseTargets(
    const std::vector<std::string>& tokens, uint16_t defaultPort, platform::FileReader& files) {
    Collector collector(defaultPort);
    for (const std::string& token : tokens) {
        if (!token.starts_with('@')) {
            if (auto why = collector.take(token)) return TargetError{shownToken(token), {}, *why};
            continue;
        }
        const ListFileLines lines = readListFile(files, token.substr(1));
        if (const auto* error = std::get_if<ListFileError>(&lines)) {
            return TargetError{shownToken(token), error->line, error->reason};
        }
        const auto& listed = std::get<std::vector<ListLine>>(lines);
        if (listed.empty()) {
            return TargetError{shownToken(token), {}, "the list file names no address"};
        }
        for (const ListLine& line : listed) {
            if (line.text.starts_with('@')) {
                return TargetError{shownToken(line.text), line.number,
                                   "a list file names no other"};
            }
            if (auto why = collector.take(line.text)) {
                return TargetError{shownToken(line.text), line.number, *why};
            }
        }
    }
    return collector.done();
}

std::string describe(const TargetError& error) {
    std::string text = "bad target \"" + error.token + "\"";
    if (error.line) text += " (line " + std::to_string(*error.line) + ")";
    return text + ": " + error.reason;
}

}  // namespace kv::fleet
