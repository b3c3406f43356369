#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/DialogControls.h"

namespace kv {

// One flash as the history keeps it.
struct FlashRecord {
    std::string id;
    // Calendar times, milliseconds since 1970 (UTC); end 0 while running.
    int64_t startMs = 0;
    int64_t endMs = 0;
    uint64_t durationMs = 0;
    std::string program;
    // The run of many printers the flash was part of; empty for one of its own.
    std::string fleet;
    // "USB", "LPT1".."LPT3", "ETHERNET"; the device path, port or A.B.C.D:PORT.
    std::string link;
    std::string address;
    std::string model;
    std::string logicBoard;
    std::string serial;
    std::string firmwareBefore;
    std::string firmwareAfter;
    std::string imagePath;
    uint64_t imageSize = 0;
    std::string imageSha256;
    std::string imageVersion;
    // The key ID of the signature the image was checked against; empty
    // when there was none to check.
    std::string signatureKey;
    uint64_t bytesSent = 0;
    // None while running.
    std::optional<platform::VerifyOutcome> outcome;
    std::string detail;
    std::vector<std::string> boxes;
};

// A field of the record under its name in a history line. The member's type
// says how it is written: an int64_t is a calendar time, written as UTC text.
struct FlashField {
    using Member =
        std::variant<std::string FlashRecord::*, int64_t FlashRecord::*, uint64_t FlashRecord::*,
                     std::optional<platform::VerifyOutcome> FlashRecord::*,
                     std::vector<std::string> FlashRecord::*>;
    enum class Written {
        Always,
        WhenEnded,  // only the line that ends a flash holds it
        WhenSet,    // left out while empty, so other lines stay as they were
    };
    const char* key;
    Member member;
    Written written = Written::Always;
};

// Every field, in the order a line holds them.
inline constexpr FlashField kFlashFields[] = {
    {"id", &FlashRecord::id},
    {"start", &FlashRecord::startMs},
    {"end", &FlashRecord::endMs, FlashField::Written::WhenEnded},
    {"duration_ms", &FlashRecord::durationMs, FlashField::Written::WhenEnded},
    {"program", &FlashRecord::program},
    {"fleet", &FlashRecord::fleet, FlashField::Written::WhenSet},
    {"link", &FlashRecord::link},
    {"address", &FlashRecord::address},
    {"model", &FlashRecord::model},
    {"logic_board", &FlashRecord::logicBoard},
    {"serial", &FlashRecord::serial},
    {"firmware_before", &FlashRecord::firmwareBefore},
    {"image_path", &FlashRecord::imagePath},
    {"image_size", &FlashRecord::imageSize},
    {"image_sha256", &FlashRecord::imageSha256},
    {"image_version", &FlashRecord::imageVersion},
    {"signature_key", &FlashRecord::signatureKey, FlashField::Written::WhenSet},
    {"firmware_after", &FlashRecord::firmwareAfter, FlashField::Written::WhenEnded},
    {"bytes_sent", &FlashRecord::bytesSent, FlashField::Written::WhenEnded},
    {"outcome", &FlashRecord::outcome, FlashField::Written::WhenEnded},
    {"detail", &FlashRecord::detail, FlashField::Written::WhenEnded},
    {"boxes", &FlashRecord::boxes, FlashField::Written::WhenEnded},
};

}  // namespace kv
