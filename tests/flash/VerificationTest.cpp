#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "flash/Verification.h"

namespace kv {
namespace {

using platform::VerifyOutcome;

struct Case {
    const char* name;
    FlashFacts facts;
    VerifyOutcome outcome;
    std::string detail;
    std::string line;
};

FlashFacts facts(std::optional<std::string> failure, uint64_t sent, bool back,
                 std::optional<std::string> before, std::optional<std::string> after,
                 std::string marker) {
    FlashFacts f;
    f.failure = std::move(failure);
    f.bytesSent = sent;
    f.cameBack = back;
    f.before = std::move(before);
    f.after = std::move(after);
    f.imageVersion = std::move(marker);
    return f;
}

TEST(Verification, EveryOutcomeWithItsDetailAndLine) {
    const std::vector<Case> cases = {
        {"verified", facts({}, 65536, true, "V5.12", "V5.20", "V5.20"), VerifyOutcome::Verified,
         "the printer reports V5.20, the image's version (before: V5.12)",
         "Verified: V5.20 is running"},
        {"unchanged", facts({}, 16384, true, "V5.12", "V5.12", "V5.20"), VerifyOutcome::Mismatch,
         "version unchanged: the printer still reports V5.12; the image carries V5.20",
         "The printer still reports V5.12 after the update"},
        {"another version", facts({}, 100, true, "V5.12", "V5.21", "V5.2"), VerifyOutcome::Mismatch,
         "the printer reports V5.21; the image carries V5.2 (before: V5.12)",
         "The printer reports V5.21, not the image's V5.2"},
        // A ZOR1 printer's whole "FWV:" value: the image's marker verifies
        // in the printer's own form and in the form it shows, cut after ")".
        {"ZOR1 whole version", facts({}, 32768, true, "V1.02)GAP", "V1.03)GAP", "V1.03)GAP"),
         VerifyOutcome::Verified,
         "the printer reports V1.03)GAP, the image's version (before: V1.02)GAP)",
         "Verified: V1.03)GAP is running"},
        {"ZOR1 cut marker", facts({}, 32768, true, "V1.02)GAP", "V1.03)GAP", "V1.03)"),
         VerifyOutcome::Verified,
         "the printer reports V1.03)GAP, the image's version (before: V1.02)GAP)",
         "Verified: V1.03)GAP is running"},
        {"ZOR1 other variant", facts({}, 32768, true, "V1.02)PR", "V1.03)PR", "V1.03)GAP"),
         VerifyOutcome::Mismatch,
         "the printer reports V1.03)PR; the image carries V1.03)GAP (before: V1.02)PR)",
         "The printer reports V1.03)PR, not the image's V1.03)GAP"},
        {"not back", facts({}, 100, false, "V5.12", std::nullopt, "V5.20"), VerifyOutcome::NotFound,
         "the printer did not come back after the flash (before: V5.12)",
         "The printer did not come back after the update"},
        {"no marker", facts({}, 100, true, "V5.12", "V5.12", ""), VerifyOutcome::Unchecked,
         "the image carries no version marker; before: V5.12, after: V5.12",
         "Not checked: the image carries no version marker (printer reports V5.12)"},
        {"link reports none", facts({}, 100, true, std::nullopt, std::nullopt, "V5.20"),
         VerifyOutcome::Unchecked,
         "the link does not report the printer's version; before: unknown, after: unknown",
         "Not checked: the printer does not report its version here"},
        {"transfer failed",
         facts("Write error = Dec = 32, Hex = 20", 8192, true, "V5.12", "V5.12", "V5.20"),
         VerifyOutcome::Failed, "Write error = Dec = 32, Hex = 20",
         "Failed: Write error = Dec = 32, Hex = 20"},
        // Nothing sent: the printer's word counts for nothing, even when it
        // already had the version.
        {"empty image", facts({}, 0, true, "V5.20", "V5.20", "V5.20"), VerifyOutcome::Failed,
         "the image is empty; nothing was sent", "Failed: the image is empty; nothing was sent"},
        // A failure outranks a printer that did not come back.
        {"failed and gone", facts("FW file DID NOT open", 0, false, "V5.12", std::nullopt, ""),
         VerifyOutcome::Failed, "FW file DID NOT open", "Failed: FW file DID NOT open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::Verification v = verifyFlash(c.facts);
        EXPECT_EQ(v.outcome, c.outcome);
        EXPECT_EQ(v.detail, c.detail);
        EXPECT_EQ(v.line, c.line);
    }
}

}  // namespace
}  // namespace kv
