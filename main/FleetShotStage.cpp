#include "main/FleetShotStage.h"

#include <algorithm>
#include <optional>

#include "platform/DurableFile.h"
#include "platform/Ipv4.h"
#include "platform/sim/CountingNetwork.h"

namespace kv::entry {

namespace {

constexpr uint32_t kFirstAddress = (127u << 24) | 2;  // 127.0.0.2, host order
constexpr uint16_t kPreferredPort = 10001;
constexpr const char* kOldId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
constexpr const char* kCurrentId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;";
constexpr uint64_t kBlock = 8192;

// Where each printer of the picture stops, by its place: the first seven
// (the canary among them) are verified, the eighth never says it is ready
// for the image,
// six are held part way through the image, five in the reset wait, and the
// last already runs the image's version.
struct Role {
    bool refusesFlashMode = false;
    uint64_t holdAfterBlocks = 0;    // 0: not held in the image
    uint32_t holdInResetWaitAt = 0;  // 0: not held there; else the second shown
    bool current = false;
};

Role roleOf(size_t printer) {
    if (printer < 7) return {};
    if (printer == 7) return {true, 0, 0, false};
    if (printer < 14) return {false, printer - 7, 0, false};
    if (printer < 19) return {false, 0, static_cast<uint32_t>(3 + 5 * (printer - 14)), false};
    return {false, 0, 0, true};
}

}  // namespace

// The program's side of the sockets: holds a printer's image at its limit
// until released.
class FleetShotStage::Gate final : public platform::sim::CountingNetwork {
public:
    using CountingNetwork::CountingNetwork;

