#include <gtest/gtest.h>

#include "printer/SameVersion.h"

namespace kv {
namespace {

TEST(SameFirmwareVersion, WholeTokensOfTheWholeValueOrOfWhatIsShown) {
    const struct {
        const char* reported;
        const char* marker;
        bool same;
    } cases[] = {
        {"V5.20", "V5.20", true},
        {"V5.20 ", "V5.20", true},
        {"V5.20-", "V5.20", true},
        {"V5.21", "V5.2", false},
        {"V5.2a", "V5.2", false},
        {"V5.2", "V5.21", false},
        {"v5.20", "V5.20", false},
        {"XV5.20", "V5.20", false},
        {"", "V5.20", false},
        {"V5.20", "", false},
        {"", "", false},
        // A ZOR1 printer: its whole value, and what it shows, cut after ")".
        {"V1.03)GAP", "V1.03)GAP", true},
        {"V1.03)GAP", "V1.03)", true},
        {"V1.03)GAP", "V1.03", true},
        {"V1.02)", "V1.02", true},
        {"V1.03)PR", "V1.03)GAP", false},
        {"V1.03)GAP_PR", "V1.03)GAP", false},
        {"V1.03)GAP", "V1.03)G", false},
        {"V1.03)", "V1.03)GAP", false},
        {"V1.04)GAP", "V1.03)", false},
        {"V1.05(0)GAP_PR", "V1.05(0)", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sameFirmwareVersion(c.reported, c.marker), c.same)
            << '"' << c.reported << "\" against \"" << c.marker << '"';
    }
}

}  // namespace
}  // namespace kv
