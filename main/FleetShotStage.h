#pragma once
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/FleetDialog.h"
#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "platform/Clock.h"
#include "platform/Network.h"
#include "platform/Services.h"
#include "platform/sim/ScriptedUi.h"
#include "platform/sim/VirtualClock.h"

namespace kv::entry {

// The stage of the network printers' window's pictures (docs/) in the
// middle of a run: twenty emulated printers on loopback (127.0.0.2 to
// 127.0.0.21, one port), each on a virtual clock of its own. The window's
// fleet really scans and flashes them; some are held part way through the
// image or the reset wait, so that the picture is taken while they flash,
// and the same printers stand at the same place on every run.
class FleetShotStage {
public:
    static constexpr size_t kPrinters = 20;

    // `network` is the machine's: the printers listen on it, and the
    // program's side goes through the stage's gate (network()).
    explicit FleetShotStage(platform::Network& network);
    ~FleetShotStage();
    FleetShotStage(const FleetShotStage&) = delete;
    FleetShotStage& operator=(const FleetShotStage&) = delete;

    // Starts every printer listening, for an image of `imageBytes`; false
    // (and why) when one cannot.
    bool start(uint64_t imageBytes, std::string& error);
    // The window's targets and port for them.
    std::string targets() const;
    std::string port() const;

    // Puts the stage into the program's services: its sockets through the
    // stage's gate, the run's time (the furthest any printer got), `ui`
    // answering the window's question Yes, and the targets for the window.
    void wireInto(platform::Services& sys, platform::sim::ScriptedUi& ui);
    platform::Clock& clockFor(size_t printer);

    // True once every printer the stage holds has reached its hold and
    // every other one flashed shows its verdict in `picture`.
    bool inPlace(const FleetPicture& picture) const;
    // Lets every held printer go on to its end.
    void release();

private:
    class Gate;
    class PrinterClock;
    class RunClock;
    struct Printer;

    platform::Network& machine_;
    std::unique_ptr<Gate> gate_;
    std::vector<std::unique_ptr<Printer>> printers_;
    std::unique_ptr<RunClock> runClock_;
    uint16_t port_ = 0;
};

}  // namespace kv::entry
