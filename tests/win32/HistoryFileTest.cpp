#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "platform/win32/Win32HistoryFile.h"
#include "tests/support/Files.h"
#include "tests/support/HistoryWriters.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::LockedHistoryFile;
using platform::win32::Win32HistoryFile;
using Path = const std::string&;

// Two writers with a handle each, as two copies of the program.
void twoWriters(Path path) {
    constexpr int kLines = 100;
    int failed[2] = {0, 0};
    auto write = [&path, &failed](int w) {
        Win32HistoryFile file(path);
        for (int n = 0; n < kLines; ++n) failed[w] += !file.append(writerLine("ab"[w], n));
    };
    std::thread a(write, 0), b(write, 1);
    a.join();
    b.join();
    EXPECT_EQ(failed[0] + failed[1], 0);
    const auto text = Win32HistoryFile(path).read();
    ASSERT_TRUE(text) << text.reason();
    expectWholeLinesFrom(*text, "ab", kLines);
}

// A link that is really there: Wine answers CreateSymbolicLink with success
// and makes nothing (and follows a Unix link unseen).
bool makeLink(Path path, Path target) {
    constexpr DWORD kUnprivileged = 0x2;
    if (!::CreateSymbolicLinkA(path.c_str(), target.c_str(), kUnprivileged)) return false;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The history's rules over the Windows locked file: whole lines from two
// writers, a cut line ended, only the newest part of a long file read back,
// a folder or link in its place refused.
TEST(Win32HistoryFile, TheHistoryRulesOverLockFileEx) {
    const std::string big = "old\n" + std::string(LockedHistoryFile::kReadLimit, 'x') + "\n";
    const struct {
        const char* name;
        // What lies at the path first; false: this system cannot make it.
        std::function<bool(Path path, Path other)> arrange;
        std::function<void(Path path, Path other)> check;
    } cases[] = {
        {"two writers never mix within a line", [](Path, Path) { return true; },
         [](Path path, Path) { twoWriters(path); }},
        {"a line cut by a crash is ended before the next",
         [](Path path, Path) { return writeFile(path, "{\"cut"); },
         [](Path path, Path) {
             Win32HistoryFile file(path);
             EXPECT_TRUE(file.append("{\"whole\":1}"));
             EXPECT_EQ(file.append("two\nlines").reason(), "a history line holds a line break");
             EXPECT_TRUE(file.append("{\"whole\":2}"));
             EXPECT_EQ(readFile(path), "{\"cut\n{\"whole\":1}\n{\"whole\":2}\n");
         }},
        {"the newest part of a file past the read limit",
         [&big](Path path, Path) { return writeFile(path, big); },
         [](Path path, Path) {
             Win32HistoryFile file(path);
             EXPECT_TRUE(file.append("newest"));
             const auto text = file.read();
             EXPECT_EQ(text ? *text : text.reason(), "newest\n");
         }},
        {"a folder in its place",
         [](Path path, Path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; },
         [](Path path, Path) {
             EXPECT_FALSE(Win32HistoryFile(path).append("line"));
             EXPECT_FALSE(Win32HistoryFile(path).read());
         }},
        {"a symbolic link in its place",
         [](Path path, Path other) { return writeFile(other, "old\n") && makeLink(path, other); },
         [](Path path, Path other) {
             const std::string refused = path + " is not a plain file (a link is not followed)";
             EXPECT_EQ(Win32HistoryFile(path).append("line").reason(), refused);
             EXPECT_EQ(Win32HistoryFile(path).read().reason(), refused);
             EXPECT_EQ(readFile(other), "old\n");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const std::string path = temp.path() + "history.jsonl", other = temp.path() + "other";
        if (!c.arrange(path, other)) {
            std::printf("not run here: \"%s\" (this system cannot make it)\n", c.name);
            continue;
        }
        c.check(path, other);
    }
}

}  // namespace
}  // namespace kv::testing
