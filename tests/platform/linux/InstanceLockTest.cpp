// The tools' lock as another user meets it: kvtest_helper drops to that
// user (umask 077) and takes the lock in a folder like /run/lock (mode
// 1777) where root left whatever the row puts there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "platform/linux/FlockInstanceLock.h"
#include "tests/support/TempDir.h"
#include "tests/support/linux/ChildProcess.h"

namespace kv::testing {
namespace {

namespace fs = std::filesystem;
using platform::linux_impl::FlockInstanceLock;
using Left = std::function<void(const std::string& path, FlockInstanceLock& root)>;

Left fileOfMode(fs::perms mode) {
    return [mode](const std::string& path, FlockInstanceLock&) {
        std::ofstream(path).put('x');
        fs::permissions(path, mode);
    };
}

TEST(FlockInstanceLock, AnotherUserFindsItHeldOnlyWhenHeldAndEveryFailureSaysWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to be another user in a child";
    const struct {
        const char* name;
        Left left;
        // The helper's line; "@" stands for the lock file's path.
        std::string answer;
        std::optional<fs::perms> modeAfter;
    } cases[] = {
        // Made for every user, whatever the umask.
        {"missing", [](auto&, auto&) {}, "taken", fs::perms(0666)},
        // As root's copies of older builds left it: only read, never changed.
        {"left 0644 by root", fileOfMode(fs::perms(0644)), "taken", fs::perms(0644)},
        {"held by root",
         [](auto&, FlockInstanceLock& root) {
             ASSERT_EQ(*root.create(), platform::LockState::Taken);
         },
         "held", fs::perms(0666)},
        {"unreadable", fileOfMode(fs::perms(0600)), "failed: cannot open @: Permission denied", {}},
        {"FIFO",
         [](const std::string& path, auto&) { ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0); },
         "failed: @ is not a regular file",
         {}},
        {"dangling link",
         [](const std::string& path, auto&) { fs::create_symlink(path + "2", path); },
         "failed: @ is a symbolic link",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        TempDir output;
        fs::permissions(folder.path(), fs::perms::all | fs::perms::sticky_bit);
        const std::string path = folder.file("KV_TOOLS");
        FlockInstanceLock root(folder.str());
        c.left(path, root);
        ChildProcess helper(KVTEST_HELPER, {"take-lock", folder.str(), "65534"}, {}, output.str());
        // A FIFO opened for reading would wait for a writer here.
        ASSERT_EQ(helper.waitFor(std::chrono::seconds(20)), 0) << helper.err();
        std::string answer = c.answer;
        if (const size_t at = answer.find('@'); at != std::string::npos)
            answer.replace(at, 1, path);
        EXPECT_EQ(helper.out(), answer + "\n") << helper.err();
        if (c.modeAfter) {
            EXPECT_EQ(fs::status(path).permissions(), *c.modeAfter);
        }
        EXPECT_FALSE(fs::exists(path + "2"));
    }
}

}  // namespace
}  // namespace kv::testing
