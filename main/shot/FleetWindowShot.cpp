// Renders the network printers' window in the middle of a run into a PNG
// (the README's picture): the real window scans and flashes IMAGE onto
// twenty emulated printers on loopback in virtual time, and is taken while
// some are verified, some flash and one has failed; with END.png, again
// once every printer has ended (versions before and after, the reasons, the
// advice for the printer that may be left in flash mode).
//   kvflash-fleet-shot OUT.png IMAGE [END.png]
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <cstdio>
#include <functional>

#include "fleet/FleetImage.h"
#include "main/FleetShotStage.h"
#include "main/World.h"
#include "platform/sim/MemoryHistory.h"
#include "platform/sim/ScriptedUi.h"
#include "state/Context.h"
#include "ui/qt/QtFleetWindow.h"

namespace {

constexpr qint64 kBoundMs = 60000;

// Handles the window's events until `done`, within the bound.
bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kBoundMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fputs("usage: kvflash-fleet-shot OUT.png IMAGE [END.png]\n", stderr);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kv::entry::Options options;
    options.simulate = true;
    options.fast = true;
    auto world = kv::entry::makeSimulatedWorld(options, argv[0]);
    // The picture's flashes are not the machine's.
    kv::platform::sim::MemoryHistory history;
    world->sys.wired.history = &history;
    const kv::fleet::FleetImage image =
        kv::fleet::loadFleetImage(world->sys.fileReader(), world->sys.trustedKeys(), argv[2]);
    if (!image.image) {
        std::fprintf(stderr, "kvflash-fleet-shot: %s\n", image.error.c_str());
        return 1;
    }
    kv::entry::FleetShotStage stage(world->sys.network());
    std::string error;
    if (!stage.start(image.image->facts.size, error)) {
        std::fprintf(stderr, "kvflash-fleet-shot: %s\n", error.c_str());
        return 1;
    }
    kv::platform::sim::ScriptedUi ui;
    stage.wireInto(world->sys, ui);
    kv::AppState state;
    state.firmwareFileName = argv[2];
    kv::Context ctx{state, world->sys};

    kv::ui::QtFleetWindow window(
        ctx, [&](size_t i) -> kv::platform::Clock& { return stage.clockFor(i); });
    kv::FleetDialog& logic = window.logic();
    logic.onPortEdited(stage.port());
    window.present();
    logic.onScan();
    if (!spinUntil([&] { return !logic.picture().scanning; })) {
        std::fputs("kvflash-fleet-shot: the scan did not end\n", stderr);
        return 1;
    }
    logic.onFlashSelected();
    // The printers not held end first: seven verified, one failed.
    if (!spinUntil([&] {
            logic.onTimer();
            return stage.inPlace(logic.picture());
        })) {
        std::fputs("kvflash-fleet-shot: the printers did not reach their places\n", stderr);
        stage.release();
        logic.waitIdle(std::chrono::milliseconds(kBoundMs));
        return 1;
    }
    logic.onTimer();
    // At the size it opens at on a screen large enough: twenty rows.
    window.resize(window.defaultSize());
    window.stopButton()->setFocus();
    QApplication::processEvents();
    bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    stage.release();
    const bool ended = spinUntil([&] {
        logic.onTimer();
        return !logic.picture().flashing;
    });
    const char* written = argv[1];
    if (saved && ended && argc == 4) {
        window.flashButton()->setFocus();
        QApplication::processEvents();
        written = argv[3];
        saved = window.grab().save(QString::fromLocal8Bit(argv[3]));
    }
    window.hide();
    logic.waitIdle(std::chrono::milliseconds(kBoundMs));
    if (!ended) {
        std::fputs("kvflash-fleet-shot: the run did not end\n", stderr);
        return 1;
    }
    if (!saved) {
        std::fprintf(stderr, "kvflash-fleet-shot: cannot write %s\n", written);
        return 1;
    }
    return 0;
}
