#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/LinuxHistoryFile.h"
#include "tests/support/Files.h"
#include "tests/support/HistoryWriters.h"
#include "tests/support/TempDir.h"

namespace kv::platform {
namespace {

using linux_impl::LinuxHistoryFile;
using testing::readFile;
using testing::writerLine;

TEST(LinuxHistoryFile, TwoProcessesAppendingNeverMixWithinALine) {
    testing::TempDir dir;
    const std::string path = dir.file("state/history.jsonl");
    constexpr int kLines = 200;
    std::vector<pid_t> children;
    for (char who : {'a', 'b'}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            LinuxHistoryFile file(path);
            int failed = 0;
            for (int n = 0; n < kLines; ++n) {
                if (!file.append(writerLine(who, n))) ++failed;
            }
            ::_exit(failed == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const auto text = LinuxHistoryFile(path).read();
    ASSERT_TRUE(text) << text.reason();
    testing::expectWholeLinesFrom(*text, "ab", kLines);
}

TEST(LinuxHistoryFile, ALineCutShortByACrashIsEndedBeforeTheNext) {
    testing::TempDir dir;
    const std::string path = dir.file("history.jsonl");
    testing::writeAll(path, {'{', '"', 'c', 'u', 't'});
    LinuxHistoryFile file(path);
    for (const char* line : {"{\"whole\":1}", "{\"whole\":2}"}) {
        const auto written = file.append(line);
        ASSERT_TRUE(written) << written.reason();
    }
    EXPECT_EQ(readFile(path), "{\"cut\n{\"whole\":1}\n{\"whole\":2}\n");
    EXPECT_FALSE(file.append("two\nlines"));
    EXPECT_EQ(readFile(path), "{\"cut\n{\"whole\":1}\n{\"whole\":2}\n");
}

TEST(LinuxHistoryFile, NoFileYetReadsEmptyAndTheFolderComesWithTheFirstLine) {
    testing::TempDir dir;
    const std::string path = dir.file("a/b/history.jsonl");
    LinuxHistoryFile file(path);
    EXPECT_EQ(*file.read(), "");
    const auto written = file.append("x");
    ASSERT_TRUE(written) << written.reason();
    EXPECT_EQ(*file.read(), "x\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(LinuxHistoryFile, NeitherALinkNorAFifoInItsPlaceIsUsed) {
    testing::TempDir dir;
    const std::string target = dir.file("elsewhere");
    testing::writeAll(target, {'o', 'l', 'd', '\n'});
    const std::string link = dir.file("linked.jsonl");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const std::string fifo = dir.file("fifo.jsonl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {link, link + " is a symbolic link; it is not followed"},
        {fifo, fifo + " is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        LinuxHistoryFile file(c.path);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(file.append("line").reason(), c.reason);
        EXPECT_EQ(file.read().reason(), c.reason);
        // A FIFO nobody writes to would block an open that waits for it.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
    EXPECT_EQ(readFile(target), "old\n");
}

}  // namespace
}  // namespace kv::platform
