#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "flash/FlashHistory.h"

namespace kv::testing {

// A history file with every outcome, a flash cut off before its end, a
// fleet run of two and a model with markup and control characters, which
// every toolkit's History window is tested over. Row n starts n minutes
// after 2024-05-01T10:00:00Z, takes 47 + n seconds and sent `bytesSent`.
struct SampleRow {
    const char* outcome;  // as the Outcome cell shows it
    platform::VerdictTone tone;
    bool interrupted;
    const char* fleet;
    uint64_t bytesSent;
};

inline constexpr int64_t kSampleStartMs = 1714557600000;
inline constexpr const char* kHostileModel = "<b>ZOW</b>\x1b[31m\r\nX";  // row 4's
inline constexpr const char* kHostileModelShown = "<b>ZOW</b> [31m  X";

inline const std::vector<SampleRow>& sampleRows() {
    using T = platform::VerdictTone;
    static const std::vector<SampleRow> rows = {
        {"verified", T::Good, false, "", 65536},      {"mismatch", T::Bad, false, "", 100000},
        {"not-found", T::Bad, false, "", 9000},       {"unchecked", T::Doubtful, false, "", 70000},
        {"failed", T::Bad, false, "", 16384},         {"interrupted", T::Bad, true, "", 0},
        {"verified", T::Good, false, "f1ee7", 65536}, {"interrupted", T::Bad, true, "f1ee7", 0},
    };
    return rows;
}

inline std::string sampleHistoryText() {
    std::string text;
    for (size_t n = 0; n < sampleRows().size(); ++n) {
        const SampleRow& row = sampleRows()[n];
        FlashRecord r;
        r.id = "r" + std::to_string(n);
        r.startMs = kSampleStartMs + static_cast<int64_t>(n) * 60000;
        r.durationMs = 46600 + n * 1000;
        r.fleet = row.fleet;
        r.link = n < 2 ? "USB" : "ETHERNET";
        r.address = n < 2 ? "usb#vid_4b56&pid_0001#sim1001#{a5dcbf10}"
                          : "10.0.0." + std::to_string(n) + ":10001";
        r.model = n == 4 ? kHostileModel : "ZOW3004F";
        r.serial = n < 2 ? "sim1001" : "";
        r.firmwareBefore = "V5.12";
        r.firmwareAfter = "V5.20";
        r.imagePath = "C:\\fw\\FMVQ_V5.20.bin";
        r.imageSize = 100000;
        r.imageSha256 = "26f3be5617dfe4246ca3101f1bc284567886a69dccdec245964d3b36d983961d";
        // One image was checked against its signature.
        if (n == 1) r.signatureKey = "03C33CDB3149F848";
        r.bytesSent = row.bytesSent;
        r.outcome = platform::verifyOutcomeNamed(row.outcome);
        r.detail = "detail of r" + std::to_string(n);
        r.endMs = r.startMs + 47000;
        text += (row.interrupted ? startedLine(r) : endedLine(r)) + "\n";
    }
    return text;
}

}  // namespace kv::testing
