#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32HistoryFile.h"
#include "tests/support/Files.h"
#include "tests/support/HistoryWriters.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::LockedHistoryFile;
using platform::win32::Win32HistoryFile;

std::string contentOf(const std::string& path) {
    std::string text;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(none)";
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    ::CloseHandle(h);
    return text;
}

void writeRaw(const std::string& path, const std::string& bytes) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
    ::CloseHandle(h);
}

// Two writers, each with its own handle, as two copies of the program.
void twoWriters(const std::string& path) {
    constexpr int kLines = 100;
    std::vector<std::thread> writers;
    int failed[2] = {0, 0};
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&path, w, &failed] {
            Win32HistoryFile file(path);
            for (int n = 0; n < kLines; ++n) {
                if (!file.append(writerLine(static_cast<char>('a' + w), n))) ++failed[w];
            }
        });
    }
    for (std::thread& t : writers) t.join();
    EXPECT_EQ(failed[0] + failed[1], 0);
    const auto text = Win32HistoryFile(path).read();
    ASSERT_TRUE(text) << text.reason();
    expectWholeLinesFrom(*text, "ab", kLines);
}

// The history file's rules over the Windows locked file: whole lines from
// two writers, a cut line ended, a link or folder in its place refused, and
// only the newest part of a long file read back.
TEST(Win32HistoryFile, TheHistoryRulesOverLockFileEx) {
    const std::string kTarget = "elsewhere.txt";
    const struct {
        const char* name;
        // Makes what lies at the history's path; false: this Wine cannot.
        std::function<bool(const std::string& folder, const std::string& path)> arrange;
        std::function<void(const std::string& folder, const std::string& path)> check;
    } cases[] = {
        {"two writers never mix within a line", [](auto&, auto&) { return true; },
         [](auto&, const std::string& path) { twoWriters(path); }},
        {"a line cut by a crash is ended before the next",
         [](auto&, const std::string& path) {
             writeRaw(path, "{\"cut");
             return true;
         },
         [](auto&, const std::string& path) {
             Win32HistoryFile file(path);
             EXPECT_TRUE(file.append("{\"whole\":1}"));
             EXPECT_TRUE(file.append("{\"whole\":2}"));
             EXPECT_EQ(file.append("two\nlines").reason(), "a history line holds a line break");
             EXPECT_EQ(contentOf(path), "{\"cut\n{\"whole\":1}\n{\"whole\":2}\n");
         }},
        {"the newest part of a file past the read limit",
         [](auto&, const std::string& path) {
             writeRaw(path, "old\n" + std::string(LockedHistoryFile::kReadLimit, 'x') + "\n");
             return true;
         },
         [](auto&, const std::string& path) {
             Win32HistoryFile file(path);
             EXPECT_TRUE(file.append("newest"));
             const auto text = file.read();
             ASSERT_TRUE(text) << text.reason();
             EXPECT_EQ(*text, "newest\n");
         }},
        {"a folder in its place",
         [](auto&, const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr); },
         [](auto&, const std::string& path) {
             Win32HistoryFile file(path);
             EXPECT_FALSE(file.append("line"));
             EXPECT_FALSE(file.read());
             EXPECT_NE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
         }},
        {"a symbolic link in its place",
         [&kTarget](const std::string& folder, const std::string& path) {
             writeRaw(folder + kTarget, "old\n");
             // Wine answers success and makes nothing (and follows a Unix
             // link unseen): only a link that is there counts.
             constexpr DWORD kUnprivileged = 0x2;
             const DWORD attributes =
                 ::CreateSymbolicLinkA(path.c_str(), (folder + kTarget).c_str(), kUnprivileged)
                     ? ::GetFileAttributesA(path.c_str())
                     : INVALID_FILE_ATTRIBUTES;
             return attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
         },
         [&kTarget](const std::string& folder, const std::string& path) {
             Win32HistoryFile file(path);
             EXPECT_EQ(file.append("line").reason(),
                       path + " is not a plain file (a link is not followed)");
             EXPECT_EQ(file.read().reason(),
                       path + " is not a plain file (a link is not followed)");
             EXPECT_EQ(contentOf(folder + kTarget), "old\n");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const std::string path = temp.path() + "history.jsonl";
        if (!c.arrange(temp.path(), path)) {
            std::printf("not run here: \"%s\" (this system cannot make it)\n", c.name);
            continue;
        }
        c.check(temp.path(), path);
    }
}

}  // namespace
}  // namespace kv::testing