    // Set before the run, read during it.
    void limit(uint32_t address, uint64_t bytes) { limits_[address] = bytes; }
    // Waits there until released; a printer's clock holds here too.
    void waitAtHold() {
        std::unique_lock lock(mutex_);
        ++held_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }
    size_t held() const {
        std::lock_guard lock(mutex_);
        return held_;
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    int64_t sendWithin(platform::SocketHandle s, const uint8_t* data, size_t length,
                       platform::SendBudget& budget) override {
        const auto limit = limits_.find(peerOf(s));
        if (limit != limits_.end() && !isReleased()) {
            const uint64_t sent = sentTo(limit->first);
            if (sent >= limit->second) {
                waitAtHold();
            } else {
                length = static_cast<size_t>(std::min<uint64_t>(length, limit->second - sent));
            }
        }
        return CountingNetwork::sendWithin(s, data, length, budget);
    }

private:
    bool isReleased() const {
        std::lock_guard lock(mutex_);
        return released_;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<uint32_t, uint64_t> limits_;
    size_t held_ = 0;
    bool released_ = false;
};

// A printer's own virtual time; one held in the reset wait stops at the
// pause that would pass the second it is pictured at. After the image's
// last block the flash pauses a second, then counts the reset wait.
class FleetShotStage::PrinterClock final : public platform::Clock {
public:
    PrinterClock(Gate& gate, uint32_t address, uint64_t imageBytes, uint32_t holdAtSecond)
        : gate_(gate), address_(address), imageBytes_(imageBytes), holdAtSecond_(holdAtSecond) {}
    void sleepMs(uint32_t ms) override {
        if (holdAtSecond_ != 0 && gate_.sentTo(address_) >= imageBytes_ &&
            ++pausesAfterImage_ == holdAtSecond_ + 2) {
            gate_.waitAtHold();
        }
        clock.sleepMs(ms);
    }
    uint64_t tickMs() override { return clock.tickMs(); }
    int64_t wallMs() override { return clock.wallMs(); }
    platform::sim::VirtualClock clock;

private:
    Gate& gate_;
    const uint32_t address_;
    const uint64_t imageBytes_;
    const uint32_t holdAtSecond_;
    uint32_t pausesAfterImage_ = 0;  // the printer's own thread only
};

class FleetShotStage::RunClock final : public platform::Clock {
public:
    explicit RunClock(FleetShotStage& stage) : stage_(stage) {}
    void sleepMs(uint32_t ms) override { own_.sleepMs(ms); }
    uint64_t tickMs() override;
    int64_t wallMs() override { return own_.wallMs(); }

private:
    FleetShotStage& stage_;
    platform::sim::VirtualClock own_;
};

struct FleetShotStage::Printer {
    Printer(Gate& gate, uint32_t hostOrder, uint64_t imageBytes, const Role& role)
        : address(hostOrder),
          clock(gate, platform::swapToNetworkOrder(hostOrder), imageBytes, role.holdInResetWaitAt) {
        emulator::PrinterConfig config;
        config.deviceId = role.current ? kCurrentId : kOldId;
        config.flashReadyMissing = role.refusesFlashMode;
        // No clock: the printer is back as soon as the program asks after
        // its reset wait.
        model = std::make_unique<emulator::PrinterModel>(config);
    }
    uint32_t address;  // host order
    PrinterClock clock;
    std::unique_ptr<emulator::PrinterModel> model;
    std::unique_ptr<emulator::TcpServer> server;
};

uint64_t FleetShotStage::RunClock::tickMs() {
    uint64_t furthest = own_.tickMs();
    for (const auto& p : stage_.printers_) furthest = std::max(furthest, p->clock.tickMs());
    return furthest;
}

FleetShotStage::FleetShotStage(platform::Network& network)
    : machine_(network),
      gate_(std::make_unique<Gate>(network)),
      runClock_(std::make_unique<RunClock>(*this)) {}

FleetShotStage::~FleetShotStage() {
    release();
    for (auto& p : printers_)
        if (p->server) p->server->stop();
}

bool FleetShotStage::start(uint64_t imageBytes, std::string& error) {
    for (uint16_t port : {kPreferredPort, uint16_t{0}}) {
        for (auto& p : printers_)
            if (p->server) p->server->stop();
        printers_.clear();
        port_ = port;
        bool listening = true;
        for (size_t i = 0; i < kPrinters && listening; ++i) {
            const Role role = roleOf(i);
            auto p = std::make_unique<Printer>(*gate_, kFirstAddress + static_cast<uint32_t>(i),
                                               imageBytes, role);
            emulator::TcpServer::Options options;
            options.address = platform::dottedDecimal(p->address);
            options.port = port_;
            options.pieceGapMs = 0;
            p->server = std::make_unique<emulator::TcpServer>(*p->model, machine_, options);
            listening = p->server->start();
            // The first printer picks a free port for all when 10001 is taken.
            if (listening && port_ == 0) port_ = p->server->port();
            if (role.holdAfterBlocks) {
                gate_->limit(platform::swapToNetworkOrder(p->address),
                             role.holdAfterBlocks * kBlock);
            }
            printers_.push_back(std::move(p));
        }
        if (listening) return true;
    }
    error = "cannot listen on " + platform::dottedDecimal(printers_.back()->address);
    return false;
}

std::string FleetShotStage::targets() const {
    return platform::dottedDecimal(kFirstAddress) + "-" +
           std::to_string((kFirstAddress & 0xFF) + kPrinters - 1);
}

std::string FleetShotStage::port() const { return std::to_string(port_); }

void FleetShotStage::wireInto(platform::Services& sys, platform::sim::ScriptedUi& ui) {
    sys.wired.network = gate_.get();
    sys.wired.clock = runClock_.get();
    ui.queueAnswer(true);
    sys.wired.ui = &ui;
    (void)sys.fleetTargets().replace(targets() + "\n");
}

platform::Clock& FleetShotStage::clockFor(size_t printer) { return printers_.at(printer)->clock; }

bool FleetShotStage::inPlace(const FleetPicture& picture) const {
    size_t holds = 0;
    size_t ends = 0;
    for (size_t i = 0; i < kPrinters; ++i) {
        const Role role = roleOf(i);
        const bool held = role.holdAfterBlocks || role.holdInResetWaitAt;
        holds += held ? 1 : 0;
        ends += held || role.current ? 0 : 1;
    }
    size_t verdicts = 0;
    for (const FleetRow& row : picture.rows) verdicts += row.verdict ? 1 : 0;
    return gate_->held() >= holds && verdicts >= ends;
}

void FleetShotStage::release() { gate_->release(); }

}  // namespace kv::entry
