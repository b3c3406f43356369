#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "flash/FlashHistory.h"

namespace kv::testing {

// A history file holding every outcome, a flash cut off before its end, a
// fleet run of two and device text with markup and control characters;
// the window tests of every toolkit read it.
struct SampleRow {
    const char* outcome;  // as the Outcome cell shows it
    platform::VerdictTone tone;
    bool interrupted;
    const char* fleet;
    uint64_t bytesSent;
};

inline constexpr int64_t kSampleStartMs = 1714557600000;  // 2024-05-01T10:00:00Z
inline constexpr const char* kHostileModel = "<b>ZOW</b>\x1b[31m\r\nX";
// What a cell shows of it: the markup as text, each control character a space.
inline constexpr const char* kHostileModelShown = "<b>ZOW</b> [31m  X";

inline const std::vector<SampleRow>& sampleRows() {
    using platform::VerdictTone;
    static const std::vector<SampleRow> rows = {
        {"verified", VerdictTone::Good, false, "", 65536},
        {"mismatch", VerdictTone::Bad, false, "", 100000},
        {"not-found", VerdictTone::Bad, false, "", 9000},
        {"unchecked", VerdictTone::Doubtful, false, "", 70000},
        {"failed", VerdictTone::Bad, false, "", 16384},
        {"interrupted", VerdictTone::Bad, true, "", 0},
        {"verified", VerdictTone::Good, false, "f1ee7", 65536},
        {"interrupted", VerdictTone::Bad, true, "f1ee7", 0},
    };
    return rows;
}

// The file's text: row n starts n minutes after kSampleStartMs.
inline std::string sampleHistoryText() {
    std::string text;
    const auto& rows = sampleRows();
    for (size_t n = 0; n < rows.size(); ++n) {
        FlashRecord r;
        r.id = "r" + std::to_string(n);
        r.startMs = kSampleStartMs + static_cast<int64_t>(n) * 60000;
        r.endMs = r.startMs + 47000;
        r.durationMs = 46600 + n * 1000;
        r.program = "kvflash 4.0.2.2";
        r.fleet = rows[n].fleet;
        r.link = n < 2 ? "USB" : "ETHERNET";
        r.address = n < 2 ? "\\\\?\\usb#vid_4b56&pid_0001#sim1001#{a5dcbf10}"
                          : "10.0.0." + std::to_string(n) + ":10001";
        r.serial = n < 2 ? "sim1001" : "";
        r.model = n == 4 ? kHostileModel : "ZOW3004F";
        r.firmwareBefore = "V5.12";
        r.firmwareAfter = "V5.20";
        r.imagePath = "C:\\fw\\FMVQ_V5.20.bin";
        r.imageSize = 100000;
        r.imageSha256 = "26f3be5617dfe4246ca3101f1bc284567886a69dccdec245964d3b36d983961d";
        r.imageVersion = "V5.20";
        r.bytesSent = rows[n].bytesSent;
        r.detail = "detail of " + r.id;
        if (!rows[n].interrupted) {
            r.outcome = platform::verifyOutcomeNamed(rows[n].outcome);
            text += endedLine(r) + "\n";
        } else {
            text += startedLine(r) + "\n";
        }
    }
    return text;
}

}  // namespace kv::testing
