#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/Win32DurableFile.h"
#include "tests/support/Files.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::win32::Win32DurableFile;

size_t entriesIn(const std::string& folder) {
    size_t count = 0;
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") ++count;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return count;
}

TEST(Win32DurableFile, ReplacesWholeInFoldersItMakesAndRemoves) {
    TempFolder temp;
    const std::string folder = temp.path() + "state\\kvflash\\";
    Win32DurableFile journal(folder + "print-queues.journal");
    EXPECT_FALSE(journal.exists());
    EXPECT_FALSE(journal.read());
    EXPECT_TRUE(journal.remove());

    ASSERT_TRUE(journal.replace("first\tUSB001\n"));
    EXPECT_EQ(journal.read(), "first\tUSB001\n");
    ASSERT_TRUE(journal.replace("second\n"));
    EXPECT_EQ(journal.read(), "second\n");
    // No temporary is left beside it.
    EXPECT_EQ(entriesIn(folder), 1u);

    EXPECT_TRUE(journal.remove());
    EXPECT_FALSE(journal.exists());

    // A folder that cannot be made: refused, nothing written.
    ASSERT_TRUE(writeFile(temp.path() + "plain", "x"));
    Win32DurableFile blocked(temp.path() + "plain\\print-queues.journal");
    EXPECT_FALSE(blocked.replace("x"));
    EXPECT_EQ(readFile(temp.path() + "plain"), "x");
}

// A journal past any journal's size is not one this program wrote.
TEST(Win32DurableFile, ReadsNothingPastAJournalsSize) {
    TempFolder temp;
    const std::string path = temp.path() + "print-queues.journal";
    ASSERT_TRUE(writeFile(path, std::string(platform::kMaxDurableFileBytes, 'x')));
    EXPECT_EQ(Win32DurableFile(path).read()->size(), platform::kMaxDurableFileBytes);
    ASSERT_TRUE(writeFile(path, std::string(platform::kMaxDurableFileBytes + 1, 'x')));
    EXPECT_FALSE(Win32DurableFile(path).read());
}

TEST(Win32DurableFile, LivesWhereTheStateFolderSays) {
    ::SetEnvironmentVariableA("KVFLASH_STATE_DIR", "C:\\kvstate");
    EXPECT_EQ(Win32DurableFile::queueJournalPath(), "C:\\kvstate\\print-queues.journal");
    ::SetEnvironmentVariableA("KVFLASH_STATE_DIR", nullptr);
    const std::string path = Win32DurableFile::queueJournalPath();
    EXPECT_NE(path.find("\\kvflash\\print-queues.journal"), std::string::npos) << path;
}

}  // namespace
}  // namespace kv::testing
