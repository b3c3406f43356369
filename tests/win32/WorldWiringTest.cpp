// The Windows machine's two world kinds wire every service but the front
// end's; one that missed a service would not be made.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/win32/Win32World.h"

namespace kv::testing {
namespace {

using Names = std::vector<std::string>;

TEST(Win32World, EachKindWiresEveryServiceButTheFrontEnds) {
    const struct {
        const char* kind;
        std::function<std::unique_ptr<entry::World>(const entry::Options&)> make;
    } kinds[] = {
        {"simulated", entry::makeWin32SimulatedWorld},
        {"windows machine", entry::makeWin32RealWorld},
    };
    for (const auto& k : kinds) {
        entry::Options options;
        options.fast = true;
        std::unique_ptr<entry::World> world;
        ASSERT_NO_THROW(world = k.make(options)) << k.kind;
        EXPECT_EQ(world->sys.missing(platform::Services::Stage::WorldBuilt), Names{}) << k.kind;
        EXPECT_EQ(world->sys.missing(), (Names{"ui", "controls"})) << k.kind;
    }
}

}  // namespace
}  // namespace kv::testing
