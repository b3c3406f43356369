// The tools' lock as another user meets it: kvtest_helper drops to that
// user (umask 077) and takes the lock in a folder like /run/lock (mode
// 1777) where root left whatever the row puts there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/linux/FlockInstanceLock.h"
#include "tests/support/TempDir.h"
#include "tests/support/linux/ChildProcess.h"

namespace kv::testing {
namespace {

namespace fs = std::filesystem;
using platform::linux_impl::FlockInstanceLock;

constexpr const char* kOtherUser = "65534";

enum class Left { Nothing, File0644, File0600, HeldLock, Fifo, Link };

struct LockCase {
    const char* name;
    Left left;
    // The helper's line; "@" stands for the lock file's path.
    std::string answer;
    // The file's mode afterwards, where the row decides it.
    std::optional<fs::perms> mode;
};

void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }

class InstanceLockAsAnotherUser : public ::testing::TestWithParam<LockCase> {};

TEST_P(InstanceLockAsAnotherUser, HeldOnlyWhenHeldAndEveryFailureSaysWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to be another user in a child";
    const LockCase& c = GetParam();
    TempDir folder;
    TempDir output;
    fs::permissions(folder.path(), fs::perms::all | fs::perms::sticky_bit);
    const std::string path = folder.file("KV_TOOLS");
    FlockInstanceLock rootLock(folder.str());
    switch (c.left) {
        case Left::Nothing: break;
        case Left::File0644:
        case Left::File0600:
            std::ofstream(path).put('x');
            fs::permissions(path, c.left == Left::File0644 ? fs::perms(0644) : fs::perms(0600));
            break;
        case Left::HeldLock: {
            const auto taken = rootLock.create();
            ASSERT_TRUE(taken && *taken == platform::LockState::Taken) << taken.reason();
            break;
        }
        case Left::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0); break;
        case Left::Link: fs::create_symlink(folder.file("elsewhere"), path); break;
    }

    ChildProcess helper(KVTEST_HELPER, {"take-lock", folder.str(), kOtherUser}, {}, output.str());
    // A FIFO opened for reading would wait for a writer here.
    ASSERT_EQ(helper.waitFor(std::chrono::seconds(20)), 0) << helper.err();
    std::string answer = c.answer;
    if (const size_t at = answer.find('@'); at != std::string::npos) answer.replace(at, 1, path);
    EXPECT_EQ(helper.out(), answer + "\n") << helper.err();
    if (c.mode) {
        EXPECT_EQ(fs::status(path).permissions(), *c.mode);
    }
    EXPECT_FALSE(fs::exists(folder.file("elsewhere")));
}

INSTANTIATE_TEST_SUITE_P(
    Linux, InstanceLockAsAnotherUser,
    ::testing::Values(
        // Made for every user, whatever the umask.
        LockCase{"Missing", Left::Nothing, "taken", fs::perms(0666)},
        // As root's copies of older builds left it: only read, never changed.
        LockCase{"LeftByRoot0644", Left::File0644, "taken", fs::perms(0644)},
        LockCase{"HeldByRoot", Left::HeldLock, "held", fs::perms(0666)},
        LockCase{"Unreadable", Left::File0600, "failed: cannot open @: Permission denied",
                 std::nullopt},
        LockCase{"Fifo", Left::Fifo, "failed: @ is not a regular file", std::nullopt},
        LockCase{"DanglingLink", Left::Link, "failed: @ is a symbolic link", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::testing
