#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/Files.h"

namespace kv::testing {

// One writer's line n: its letter repeated, long enough that a line written
// in pieces would show.
inline std::string writerLine(char who, int n) {
    return std::string(1, who) + std::to_string(n) + ":" + std::string(6000, who);
}

// A history written by the writers named by `letters`, each `perWriter`
// lines: every line whole, each writer's lines in its own order.
inline void expectWholeLinesFrom(const std::string& text, const std::string& letters,
                                 int perWriter) {
    const auto got = lines(text);
    ASSERT_EQ(got.size(), letters.size() * static_cast<size_t>(perWriter));
    std::map<char, int> next;
    for (char who : letters) next[who] = 0;
    for (const std::string& line : got) {
        ASSERT_FALSE(line.empty());
        const char who = line[0];
        ASSERT_TRUE(next.count(who)) << line.substr(0, 20);
        EXPECT_EQ(line, writerLine(who, next[who]++)) << line.substr(0, 20);
    }
}

}  // namespace kv::testing
