#include "main/FleetShotStage.h"

#include <algorithm>
#include <optional>

#include "platform/Ipv4.h"

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

// The program's side of the sockets: counts what was sent to each address
// and holds a printer's image at its limit until released.
class FleetShotStage::Gate final : public platform::Network {
public:
    explicit Gate(platform::Network& inner) : inner_(inner) {}

    void limit(uint32_t address, uint64_t bytes) { limits_[address] = bytes; }
    uint64_t sentTo(uint32_t address) const {
        std::lock_guard lock(mutex_);
        const auto it = sent_.find(address);
        return it == sent_.end() ? 0 : it->second;
    }
    // A printer's clock reports its hold here too.
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

    bool startup() override { return true; }
    void cleanup() override {}
    platform::SocketHandle openTcp() override { return inner_.openTcp(); }
    bool connectWithin(platform::SocketHandle s, uint32_t address, uint16_t port,
                       uint32_t ms) override {
        {
            std::lock_guard lock(mutex_);
            peer_[s.value] = address;
        }
        return inner_.connectWithin(s, address, port, ms);
    }
    int64_t sendWithin(platform::SocketHandle s, const uint8_t* data, size_t length,
                       platform::SendBudget& budget) override {
        uint32_t address = 0;
        {
            std::unique_lock lock(mutex_);
            address = peer_[s.value];
            const auto limit = limits_.find(address);
            if (limit != limits_.end() && !released_) {
                if (sent_[address] >= limit->second) {
                    ++held_;
                    changed_.notify_all();
                    changed_.wait(lock, [this] { return released_; });
                } else {
                    length = static_cast<size_t>(
                        std::min<uint64_t>(length, limit->second - sent_[address]));
                }
            }
        }
        const int64_t n = inner_.sendWithin(s, data, length, budget);
        if (n > 0) {
            std::lock_guard lock(mutex_);
            sent_[address] += static_cast<uint64_t>(n);
        }
        return n;
    }
    int64_t receiveWithin(platform::SocketHandle s, uint8_t* b, size_t c, uint32_t ms) override {
        return inner_.receiveWithin(s, b, c, ms);
    }
    void close(platform::SocketHandle s) override { inner_.close(s); }
    int lastError() const override { return inner_.lastError(); }
    platform::NetworkBounds bounds() const override { return inner_.bounds(); }
    void setBounds(const platform::NetworkBounds& b) override { inner_.setBounds(b); }
    platform::SocketHandle listen(uint32_t a, uint16_t p) override { return inner_.listen(a, p); }
    uint16_t localPort(platform::SocketHandle s) override { return inner_.localPort(s); }
    platform::SocketHandle accept(platform::SocketHandle l) override { return inner_.accept(l); }
    bool waitReadable(platform::SocketHandle s, uint32_t ms) override {
        return inner_.waitReadable(s, ms);
    }
    void shutdown(platform::SocketHandle s) override { inner_.shutdown(s); }

private:
    platform::Network& inner_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int64_t, uint32_t> peer_;     // socket -> address, network order
    std::map<uint32_t, uint64_t> limits_;  // set before the run, read during it
    std::map<uint32_t, uint64_t> sent_;
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

platform::Network& FleetShotStage::network() { return *gate_; }

platform::Clock& FleetShotStage::clockFor(size_t printer) { return printers_.at(printer)->clock; }

platform::Clock& FleetShotStage::runClock() { return *runClock_; }

bool FleetShotStage::allHeld() const {
    size_t holds = 0;
    for (size_t i = 0; i < kPrinters; ++i) {
        const Role role = roleOf(i);
        if (role.holdAfterBlocks || role.holdInResetWaitAt) ++holds;
    }
    return gate_->held() >= holds;
}

void FleetShotStage::release() { gate_->release(); }

}  // namespace kv::entry
