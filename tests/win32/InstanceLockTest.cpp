#include <gtest/gtest.h>

#include <cstdio>

#include "platform/sim/CaptureTrace.h"
#include "platform/win32/MutexInstanceLock.h"
#include "platform/win32/TokenAdmin.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::win32::MutexInstanceLock;
using platform::win32::TokenAdmin;

constexpr const char* kLockGate = "KVTEST_LOCK_CHILD";

// What create() answers in another process.
std::string lockInChild() {
    const ProcessResult r = runHelper("LockChild.DISABLED_Create", kLockGate);
    EXPECT_TRUE(r.finished) << r.out;
    return field(r.out, "create").value_or("no answer: " + r.out);
}

TEST(LockChild, DISABLED_Create) {
    if (!environment(kLockGate)) GTEST_SKIP() << "a child of the lock test";
    MutexInstanceLock lock;
    std::printf("\ncreate=%u\n", lock.create());
}

// The tools' shared lock is a named mutex of the session: a second process
// sees ERROR_ALREADY_EXISTS while the first holds it, and gets it once the
// first released it.
TEST(MutexInstanceLock, SecondProcessIsToldItExistsUntilTheFirstReleases) {
    MutexInstanceLock lock;
    ASSERT_EQ(lock.create(), 0u) << "another KV tool holds KV_TOOLS in this Wine prefix";
    EXPECT_EQ(lockInChild(), "183");
    lock.release();
    EXPECT_EQ(lockInChild(), "0");
}

TEST(TokenAdmin, DecidesByTheAdministratorsGroup) {
    TokenAdmin admin;
    platform::sim::CaptureTrace trace;
    const bool result = admin.isAdministrator(trace);
    // Wine counts every user as an administrator; a real Windows answers
    // either way, but always through the membership call.
    const TokenAdmin::Outcome outcome = admin.outcome();
    EXPECT_TRUE(outcome == TokenAdmin::Outcome::Member || outcome == TokenAdmin::Outcome::NotMember)
        << static_cast<unsigned>(outcome);
    EXPECT_EQ(result, outcome == TokenAdmin::Outcome::Member);
    // Each step of the check in the trace, in its order.
    EXPECT_TRUE(trace.containsInOrder({"TRUE from AllocateAndInitializeSid\r\n",
                                       "Opened Advapi32.dll\r\n",
                                       "Got ProcAddress to CheckTokenMembership\r\n"}));
}

}  // namespace
}  // namespace kv::testing
