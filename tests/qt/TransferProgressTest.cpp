#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ui/qt/TransferProgress.h"

namespace kv::ui {
namespace {

enum class Line { Status, State, Clear };

struct Step {
    Line line;
    std::string text;
    ProgressView expected;
};

ProgressView hidden() { return {}; }
ProgressView bar(int value, int maximum, std::string text) {
    return {true, false, value, maximum, std::move(text)};
}
ProgressView busy(std::string text) { return {true, true, 0, 0, std::move(text)}; }

struct Script {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const Script& script, std::ostream* os) { *os << script.name; }

class TransferProgressScript : public ::testing::TestWithParam<Script> {};

TEST_P(TransferProgressScript, FollowsTheWorkerTexts) {
    TransferProgress progress;
    int n = 0;
    for (const Step& step : GetParam().steps) {
        switch (step.line) {
        case Line::Status: progress.statusText(step.text); break;
        case Line::State: progress.stateText(step.text); break;
        case Line::Clear: progress.clear(); break;
        }
        const ProgressView& v = progress.view();
        SCOPED_TRACE("step " + std::to_string(n++) + ": \"" + step.text + "\"");
        EXPECT_EQ(v.visible, step.expected.visible);
        EXPECT_EQ(v.busy, step.expected.busy);
        if (step.expected.visible) {
            EXPECT_EQ(v.value, step.expected.value);
            EXPECT_EQ(v.maximum, step.expected.maximum);
            EXPECT_EQ(v.text, step.expected.text);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TransferProgressScript,
    ::testing::Values(
        Script{"LocalFlash",
               {{Line::Status, "Printer responding", hidden()},
                {Line::Status, "Delaying 3 seconds", bar(0, 3, "0 of 3 seconds")},
                {Line::State, "0 seconds elapsed", bar(0, 3, "0 of 3 seconds")},
                {Line::State, "2 seconds elapsed", bar(2, 3, "2 of 3 seconds")},
                {Line::Status, "Programming 100 KBytes", bar(0, 100, "0 of 100 KBytes")},
                {Line::State, "0 KBytes programmed\r\n", bar(0, 100, "0 of 100 KBytes")},
                {Line::State, "40 KBytes programmed\r\n", bar(40, 100, "40 of 100 KBytes")},
                {Line::State, "100 KBytes programmed\r\n", bar(100, 100, "100 of 100 KBytes")},
                {Line::State, "End Of File", bar(100, 100, "100 of 100 KBytes")},
                {Line::Status, "Waiting for reset", busy("0 seconds")},
                {Line::State, "7 seconds elapsed", busy("7 seconds")},
                {Line::Status, "Printer successfully flashed", hidden()},
                {Line::State, " ", hidden()}}},
        Script{"EthernetFlashEnds",
               {{Line::Status, "Delaying 15 seconds", bar(0, 15, "0 of 15 seconds")},
                {Line::State, "14 seconds elapsed", bar(14, 15, "14 of 15 seconds")},
                {Line::Status, "Programming 1 KBytes", bar(0, 1, "0 of 1 KBytes")},
                {Line::State, "End Of File", bar(1, 1, "1 of 1 KBytes")},
                {Line::Status, "Waiting for reset", busy("0 seconds")},
                {Line::Status, "Progamming complete", hidden()}}},
        // A printer without start delay: nothing to count until the data.
        Script{"NoDelay",
               {{Line::Status, "Delaying 0 seconds", hidden()},
                {Line::Status, "Programming 8 KBytes", bar(0, 8, "0 of 8 KBytes")}}},
        // An image under 1 KByte still fills its bar at the end of the data.
        Script{"TinyImage",
               {{Line::Status, "Programming 0 KBytes", bar(0, 1, "0 of 0 KBytes")},
                {Line::State, "0 KBytes programmed\r\n", bar(0, 1, "0 of 0 KBytes")},
                {Line::State, "End Of File", bar(1, 1, "0 of 0 KBytes")}}},
        // Texts of another phase, malformed counts and counts past the
        // total do not move the bar beyond its end.
        Script{"StrayTexts",
               {{Line::State, "5 seconds elapsed", hidden()},
                {Line::Status, "Programming 10 KBytes", bar(0, 10, "0 of 10 KBytes")},
                {Line::State, "3 seconds elapsed", bar(0, 10, "0 of 10 KBytes")},
                {Line::State, "-4 KBytes programmed\r\n", bar(0, 10, "0 of 10 KBytes")},
                {Line::State, "x KBytes programmed\r\n", bar(0, 10, "0 of 10 KBytes")},
                {Line::State, "4 KBytes programmed\r\nmore", bar(0, 10, "0 of 10 KBytes")},
                {Line::State, "4 KBytes programmed", bar(4, 10, "4 of 10 KBytes")},
                {Line::State, "99999999999 KBytes programmed\r\n", bar(4, 10, "4 of 10 KBytes")},
                {Line::State, "12 KBytes programmed\r\n", bar(10, 10, "10 of 10 KBytes")},
                {Line::Status, "Delaying 2 seconds", bar(0, 2, "0 of 2 seconds")},
                {Line::State, "5 seconds elapsed", bar(2, 2, "2 of 2 seconds")}}},
        // A failed transfer leaves the bar where it stopped until the window
        // clears it (the Flash button hidden) or a new flash starts.
        Script{"FailedTransfer",
               {{Line::Status, "Programming 50 KBytes", bar(0, 50, "0 of 50 KBytes")},
                {Line::State, "20 KBytes programmed\r\n", bar(20, 50, "20 of 50 KBytes")},
                {Line::Clear, "", hidden()},
                {Line::State, "30 KBytes programmed\r\n", hidden()}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::ui
