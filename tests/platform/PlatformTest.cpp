#include <gtest/gtest.h>

#include "platform/Ascii.h"
#include "platform/DialogControls.h"
#include "platform/Trace.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/MemoryHistory.h"
#include "platform/sim/VirtualClock.h"
#include "ui/console/ConsoleText.h"

namespace kv::platform {
namespace {

TEST(Trace, DeviceBytesAreEscapedNotFormatted) {
    sim::CaptureTrace trace;
    const std::string device("MDL:%s%n\x01\xff\\", 12);
    tracef(trace, "ID = %s", escapeDeviceText(device).c_str());
    ASSERT_EQ(trace.lines().size(), 1u);
    EXPECT_EQ(trace.lines()[0], "ID = MDL:%s%n\\x01\\xFF\\\\\\x00");
}

TEST(Trace, LongFormattedLinesAreKeptWhole) {
    sim::CaptureTrace trace;
    const std::string big(5000, 'x');
    tracef(trace, "%s|%d", big.c_str(), 7);
    EXPECT_EQ(trace.lines().at(0), big + "|7");
}

TEST(VirtualClock, SleepsAdvanceTimeAndAreRecorded) {
    sim::VirtualClock clock;
    clock.sleepMs(100);
    clock.sleepMs(2000);
    clock.advanceMs(5);
    EXPECT_EQ(clock.tickMs(), 2105u);
    EXPECT_EQ(clock.pauses(), (std::vector<uint32_t>{100, 2000}));
    EXPECT_EQ(clock.totalPausedMs(), 2100u);
}

TEST(Ascii, CaseFoldsOnlyAsciiLetters) {
    EXPECT_EQ(asciiLowerCase("USB#VID_4B56&Z\xC4\xD6"), "usb#vid_4b56&z\xC4\xD6");
    EXPECT_TRUE(endsWithIgnoringCase("FMVQ_V5.20.BiN", ".bin"));
    EXPECT_TRUE(endsWithIgnoringCase("C:\\kv\\auto.exe", "AUTO.EXE"));
    EXPECT_FALSE(endsWithIgnoringCase("bin", ".bin"));
    EXPECT_FALSE(endsWithIgnoringCase("image.bin.txt", ".bin"));
}

TEST(HistoryRules, WholeLinesAfterACutOneAndOnlyTheNewestPartReadBack) {
    sim::MemoryHistory history;
    history.setContent("{\"cut");
    EXPECT_TRUE(history.append("one"));
    EXPECT_EQ(history.append("two\nlines").reason(), "a history line holds a line break");
    EXPECT_EQ(*history.read(), "{\"cut\none\n");

    // Past the limit the read starts inside the long line, which is left out.
    const uint64_t limit = LockedHistoryFile::kReadLimit;
    history.setContent("old\n" + std::string(limit, 'x') + "\n");
    EXPECT_TRUE(history.append("newest"));
    EXPECT_EQ(*history.read(), "newest\n");
}

TEST(DialogControls, NamesAndIdsFollowTheDialog) {
    EXPECT_EQ(controlName(Control::statusText), "statusText");
    EXPECT_EQ(controlId(Control::statusText), 1013);
    EXPECT_EQ(controlName(Control::ipOctetEdit1), "ipOctetEdit1");
    EXPECT_EQ(controlId(Control::ipOctetEdit1), 1037);
    EXPECT_EQ(controlId(Control::ipOctetEdit4), 1034);
    EXPECT_EQ(controlName(Control::portEdit), "portEdit");
    EXPECT_EQ(controlId(Control::flashButton), 1018);
}

TEST(ConsoleText, EscapesLikeC) {
    EXPECT_EQ(ui::escapeConsoleText("a\r\n\t\\\"b"), "a\\r\\n\\t\\\\\\\"b");
    EXPECT_EQ(ui::escapeConsoleText(std::string("\x01\x7f\x80", 3)), "\\x01\\x7f\\x80");
    EXPECT_EQ(ui::escapeConsoleText("Printer not selected, Press Find  Printer"),
              "Printer not selected, Press Find  Printer");
}

}  // namespace
}  // namespace kv::platform
