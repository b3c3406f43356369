#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/qt/TransferProgress.h"

namespace kv::ui {
namespace {

using platform::TransferPhase;

TEST(TransferProgress, TheBarForEachPhase) {
    struct Case {
        const char* name;
        platform::TransferProgress progress;
        ProgressView expected;
    };
    const std::vector<Case> cases = {
        {"no transfer", {}, {}},
        {"start delay", {TransferPhase::StartDelay, 2, 3}, {true, 2, 3, "2 of 3 seconds"}},
        // A printer without start delay has nothing to count.
        {"no delay", {TransferPhase::StartDelay, 0, 0}, {}},
        {"data in KBytes",
         {TransferPhase::Data, 40 * 1024 + 5, 100 * 1024},
         {true, 40, 100, "40 of 100 KBytes"}},
        // A part KByte at the end still gets its step, and the bar fills.
        {"data done", {TransferPhase::Data, 2050, 2050}, {true, 3, 3, "2 of 2 KBytes"}},
        {"tiny image", {TransferPhase::Data, 0, 500}, {true, 0, 1, "0 of 0 KBytes"}},
        {"tiny image sent", {TransferPhase::Data, 500, 500}, {true, 1, 1, "0 of 0 KBytes"}},
        {"empty image", {TransferPhase::Data, 0, 0}, {true, 0, 1, "0 of 0 KBytes"}},
        // More reported than announced (a file that grew) stops at the end.
        {"past the total", {TransferPhase::Data, 9000, 8192}, {true, 8, 8, "8 of 8 KBytes"}},
        {"reset wait", {TransferPhase::ResetWait, 0, 35}, {true, 35, 35, "35 seconds left"}},
        {"reset nearly over", {TransferPhase::ResetWait, 34, 35}, {true, 1, 35, "1 second left"}},
        {"beyond int",
         {TransferPhase::Data, 0, uint64_t{1} << 42},
         {true, 0, 2147483647, "0 of 4294967296 KBytes"}},
    };
    for (const Case& c : cases) {
        TransferProgress bar;
        bar.update({TransferPhase::Data, 1, 2});  // a view left from before
        bar.update(c.progress);
        EXPECT_EQ(bar.view(), c.expected) << c.name << ": got " << bar.view().text;
    }
}

}  // namespace
}  // namespace kv::ui
