// A list file that is a FIFO is refused at once, with no writer holding
// the run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <variant>

#include "fleet/Targets.h"
#include "tests/support/HostPlatform.h"
#include "tests/support/TempDir.h"

namespace kv::fleet {
namespace {

TEST(TargetsLinux, AFifoIsNoListFile) {
    testing::TempDir dir;
    const std::string fifo = dir.file("targets");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto reader = testing::makeHostFileReader();
    const auto result = parseTargets({"@" + fifo}, 10001, *reader);
    const auto* error = std::get_if<TargetError>(&result);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->reason, "not a regular file");
    EXPECT_FALSE(error->line);
}

}  // namespace
}  // namespace kv::fleet
