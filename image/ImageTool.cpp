#include "image/ImageTool.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <stdexcept>

#include "image/FileBytes.h"
#include "image/FirmwareHeader.h"
#include "image/FirmwareMarker.h"
#include "image/ImageSummary.h"
#include "image/SignatureCheck.h"
#include "image/TrustedKeyFiles.h"
#include "platform/EventText.h"
#include "platform/Format.h"

namespace kv {
namespace {

struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const char* const kUsage =
    "usage: kvimage wrap PAYLOAD OUT [--header-version MAJOR.MINOR]   (default 5.12)\n"
    "       kvimage check FILE      exit 0 valid, 1 refused, 2 not headed\n"
    "       kvimage make --version TEXT --size BYTES OUT\n"
    "       kvimage verify IMAGE [--keys DIR]\n"
    "                               exit 0 signed by a trusted key, 1 refused, 2 usage\n"
    "       kvimage --help\n"
    "Any error exits with 3.\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::optional<uint64_t> parseUnsigned(std::string_view text) {
    uint64_t value = 0;
    if (text.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string hex16(uint16_t value) {
    return platform::formatted("0x%04X", static_cast<unsigned>(value));
}

std::string hex8(uint8_t value) {
    return platform::formatted("0x%02X", static_cast<unsigned>(value));
}

std::string versionText(uint8_t major, uint8_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

bool headerVersionAccepted(uint8_t major, uint8_t minor) {
    const unsigned value = major * 100u + minor;
    return value == 512 || value == 513;
}

// Positional arguments and --name value / --name=value options.
struct CommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

CommandLine splitArguments(const std::vector<std::string>& args, size_t first,
                           const std::set<std::string>& known, const std::string& verb) {
    CommandLine line;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            line.positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        const size_t eq = name.find('=');
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else {
            if (!known.count(name)) throw ToolError(verb + ": unknown option " + arg);
            if (i + 1 >= args.size()) throw ToolError(verb + ": option " + arg + " needs a value");
            value = args[++i];
        }
        if (!known.count(name)) throw ToolError(verb + ": unknown option --" + name);
        line.options[name] = value;
    }
    return line;
}

std::vector<uint8_t> readInput(platform::FileReader& files, const std::string& path) {
    FileBytes file = readFileBytes(files, path);
    switch (file.status) {
        case FileBytes::Status::Ok: return std::move(file.bytes);
        case FileBytes::Status::TooLarge:
            throw ToolError("cannot use " + path + ": " + std::to_string(file.size) +
                            " bytes is over the " + std::to_string(kMaxFirmwareImageBytes) +
                            "-byte limit");
        case FileBytes::Status::Unreadable: break;
    }
    throw ToolError("cannot read " + path + ": " + file.reason);
}

void writeOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string reason;
    if (!writeFileBytes(path, bytes, &reason))
        throw ToolError("cannot write " + path + ": " + reason);
}

std::string imageVersionText(const std::vector<uint8_t>& bytes) {
    const std::string version = firmwareVersionInImage(bytes.data(), bytes.size());
    return version.empty() ? "none" : "\"" + version + "\"";
}

int wrap(platform::FileReader& files, const std::vector<std::string>& args, std::ostream& out) {
    const CommandLine line = splitArguments(args, 1, {"header-version"}, "wrap");
    if (line.positional.size() != 2) throw ToolError("wrap: expected PAYLOAD and OUT");
    HeaderVersion version{5, 12};
    if (auto it = line.options.find("header-version"); it != line.options.end()) {
        auto parsed = parseHeaderVersion(it->second);
        if (!parsed)
            throw ToolError("wrap: bad header version \"" + it->second +
                            "\" (expected MAJOR.MINOR, each 0 to 255)");
        version = *parsed;
    }
    const std::vector<uint8_t> payload = readInput(files, line.positional[0]);
    if (payload.size() > kMaxFirmwareImageBytes - kFirmwareHeaderSize)
        throw ToolError("wrap: " + line.positional[0] + " leaves no room for the header within " +
                        std::to_string(kMaxFirmwareImageBytes) + " bytes");
    const std::vector<uint8_t> image =
        buildHeadedImage(payload.data(), payload.size(), version.major, version.minor);
    writeOutput(line.positional[1], image);
    out << line.positional[1] << ": headed image, header version "
        << versionText(version.major, version.minor) << ", checksum "
        << hex16(firmwareChecksum(image.data(), image.size())) << ", payload " << payload.size()
        << " bytes";
    if (!headerVersionAccepted(version.major, version.minor))
        out << " (kvflash refuses this header version: only 5.12 and 5.13 are taken)";
    out << "\n";
    return kImageToolOk;
}

int check(platform::FileReader& files, const std::vector<std::string>& args, std::ostream& out) {
    const CommandLine line = splitArguments(args, 1, {}, "check");
    if (line.positional.size() != 1) throw ToolError("check: expected FILE");
    const std::string& path = line.positional[0];
    const std::vector<uint8_t> bytes = readInput(files, path);
    const auto length = static_cast<uint32_t>(bytes.size());
    const FirmwareHeaderReport r = examineFirmwareHeader(bytes.data(), length);
    const std::string checksum = "checksum " + hex16(r.checksum);
    const std::string version = "image version " + imageVersionText(bytes);

    if (!r.hasMagic) {
        const std::string why = bytes.size() < kFirmwareHeaderSize
                                    ? "shorter than the 22-byte header"
                                    : "no KV_FIRMWARE magic";
        out << path << ": not headed (" << why << "); " << checksum << "; kvflash sends all "
            << bytes.size() << " bytes; " << version << "\n";
        return kImageToolNotHeaded;
    }
    const std::string header =
        "header version " + versionText(r.versionMajor, r.versionMinor) + ", " + checksum;
    if (r.result == -1) {
        out << path << ": not headed (KV_FIRMWARE magic, but the checksum is not "
            << hex16(kFirmwareChecksum) << "); " << header << "; kvflash sends all " << bytes.size()
            << " bytes, header included; " << version << "\n";
        return kImageToolNotHeaded;
    }
    const std::string payload =
        "payload " + std::to_string(bytes.size() - kFirmwareHeaderSize) + " bytes";
    if (r.result == -2) {
        std::string why;
        if (!r.complementOk)
            why = "byte 17 (" + hex8(bytes[kHeaderCheckByteOffset + 1]) +
                  ") is not the complement of the check byte (" +
                  hex8(bytes[kHeaderCheckByteOffset]) + ")";
        if (!headerVersionAccepted(r.versionMajor, r.versionMinor)) {
            if (!why.empty()) why += "; ";
            why += "header version " + versionText(r.versionMajor, r.versionMinor) +
                   " is neither 5.12 nor 5.13";
        }
        if (why.empty()) why = "payload too large";
        out << path << ": headed, refused (" << why << "); " << header << ", " << payload << "; "
            << version << "\n";
        return kImageToolRefused;
    }
    out << path << ": headed, valid; " << header << ", " << payload << "; " << version << "\n";
    return kImageToolOk;
}

int make(const std::vector<std::string>& args, std::ostream& out) {
    const CommandLine line = splitArguments(args, 1, {"version", "size"}, "make");
    if (line.positional.size() != 1) throw ToolError("make: expected OUT");
    auto versionIt = line.options.find("version");
    auto sizeIt = line.options.find("size");
    if (versionIt == line.options.end()) throw ToolError("make: --version is required");
    if (sizeIt == line.options.end()) throw ToolError("make: --size is required");
    const std::string& version = versionIt->second;
    if (version.empty() || version.size() >= kFirmwareVersionTextSize ||
        version.find(';') != std::string::npos)
        throw ToolError("make: bad version \"" + version + "\" (1 to 127 characters, no ';')");
    const std::optional<uint64_t> size = parseUnsigned(sizeIt->second);
    if (!size) throw ToolError("make: bad size \"" + sizeIt->second + "\" (a number of bytes)");
    const std::string marker = std::string(kFirmwareVersionMarker) + version + ";";
    if (*size < marker.size())
        throw ToolError("make: size " + std::to_string(*size) + " is smaller than the marker \"" +
                        marker + "\" (" + std::to_string(marker.size()) + " bytes)");
    if (*size > kMaxFirmwareImageBytes)
        throw ToolError("make: size " + std::to_string(*size) + " is over the " +
                        std::to_string(kMaxFirmwareImageBytes) + "-byte limit");
    const std::vector<uint8_t> payload = makeTestPayload(version, static_cast<size_t>(*size));
    writeOutput(line.positional[0], payload);
    out << line.positional[0] << ": " << payload.size() << " bytes, marker \"" << marker
        << "\", checksum " << hex16(firmwareChecksum(payload.data(), payload.size())) << "\n";
    return kImageToolOk;
}

// The image judged as kvflash judges it, against the trusted keys and
// those of --keys.
int verify(platform::FileReader& files, const ImageToolTrust& trust,
           const std::vector<std::string>& args, std::ostream& out) {
    CommandLine line;
    try {
        line = splitArguments(args, 1, {"keys"}, "verify");
    } catch (const ToolError& e) {
        throw UsageError(e.what());
    }
    if (line.positional.size() != 1) throw UsageError("verify: expected IMAGE [--keys DIR]");
    const std::string& path = line.positional[0];
    std::vector<std::string> more;
    if (auto keys = line.options.find("keys"); keys != line.options.end())
        more.push_back(keys->second);
    if (!trust.folders) throw ToolError("verify: no trusted keys' folders on this system");
    const TrustedKeys keys = loadTrustedKeys(files, *trust.folders, trust.extraFolder, more);
    if (keys.keys.empty() && keys.badFiles.empty()) {
        out << path << ": refused: no trusted key (the system's folder "
            << trust.folders->systemFolder() << " has none, nor KVFLASH_TRUSTED_KEYS or --keys)\n";
        return kImageToolRefused;
    }
    const ImageSummary image = summarizeImageFile(files, path);
    if (!image.readable) throw ToolError("verify: cannot read " + path + ": " + image.reason);
    const SignatureCheck check = checkImageSignature(files, keys, path, image.blake2b);
    if (!check.keyId.empty()) out << "key ID: " << check.keyId << "\n";
    if (!check.keyId.empty())
        out << "trusted comment: " << platform::quotedEventText(check.trustedComment) << "\n";
    if (check.good()) {
        out << path << ": good\n";
        return kImageToolOk;
    }
    out << path << ": refused: " << platform::escapeEventText(check.reason) << "\n";
    return kImageToolRefused;
}

}  // namespace

std::optional<HeaderVersion> parseHeaderVersion(std::string_view text) {
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    const auto major = parseUnsigned(text.substr(0, dot));
    const auto minor = parseUnsigned(text.substr(dot + 1));
    if (!major || !minor || *major > 255 || *minor > 255) return std::nullopt;
    return HeaderVersion{static_cast<uint8_t>(*major), static_cast<uint8_t>(*minor)};
}

std::vector<uint8_t> makeTestPayload(const std::string& version, size_t size) {
    const std::string marker = std::string(kFirmwareVersionMarker) + version + ";";
    if (size < marker.size()) throw std::invalid_argument("payload smaller than its marker");
    std::vector<uint8_t> payload(size);
    std::copy(marker.begin(), marker.end(), payload.begin());
    // xorshift64 from a fixed seed: the same bytes on every run and machine.
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (size_t i = marker.size(); i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        payload[i] = static_cast<uint8_t>(state >> 24);
    }
    return payload;
}

int runImageTool(platform::FileReader& files, const std::vector<std::string>& args,
                 std::ostream& out, std::ostream& err, const ImageToolTrust& trust) {
    if (args.empty()) {
        err << kUsage;
        return kImageToolError;
    }
    const std::string& verb = args[0];
    if (verb == "--help" || verb == "-h" || verb == "help") {
        out << kUsage;
        return kImageToolOk;
    }
    try {
        if (verb == "wrap") return wrap(files, args, out);
        if (verb == "check") return check(files, args, out);
        if (verb == "make") return make(args, out);
        if (verb == "verify") return verify(files, trust, args, out);
        throw ToolError("unknown verb \"" + verb +
                        "\" (wrap, check, make or verify; --help for usage)");
    } catch (const UsageError& e) {
        err << "kvimage: " << e.what() << "\n";
        return kImageToolUsage;
    } catch (const std::exception& e) {
        err << "kvimage: " << e.what() << "\n";
        return kImageToolError;
    }
}

}  // namespace kv
