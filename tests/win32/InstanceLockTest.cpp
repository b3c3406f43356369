#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/win32/MutexInstanceLock.h"
#include "platform/win32/TokenAdmin.h"
#include "tests/support/SimWorld.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::win32::MutexInstanceLock;
using platform::win32::TokenAdmin;

// What create() answers in another process.
std::string lockInChild() {
    const ProcessResult r = runProcess(helperPath(), "create-lock", {});
    EXPECT_TRUE(r.finished) << r.out;
    return field(r.out, "create").value_or("no answer: " + r.out);
}

// The tools' shared lock is a named mutex of the session: a second process
// finds it held while the first holds it, and takes it once the first
// released it.
TEST(MutexInstanceLock, SecondProcessFindsItHeldUntilTheFirstReleases) {
    MutexInstanceLock lock;
    const auto taken = lock.create();
    ASSERT_TRUE(taken) << taken.reason();
    ASSERT_EQ(*taken, platform::LockState::Taken)
        << "another KV tool holds KV_TOOLS in this Wine prefix";
    EXPECT_EQ(lockInChild(), "held");
    lock.release();
    EXPECT_EQ(lockInChild(), "taken");
}

TEST(TokenAdmin, DecidesByTheAdministratorsGroup) {
    TokenAdmin admin;
    platform::sim::CaptureTrace trace;
    const platform::AdminCheck result = admin.check(trace);
    // Wine counts every user as an administrator; a real Windows answers
    // either way, but always through the membership call.
    EXPECT_NE(result, platform::AdminCheck::Undecided);
    // Each step of the check in the trace, in its order.
    EXPECT_EQ(trace.lines(),
              (std::vector<std::string>{"TRUE from AllocateAndInitializeSid\r\n",
                                        "Opened Advapi32.dll\r\n",
                                        "Got ProcAddress to CheckTokenMembership\r\n"}));
}

bool noIdentifier(void**) { return false; }

struct AdminFailure {
    const char* name;
    TokenAdmin::Parts parts;
    // The trace from the check's first step to the end of the start-up
    // checks.
    std::vector<std::string> lines;
    bool startupGoesOn;
};

void PrintTo(const AdminFailure& c, std::ostream* os) { *os << c.name; }

class TokenAdminFailure : public ::testing::TestWithParam<AdminFailure> {};

// Where the check cannot be made it ends before its verdict line, and the
// start-up refuses as for a user without the rights; without Advapi32.dll
// the user counts as an administrator.
TEST_P(TokenAdminFailure, StartupDecidesWithoutAVerdictWhereTheCheckEndsEarly) {
    const AdminFailure& c = GetParam();
    SimWorld w;
    w.useHostInstanceLock("token-admin-test");
    w.useHostFiles("");
    TokenAdmin admin(c.parts);
    w.sys.wired.admin = &admin;

    const std::optional<int> end = runStartupChecks(w.ctx);
    const std::vector<std::string> all = w.trace.lines();
    ClearInstanceMutex(w.ctx);

    const auto first = std::find_if(all.begin(), all.end(), [](const std::string& line) {
        return line.ends_with(" from AllocateAndInitializeSid\r\n");
    });
    EXPECT_EQ(std::vector<std::string>(first, all.end()), c.lines);
    EXPECT_EQ(end, c.startupGoesOn ? std::nullopt : std::optional<int>(0));
    if (c.startupGoesOn) {
        EXPECT_TRUE(w.ui.boxes().empty());
    } else {
        ASSERT_EQ(w.ui.boxes().size(), 1u);
        EXPECT_EQ(w.ui.boxes()[0].caption, "Error");
        EXPECT_EQ(w.ui.boxes()[0].text, "Not running as admin, please run as Adminstrator");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TokenAdminFailure,
    ::testing::Values(
        AdminFailure{
            "NoIdentifier",
            {.buildGroupSid = &noIdentifier},
            {"FALSE from AllocateAndInitializeSid\r\n", "Not running as admin!!!!!!!!!\r\n"},
            false},
        AdminFailure{"NoCheckTokenMembership",
                     {.function = "CheckTokenMembershipNowhere"},
                     {"TRUE from AllocateAndInitializeSid\r\n", "Opened Advapi32.dll\r\n",
                      "DID NOT Get ProcAddress to CheckTokenMembership\r\n",
                      "Not running as admin!!!!!!!!!\r\n"},
                     false},
        AdminFailure{"NoAdvapi32",
                     {.library = "kvflash-no-such-library.dll"},
                     {"TRUE from AllocateAndInitializeSid\r\n", "Could not openAdvapi32.dll\r\n",
                      "Running as Admin\r\n", "Running as admin\r\n"},
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::testing
