#include <gtest/gtest.h>

#include "ui/qt/QtPlatformChoice.h"

namespace kv::ui {
namespace {

TEST(QtPlatformChoice, XcbOnlyUnderPkexecAndOnlyWhenNoPlatformWasChosen) {
    struct Case {
        const char* pkexecUid;
        const char* qpaPlatform;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"1000", nullptr, "xcb"},
        {"1000", "", "xcb"},
        // The user's own choice stands, under pkexec too.
        {"1000", "wayland", std::nullopt},
        {"1000", "offscreen", std::nullopt},
        // Not started through pkexec: Qt picks as always.
        {nullptr, nullptr, std::nullopt},
        {"", nullptr, std::nullopt},
        {nullptr, "offscreen", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pkexecUid ? c.pkexecUid : "(unset)") + " / " +
                     (c.qpaPlatform ? c.qpaPlatform : "(unset)"));
        EXPECT_EQ(qtPlatformToChoose(c.pkexecUid, c.qpaPlatform), c.expected);
    }
}

}  // namespace
}  // namespace kv::ui
