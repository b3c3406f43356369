#include "image/Minisign.h"

#include <algorithm>
#include <vector>

#include "image/Base64.h"

namespace kv {
namespace {

constexpr std::string_view kUntrusted = "untrusted comment: ";
constexpr std::string_view kTrusted = "trusted comment: ";

// The file's lines without their ends; a last line end is optional, and
// nothing may follow the lines the format has.
std::optional<std::vector<std::string_view>> linesOf(std::string_view text, size_t count) {
    std::vector<std::string_view> lines;
    while (!text.empty() && lines.size() < count) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
    }
    if (lines.size() != count || !text.empty()) return std::nullopt;
    return lines;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// libgcrypt 1.10 aborts the program when it decodes a point one of whose
// coordinates is below 2^192 (found by fuzzing). Such a y, y = -1 (x = 0)
// and y >= p are refused here; only a key built for it on purpose, with a
// small x, still reaches the library (the keys' folders are the
// administrators').
bool usableEd25519Key(const std::array<uint8_t, 32>& key) {
    std::array<uint8_t, 32> y = key;
    y[31] &= 0x7F;
    if (std::all_of(y.begin() + 24, y.end(), [](uint8_t b) { return b == 0; })) return false;
    // p - 1 = 2^255 - 20, and everything from there up.
    const bool topOnes = y[31] == 0x7F && std::all_of(y.begin() + 1, y.begin() + 31,
                                                      [](uint8_t b) { return b == 0xFF; });
    return !(topOnes && y[0] >= 0xEC);
}

template <size_t N>
void copyInto(std::array<uint8_t, N>& into, const std::vector<uint8_t>& from, size_t at) {
    std::copy_n(from.begin() + static_cast<std::ptrdiff_t>(at), N, into.begin());
}

}  // namespace

Parsed<MinisignKey> parseMinisignKey(std::string_view text) {
    const auto lines = linesOf(text, 2);
    if (!lines) return {std::nullopt, "not two lines (a comment and the key)"};
    if (!startsWith((*lines)[0], kUntrusted))
        return {std::nullopt, "the first line is no \"untrusted comment:\""};
    const auto bytes = decodeBase64((*lines)[1]);
    if (!bytes) return {std::nullopt, "the key is not valid base64"};
    if (bytes->size() != 42) return {std::nullopt, "the key is not 42 bytes long"};
    if ((*bytes)[0] != 'E' || (*bytes)[1] != 'd')
        return {std::nullopt, "not an Ed25519 key (no \"Ed\")"};
    MinisignKey key;
    copyInto(key.id, *bytes, 2);
    copyInto(key.key, *bytes, 10);
    if (!usableEd25519Key(key.key)) return {std::nullopt, "not a usable Ed25519 key"};
    return {key, {}};
}

Parsed<MinisignSignature> parseMinisignSignature(std::string_view text) {
    const auto lines = linesOf(text, 4);
    if (!lines)
        return {std::nullopt,
                "not four lines (comment, signature, trusted comment, "
                "global signature)"};
    if (!startsWith((*lines)[0], kUntrusted))
        return {std::nullopt, "the first line is no \"untrusted comment:\""};
    const auto signature = decodeBase64((*lines)[1]);
    if (!signature) return {std::nullopt, "the signature is not valid base64"};
    if (signature->size() != 74) return {std::nullopt, "the signature is not 74 bytes long"};
    const uint8_t a = (*signature)[0], b = (*signature)[1];
    if (a != 'E' || (b != 'D' && b != 'd'))
        return {std::nullopt, "an unknown signature algorithm (neither \"ED\" nor \"Ed\")"};
    if (!startsWith((*lines)[2], kTrusted))
        return {std::nullopt, "the third line is no \"trusted comment:\""};
    const auto global = decodeBase64((*lines)[3]);
    if (!global) return {std::nullopt, "the global signature is not valid base64"};
    if (global->size() != 64) return {std::nullopt, "the global signature is not 64 bytes long"};
    MinisignSignature out;
    out.prehashed = b == 'D';
    copyInto(out.keyId, *signature, 2);
    copyInto(out.signature, *signature, 10);
    out.trustedComment = std::string((*lines)[2].substr(kTrusted.size()));
    copyInto(out.globalSignature, *global, 0);
    return {out, {}};
}

std::string keyIdText(const std::array<uint8_t, 8>& id) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (auto it = id.rbegin(); it != id.rend(); ++it) {
        out += digits[*it >> 4];
        out += digits[*it & 0x0F];
    }
    return out;
}

}  // namespace kv
