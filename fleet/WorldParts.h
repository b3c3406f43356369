#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include "fleet/PrinterLog.h"
#include "fleet/PrinterSlot.h"
#include "platform/DeviceEnumerator.h"
#include "platform/DeviceIo.h"
#include "platform/DialogControls.h"
#include "platform/Network.h"
#include "platform/PrintSpooler.h"
#include "platform/SleepInhibitor.h"
#include "platform/Trace.h"
#include "platform/Ui.h"
#include "state/FlashPhases.h"

// The services a printer's world has of its own, over those the run shares.
namespace kv::fleet {

// The dialog a printer's world writes to: texts and progress go to its slot
// (latest state only); the verdict is kept for the world.
class SlotControls final : public platform::DialogControls {
public:
    explicit SlotControls(PrinterSlot& slot) : slot_(slot) {}
    void setText(platform::Control control, const std::string& text) override;
    void enable(platform::Control, bool) override {}
    void show(platform::Control, bool) override {}
    void setProgress(const platform::TransferProgress& progress) override;
    void setVerification(const std::optional<platform::Verification>& verdict) override;
    std::optional<platform::Verification> verdict() const;

private:
    PrinterSlot& slot_;
    mutable std::mutex mutex_;
    std::optional<platform::Verification> verdict_;
};

// Never shows a box: each goes into the printer's detail. The same-version
// question is answered as the plan decided; the file dialog is refused.
class SlotUi final : public platform::Ui {
public:
    SlotUi(PrinterSlot& slot, bool flashSameVersion)
        : slot_(slot), flashSameVersion_(flashSameVersion) {}
    platform::BoxAnswer messageBox(const std::optional<std::string>& caption,
                                   const std::string& text, platform::BoxButtons buttons) override;
    std::optional<std::string> openFile(const platform::OpenFileRequest&) override {
        return std::nullopt;
    }
    void postQuit(int) override {}
    void showNotice(const std::string& caption, const std::string& text) override {
        (void)messageBox(caption, text, platform::BoxButtons::Ok);
    }

private:
    PrinterSlot& slot_;
    const bool flashSameVersion_;
};

// Each line prefixed with the printer's address; also into the printer's
// log, when it has one.
class PrefixTrace final : public platform::Trace {
public:
    PrefixTrace(platform::Trace& inner, std::string prefix)
        : inner_(inner), prefix_(std::move(prefix)) {}
    void write(std::string_view line) override;
    void copyTo(PrinterLog* log) { log_ = log; }

private:
    platform::Trace& inner_;
    const std::string prefix_;
    PrinterLog* log_ = nullptr;
};

// A network printer needs no local device, print queue or USB list: these
// refuse every call and count them (a fleet world must make none).
class RefusingLocalServices final : public platform::DeviceIo,
                                    public platform::DeviceEnumerator,
                                    public platform::PrintSpooler {
public:
    uint64_t calls() const { return calls_.load(); }

    platform::DeviceHandle open(const std::string&, platform::ShareMode) override;
    bool read(platform::DeviceHandle, uint8_t*, size_t, size_t& obtained) override;
    bool write(platform::DeviceHandle, const uint8_t*, size_t, size_t& taken) override;
    bool queryDeviceId(platform::DeviceHandle, uint8_t*, size_t, size_t& obtained) override;
    bool getCommTimeouts(platform::DeviceHandle, platform::CommTimeouts&) override;
    bool setCommTimeouts(platform::DeviceHandle, const platform::CommTimeouts&) override;
    bool close(platform::DeviceHandle) override;
    uint32_t lastError() const override { return 1; }

    std::optional<std::vector<platform::DeviceInterface>> list(platform::InterfaceClass) override;

    platform::Result<std::vector<platform::QueueRecord>> enumerateLocal() override;
    platform::Result<platform::QueueHandle> open(const std::string& printerName) override;
    platform::Result<platform::QueueRecord> get(platform::QueueHandle) override;
    platform::Result<void> set(platform::QueueHandle, const platform::QueueRecord&) override;
    void adoptHold(platform::QueueHandle) override;
    void close(platform::QueueHandle) override;

private:
    void refused() { ++calls_; }
    std::atomic<uint64_t> calls_{0};
};

// The machine's sleep inhibitor shared by many holders: the real one is
// taken by the first and given back by the last, so the first printer to
// finish does not let the machine sleep under the others.
class CountingInhibitor final : public platform::SleepInhibitor {
public:
    explicit CountingInhibitor(platform::SleepInhibitor& inner) : inner_(inner) {}
    platform::Result<void> acquire(const std::string& who, const std::string& why) override;
    void release() override;
    int holders() const;

private:
    platform::SleepInhibitor& inner_;
    mutable std::mutex mutex_;
    int holders_ = 0;
    // The inner hold the first holder got, which every holder is told.
    platform::Result<void> held_ = platform::Failure{};
};

// A shared network with bounds of this world's own, which a stop can cut:
// every socket the world has open is shut (waking its waits) and every step
// after fails at once, so an identification under way ends within moments.
class BoundedNetwork final : public platform::Network {
public:
    BoundedNetwork(platform::Network& inner, const platform::NetworkBounds& bounds)
        : inner_(inner), bounds_(bounds) {}
    // Safe from any thread; for good.
    void cut();
    bool isCut() const { return cut_.load(); }

