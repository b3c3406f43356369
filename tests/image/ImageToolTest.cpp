#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/ImageTool.h"

namespace kv {
namespace {

TEST(ParseHeaderVersion, Forms) {
    const struct {
        const char* text;
        bool ok;
        int major, minor;
    } cases[] = {
        {"5.12", true, 5, 12},       {"5.13", true, 5, 13},  {"5.1", true, 5, 1},
        {"255.255", true, 255, 255}, {"0.0", true, 0, 0},    {"256.1", false, 0, 0},
        {"5.256", false, 0, 0},      {"5", false, 0, 0},     {"5.", false, 0, 0},
        {".12", false, 0, 0},        {"a.b", false, 0, 0},   {"5.12.1", false, 0, 0},
        {"-5.12", false, 0, 0},      {" 5.12", false, 0, 0}, {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto v = parseHeaderVersion(c.text);
        ASSERT_EQ(v.has_value(), c.ok) << c.text;
        if (v) {
            EXPECT_EQ(v->major, c.major) << c.text;
            EXPECT_EQ(v->minor, c.minor) << c.text;
        }
    }
}

TEST(MakeTestPayload, MarkerFirstThenTheSameBytesEveryTime) {
    const std::vector<uint8_t> a = makeTestPayload("V5.20", 4096);
    ASSERT_EQ(a.size(), 4096u);
    EXPECT_EQ(std::string(a.begin(), a.begin() + 10), "FWV:V5.20;");
    EXPECT_EQ(a, makeTestPayload("V5.20", 4096));
    EXPECT_EQ(makeTestPayload("V5.20", 10), std::vector<uint8_t>(a.begin(), a.begin() + 10));
    // Not a constant fill: the bytes after the marker vary.
    std::vector<int> seen(256, 0);
    for (size_t i = 10; i < a.size(); ++i) seen[a[i]] = 1;
    EXPECT_GT(std::count(seen.begin(), seen.end(), 1), 200);
    EXPECT_THROW(makeTestPayload("V5.20", 9), std::invalid_argument);
}

}  // namespace
}  // namespace kv
