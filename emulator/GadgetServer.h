#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "emulator/PrinterModel.h"
#include "platform/Clock.h"
#include "platform/UsbGadget.h"

namespace kv::emulator {

// The port status a printer with these status bytes shows: deselected when
// not ready (byte 3 bit 0x80), paper empty when out of paper (byte 3 bit
// 0x01), in error for any byte-3 condition or while busy (byte 4 bit 0x20).
uint8_t portStatusBits(uint8_t statusByte3, uint8_t statusByte4);

// Serves one PrinterModel on the device side of a USB printer gadget, on a
// thread of its own.
//
// The host's printer driver (usblp) keeps one read request outstanding, so
// whatever the printer offers is fetched at once and waits in the host for
// its next read(). A printer that offered its status again the moment the
// last one was taken would therefore always have a stale status waiting in
// front of the next reply. This printer offers its status again only once
// the last thing it sent was taken and statusRepeatMs have passed since
// then and since the host's last byte, and it offers one thing at a time.
// Replies go out as soon as earlier output was taken.
//
// Flash mode: the image has ended once no byte came for the model's
// flashQuietMs (ZOR1: once the announced payload is complete); the printer
// then leaves the bus for its reset time and comes back with the image's
// version in its device ID, as a freshly plugged device.
class GadgetServer {
public:
    struct Options {
        uint32_t statusRepeatMs = 300;
        uint32_t pieceGapMs = 50;  // between the pieces of a split reply
        uint32_t sliceMs = 20;     // longest wait for host bytes in one turn
        // Faults.
        std::optional<size_t> unplugAfterImageBytes;  // pulled out mid-image, never back
        // Offers its status once the host has been quiet this long after its
        // last byte, whether or not what it sent before was read: that
        // status then waits in front of the next reply.
        std::optional<uint32_t> unaskedStatusMs;
        std::function<void(const std::string&)> log;
    };

    GadgetServer(PrinterModel& model, platform::UsbGadget& port, platform::Clock& clock,
                 Options options);
    ~GadgetServer();
    GadgetServer(const GadgetServer&) = delete;
    GadgetServer& operator=(const GadgetServer&) = delete;

    // Plugs the printer in and starts serving; false when it cannot plug.
    bool start();
    // Stops serving and unplugs; idempotent.
    void stop();

    // One turn of the serving loop (start() runs them on its thread); for
    // tests that drive the server step by step on a virtual clock.
    void turn();
    bool plugged() const;
    size_t plugs() const;
    uint64_t bytesReceived() const;

private:
    bool plugIn();
    void pullOut(const std::string& why);
    void takeHostBytes();
    void checkFaults();
    void sendOutput(uint64_t now);
    void logNewRequests();
    void log(const std::string& line);

    PrinterModel& model_;
    platform::UsbGadget& port_;
    platform::Clock& clock_;
    Options options_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;  // guards the counters read from other threads
    bool plugged_ = false;
    size_t plugs_ = 0;
    uint64_t bytesReceived_ = 0;

    bool pulledForGood_ = false;
    std::vector<uint8_t> held_;  // host bytes the model has not taken yet
    std::deque<std::vector<uint8_t>> outbox_;
    bool inFlight_ = false;
    uint64_t lastHostByteAt_ = 0;
    uint64_t lastTakenAt_ = 0;
    uint64_t lastUnaskedAt_ = 0;
    size_t logged_ = 0;
};

}  // namespace kv::emulator
