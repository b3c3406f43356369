#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "state/PrinterData.h"
#include "status/StatusExchange.h"
#include "tests/support/SimWorld.h"

namespace kv::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One local printer port in a simulated world, with the services the status
// code takes.
struct StatusWorld : SimWorld {
    PrinterData printer;
    std::string path;
    platform::DeviceHandle port;

    explicit StatusWorld(std::string devicePath = "LPT1:",
                         std::shared_ptr<emulator::PrinterModel> model = nullptr,
                         emulator::SimDeviceOptions options = {})
        : path(std::move(devicePath)) {
        io.attach(path, std::move(model), options);
        port = io.open(path, platform::ShareMode::Shared);
    }

    void reply(const Bytes& chunk) { io.queueRead(path, chunk); }
    Bytes written() const { return io.written(path); }

    struct Result {
        bool ok;
        Bytes reply;  // the buffer up to the returned length
        uint32_t length;
    };

    Result exchange(bool send, const Bytes& request = {}) {
        std::array<uint8_t, kStatusReplySize> buffer{};
        uint32_t length = kStatusReplySize;
        const bool ok = GetPrinterStatusData(sys, port, buffer.data(), length, send,
                                             request.empty() ? nullptr : request.data(),
                                             static_cast<uint32_t>(request.size()), printer);
        return {ok, Bytes(buffer.begin(), buffer.begin() + std::min(length, kStatusReplySize)),
                length};
    }

    Bytes lastStatus() const {
        return Bytes(printer.lastStatus.begin(),
                     printer.lastStatus.begin() + printer.lastStatusLength);
    }
};

inline const Bytes kHwStatusRequest{0x10, 0xAA, 0x55, 0x80, 0x54, 0xAB};
inline const Bytes kVersionRequest{0x1D, 0x49, 0x41};
inline const Bytes kCommandS{0x1B, 0x49, 0x53};
inline const Bytes kCommandN{0x1B, 0x49, 0x4E};
inline const Bytes kCommandE{0x1B, 0x49, 0x45};
inline const Bytes kCommandC{0x1B, 0x49, 0x43};
inline const Bytes kCommandVersion{0x1B, 0x49, 0x41, 0x05};

// n pauses of ms each.
inline std::vector<uint32_t> steps(size_t n, uint32_t ms) { return std::vector<uint32_t>(n, ms); }

inline std::vector<uint32_t> concat(std::initializer_list<std::vector<uint32_t>> parts) {
    std::vector<uint32_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The pauses of one PJLMonReadPort window that never gets a byte.
inline std::vector<uint32_t> silentWindow() { return concat({steps(20, 100), {100}}); }

}  // namespace kv::testing