    // Winsock counts its start-ups, so each world may start and clean up its own.
    bool startup() override { return inner_.startup(); }
    void cleanup() override { inner_.cleanup(); }
    platform::SocketHandle openTcp() override;
    bool connectWithin(platform::SocketHandle socket, uint32_t address, uint16_t port,
                       uint32_t timeoutMs) override {
        return !isCut() && inner_.connectWithin(socket, address, port, timeoutMs);
    }
    int64_t sendWithin(platform::SocketHandle socket, const uint8_t* data, size_t length,
                       platform::SendBudget& budget) override {
        return isCut() ? -1 : inner_.sendWithin(socket, data, length, budget);
    }
    int64_t receiveWithin(platform::SocketHandle socket, uint8_t* buffer, size_t capacity,
                          uint32_t timeoutMs) override {
        return isCut() ? -1 : inner_.receiveWithin(socket, buffer, capacity, timeoutMs);
    }
    void close(platform::SocketHandle socket) override;
    int lastError() const override { return inner_.lastError(); }
    platform::NetworkBounds bounds() const override { return bounds_; }
    void setBounds(const platform::NetworkBounds& bounds) override { bounds_ = bounds; }
    platform::SocketHandle listen(uint32_t address, uint16_t port) override {
        return inner_.listen(address, port);
    }
    uint16_t localPort(platform::SocketHandle socket) override { return inner_.localPort(socket); }
    platform::SocketHandle accept(platform::SocketHandle listener) override {
        return inner_.accept(listener);
    }
    bool waitReadable(platform::SocketHandle socket, uint32_t timeoutMs) override {
        return isCut() || inner_.waitReadable(socket, timeoutMs);
    }
    void shutdown(platform::SocketHandle socket) override { inner_.shutdown(socket); }

private:
    platform::Network& inner_;
    platform::NetworkBounds bounds_;
    std::atomic<bool> cut_{false};
    // The sockets open now; closed ones leave under the same lock, so a cut
    // never shuts a handle that is gone.
    std::mutex mutex_;
    std::vector<platform::SocketHandle> open_;
};

// The steps of a printer's world as its slot shows them, and its admission
// to flash mode as the run decides it.
class SlotSteps final : public FlashSteps {
public:
    // `admit` decides the admission; `stopped` tells whether the run stopped.
    SlotSteps(PrinterSlot& slot, std::function<bool()> admit, std::function<bool()> stopped)
        : slot_(slot), admit_(std::move(admit)), stopped_(std::move(stopped)) {}
    void began(FlashStep step) override;
    bool admitFlashMode() override { return admit_ && admit_(); }
    bool runStopped() const override { return stopped_ && stopped_(); }

private:
    PrinterSlot& slot_;
    std::function<bool()> admit_;
    std::function<bool()> stopped_;
};

}  // namespace kv::fleet
