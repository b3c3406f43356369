// Every service wired once: each world kind wires all but the front end's,
// a world or front end that misses one stops the start with its name, and
// runDialog wires the front end before anything runs.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/DialogEvents.h"
#include "app/FrontEnd.h"
#include "main/RunDialog.h"
#include "main/World.h"
#include "platform/sim/RecordingDialogControls.h"
#include "platform/sim/ScriptedUi.h"
#include "tests/support/SimWorld.h"

namespace kv {
namespace {

using platform::Services;
using Names = std::vector<std::string>;

TEST(Wiring, EachWorldKindWiresEveryServiceButTheFrontEnds) {
    const struct {
        const char* kind;
        std::function<std::unique_ptr<entry::World>(const entry::Options&)> make;
    } kinds[] = {
        {"simulated",
         [](const entry::Options& o) { return entry::makeSimulatedWorld(o, "kvflash"); }},
        {"linux machine",
         [](const entry::Options& o) { return entry::makeRealWorld(o, "kvflash"); }},
    };
    for (const auto& k : kinds) {
        entry::Options options;
        options.fast = true;
        std::unique_ptr<entry::World> world;
        ASSERT_NO_THROW(world = k.make(options)) << k.kind;
        EXPECT_EQ(world->sys.missing(Services::Stage::WorldBuilt), Names{}) << k.kind;
        EXPECT_EQ(world->sys.missing(), (Names{"ui", "controls"})) << k.kind;
    }
}

// Each service, left out of a world that has all the others, is the one
// named; the front end's two only once the front end is wired.
TEST(Wiring, AMissingServiceIsNamed) {
    const std::vector<std::pair<std::string, std::function<void(Services::Wiring&)>>> cases = {
        {"clock", [](auto& w) { w.clock = nullptr; }},
        {"trace", [](auto& w) { w.trace = nullptr; }},
        {"ui", [](auto& w) { w.ui = nullptr; }},
        {"controls", [](auto& w) { w.controls = nullptr; }},
        {"files", [](auto& w) { w.files = nullptr; }},
        {"fileReader", [](auto& w) { w.fileReader = nullptr; }},
        {"fileWriter", [](auto& w) { w.fileWriter = nullptr; }},
        {"instanceLock", [](auto& w) { w.instanceLock = nullptr; }},
        {"admin", [](auto& w) { w.admin = nullptr; }},
        {"deviceIo", [](auto& w) { w.deviceIo = nullptr; }},
        {"enumerator", [](auto& w) { w.enumerator = nullptr; }},
        {"spooler", [](auto& w) { w.spooler = nullptr; }},
        {"queueJournal", [](auto& w) { w.queueJournal = nullptr; }},
        {"network", [](auto& w) { w.network = nullptr; }},
        {"threads", [](auto& w) { w.threads = nullptr; }},
        {"history", [](auto& w) { w.history = nullptr; }},
        {"sleepInhibitor", [](auto& w) { w.sleepInhibitor = nullptr; }},
    };
    for (const auto& [name, remove] : cases) {
        testing::SimWorld w;
        ASSERT_EQ(w.sys.missing(), Names{});
        remove(w.sys.wired);
        EXPECT_EQ(w.sys.missing(), Names{name});
        const bool frontEnds = name == "ui" || name == "controls";
        EXPECT_EQ(w.sys.missing(Services::Stage::WorldBuilt), frontEnds ? Names{} : Names{name});
        try {
            w.sys.requireWired(Services::Stage::FrontEndWired);
            ADD_FAILURE() << name << " missing, yet nothing said so";
        } catch (const std::logic_error& e) {
            EXPECT_EQ(std::string(e.what()), "platform services not wired: " + name);
        }
    }
}

// A bundle that forgets some of its services stops the world's making.
TEST(Wiring, AWorldMissingAServiceIsNotMade) {
    struct Wiring final : entry::ServiceBundle {
        explicit Wiring(std::function<void(Services&)> wire) : wire_(std::move(wire)) {}
        void wireInto(Services& sys) override { wire_(sys); }
        std::function<void(Services&)> wire_;
    };
    testing::SimWorld sim;
    auto everything = std::make_unique<Wiring>([&](Services& sys) { sys.wired = sim.sys.wired; });
    auto forgetful = std::make_unique<Wiring>([](Services& sys) {
        sys.wired.deviceIo = nullptr;
        sys.wired.history = nullptr;
    });
    try {
        entry::World world(std::move(everything), std::move(forgetful));
        ADD_FAILURE() << "a world without device I/O and history was made";
    } catch (const std::logic_error& e) {
        EXPECT_EQ(std::string(e.what()), "platform services not wired: deviceIo history");
    }
}

class NoHost final : public DialogHost {
public:
    std::string title() override { return {}; }
    void setTitle(const std::string&) override {}
    void startTimer(int, unsigned) override {}
    void stopTimer(int) override {}
    void endDialog(int) override {}
};

// A front end that notes what the services hold when its dialog runs.
class ProbeFrontEnd final : public FrontEnd {
public:
    platform::Ui& ui() override { return ui_; }
    platform::DialogControls& controls() override { return controls_; }
    DialogHost& host() override { return host_; }
    int run(DialogEvents&) override {
        ran = true;
        missing = sys->missing();
        sys->ui().messageBox(std::nullopt, "shown while running", platform::BoxButtons::Ok);
        controlsWired = sys->wired.controls == &controls_;
        return 7;
    }

    const Services* sys = nullptr;
    platform::sim::ScriptedUi ui_;
    platform::sim::RecordingDialogControls controls_;
    NoHost host_;
    bool ran = false;
    bool controlsWired = false;
    Names missing{"not run"};
};

TEST(RunDialog, WiresTheFrontEndBeforeTheDialogRuns) {
    testing::SimWorld w;
    w.sys.wired.ui = nullptr;
    w.sys.wired.controls = nullptr;
    ProbeFrontEnd frontEnd;
    frontEnd.sys = &w.sys;
    EXPECT_EQ(entry::runDialog(w.ctx, frontEnd), 7);
    EXPECT_EQ(frontEnd.missing, Names{});
    EXPECT_TRUE(frontEnd.controlsWired);
    // Through the flash record's box tap, to the front end's own boxes.
    EXPECT_EQ(frontEnd.ui_.boxTexts(), Names{"shown while running"});
    EXPECT_EQ(w.sys.wired.ui, &w.state.flashAttempt.boxTap);
}

TEST(RunDialog, AMissingServiceStopsTheStartWithItsName) {
    testing::SimWorld w;
    w.sys.wired.sleepInhibitor = nullptr;
    ProbeFrontEnd frontEnd;
    frontEnd.sys = &w.sys;
    try {
        (void)entry::runDialog(w.ctx, frontEnd);
        ADD_FAILURE() << "the dialog started without a sleep inhibitor";
    } catch (const std::logic_error& e) {
        EXPECT_EQ(std::string(e.what()), "platform services not wired: sleepInhibitor");
    }
    EXPECT_FALSE(frontEnd.ran);
    EXPECT_TRUE(w.trace.lines().empty()) << "nothing ran before the check";
}

}  // namespace
}  // namespace kv
