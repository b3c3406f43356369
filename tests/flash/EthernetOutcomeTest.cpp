// The verdict of an Ethernet flash, against the emulator over real sockets.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "flash/FlashHistory.h"
#include "flash/LocalFlash.h"
#include "tests/flash/EthernetFlashWorld.h"

namespace kv::ethtest {
namespace {

using platform::VerifyOutcome;

struct Row {
    const char* name;
    std::function<void(emulator::PrinterConfig&)> printer;
    Bytes image;
    std::function<void(EthernetFlashWorld&)> beforeFlash;
    // Either is right where the printer's drop may or may not reach a send.
    std::set<VerifyOutcome> outcomes;
    std::string detailStart;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class EthernetOutcome : public ::testing::TestWithParam<Row> {};

TEST_P(EthernetOutcome, TheVerdictAndItsRecord) {
    const Row& r = GetParam();
    emulator::PrinterConfig config = EthernetFlashWorld::defaultPrinter();
    if (r.printer) r.printer(config);
    EthernetFlashWorld w(config);
    // No local printer; found over Ethernet, flashed as the dialog does it.
    w.state.printerCount = 0;
    ASSERT_TRUE(w.find());
    w.writeImage(r.image);
    if (r.beforeFlash) r.beforeFlash(w);
    if (FlashPrinterNow(w.ctx, w.controls, w.state.printerData)) {
        ASSERT_TRUE(w.state.workerSignal.waitForWorkerEnd());
    }

    const auto verdicts = w.controls.verifications();
    ASSERT_FALSE(verdicts.empty());
    ASSERT_TRUE(verdicts.back().has_value());
    const platform::Verification& v = *verdicts.back();
    EXPECT_TRUE(r.outcomes.count(v.outcome)) << v.detail;
    EXPECT_EQ(v.detail.rfind(r.detailStart, 0), 0u) << v.detail;

    const HistoryContent h = parseHistory(w.history.content());
    ASSERT_EQ(h.entries.size(), 1u);
    EXPECT_TRUE(h.entries[0].ended);
    EXPECT_EQ(h.entries[0].record.outcome, v.outcome);
    EXPECT_EQ(h.entries[0].record.link, "ETHERNET");
    EXPECT_EQ(h.entries[0].record.address, "127.0.0.1:" + w.state.portNumberText);
    EXPECT_FALSE(w.inhibitor.held());
}

INSTANTIATE_TEST_SUITE_P(
    EthernetFlash, EthernetOutcome,
    ::testing::Values(Row{"Verified",
                          nullptr,
                          imageBytes(16 * 1024, "V5.20"),
                          nullptr,
                          {VerifyOutcome::Verified},
                          "the printer reports V5.20, the image's version (before: V5.12)"},
                      // The link drops after 5000 bytes; both blocks may still fit the
                      // socket buffers, so no send sees it and the old version answers.
                      Row{"DroppedAfter5000Bytes",
                          [](emulator::PrinterConfig& c) { c.dropAfterImageBytes = 5000; },
                          imageBytes(16 * 1024, "V5.20"),
                          nullptr,
                          {VerifyOutcome::Mismatch, VerifyOutcome::Failed},
                          ""},
                      Row{"NeverBack",
                          [](emulator::PrinterConfig& c) { c.neverComesBack = true; },
                          imageBytes(9000, "V5.20"),
                          nullptr,
                          {VerifyOutcome::NotFound},
                          "the printer did not come back after the flash (before: V5.12)"},
                      Row{"NoMarker",
                          nullptr,
                          imageBytes(9000),
                          nullptr,
                          {VerifyOutcome::Unchecked},
                          "the image carries no version marker; before: V5.12, after: V5.12"},
                      // No version before; the new firmware names itself in the ID.
                      Row{"IdWithoutVersionBefore",
                          [](emulator::PrinterConfig& c) {
                              c.deviceId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;";
                          },
                          imageBytes(9000, "V5.20"),
                          nullptr,
                          {VerifyOutcome::Verified},
                          "the printer reports V5.20, the image's version (before: unknown)"},
                      Row{"NoConnectionForTheFlash",
                          nullptr,
                          imageBytes(9000, "V5.20"),
                          [](EthernetFlashWorld& w) { w.server->stop(); },
                          {VerifyOutcome::Failed},
                          "no connection to the printer at 127.0.0.1:"}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// The run behind the issue: a 16 KB image, the link dropped after 5000
// bytes. Whatever the sends saw, the verdict is never "verified".
TEST(EthernetOutcome, ADroppedLinkIsNeverVerified) {
    emulator::PrinterConfig c = EthernetFlashWorld::defaultPrinter();
    c.dropAfterImageBytes = 5000;
    EthernetFlashWorld w(c);
    w.state.printerCount = 0;
    ASSERT_TRUE(w.find());
    w.writeImage(imageBytes(16 * 1024, "V5.20"));
    ASSERT_TRUE(FlashPrinterNow(w.ctx, w.controls, w.state.printerData));
    ASSERT_TRUE(w.state.workerSignal.waitForWorkerEnd());
    const auto verdict = w.controls.verifications().back();
    ASSERT_TRUE(verdict.has_value());
    if (verdict->outcome == VerifyOutcome::Mismatch) {
        EXPECT_EQ(verdict->detail,
                  "version unchanged: the printer still reports V5.12; the image carries V5.20");
        EXPECT_EQ(verdict->line, "The printer still reports V5.12 after the update");
    } else {
        EXPECT_EQ(verdict->outcome, VerifyOutcome::Failed);
        EXPECT_EQ(verdict->detail.rfind("Write error = Dec = ", 0), 0u) << verdict->detail;
    }
    EXPECT_EQ(w.model.flashImage().size(), 5000u);
}

}  // namespace
}  // namespace kv::ethtest
