#pragma once
#include <array>
#include <cstdint>

#include "platform/DeviceHandle.h"
#include "platform/Services.h"
#include "state/PrinterData.h"

namespace kv {

// Every caller hands the exchange a buffer of this size.
inline constexpr uint32_t kStatusReplySize = 1024;

// The kind letters of a status reply ('A', the firmware-version reply, is
// none of them).
inline bool isStatusKind(uint8_t c) { return c == 'S' || c == 'N' || c == 'E' || c == 'C'; }

// What a ZOR1-family printer is sent for each status command it cannot
// speak, and how its answer turns into a reply in the status format.
enum class StatusReplyKind : int32_t {
    STATUS_KIND_S = 1,
    STATUS_KIND_N = 2,
    STATUS_KIND_E = 3,
    STATUS_KIND_C = 4,
    STATUS_KIND_FIRMWARE = 10,
};
using enum StatusReplyKind;

struct StatusTypeCommandHW {
    std::array<uint8_t, 4> command;
    uint32_t commandLength;
    std::array<uint8_t, 6> request;
    uint32_t requestLength;
    uint32_t replyLength;
    bool binaryAllowed;
    StatusReplyKind replyKind;
};

inline constexpr std::array<StatusTypeCommandHW, 5> statusTypeCommandArrayHW{{
    {{0x1B, 0x49, 0x53, 0}, 3, {0x10, 0xAA, 0x55, 0x80, 0x54, 0xAB}, 6, 1, true, STATUS_KIND_S},
    {{0x1B, 0x49, 0x4E, 0}, 3, {0x10, 0xAA, 0x55, 0x80, 0x54, 0xAB}, 6, 1, true, STATUS_KIND_N},
    {{0x1B, 0x49, 0x45, 0}, 3, {0x10, 0xAA, 0x55, 0x80, 0x54, 0xAB}, 6, 1, true, STATUS_KIND_E},
    {{0x1B, 0x49, 0x43, 0}, 3, {0x10, 0xAA, 0x55, 0x80, 0x54, 0xAB}, 6, 1, true, STATUS_KIND_C},
    {{0x1B, 0x49, 0x41, 0x05}, 4, {0x1D, 0x49, 0x41, 0, 0, 0}, 3, 4, false, STATUS_KIND_FIRMWARE},
}};

// The first row whose whole status command begins the request, or -1 (also
// for a null request). Bytes past the command are ignored; a request shorter
// than a row's command does not match that row.
int getStatusTypeCommandArrayIndexHW(const uint8_t* request, uint32_t requestLength);

// The status exchange on a local handle. `length` is the buffer's capacity
// in and the reply's byte count out. ZOR1-family printers (by the record's
// flag) go through ReadCommandStatus. A request write that the device takes
// only in part counts as failed.
[[nodiscard]] bool GetPrinterStatusData(platform::Services& sys, platform::DeviceHandle port,
                                        uint8_t* buffer, uint32_t& length, bool sendRequest,
                                        const uint8_t* request, uint32_t requestLength,
                                        PrinterData& printer);

// The emulated exchange: the status command (ESC I S when sendRequest is
// clear) mapped onto the binary requests of statusTypeCommandArrayHW.
[[nodiscard]] bool ReadCommandStatus(platform::Services& sys, platform::DeviceHandle port,
                                     uint8_t* buffer, uint32_t& length, bool sendRequest,
                                     const uint8_t* request, uint32_t requestLength,
                                     PrinterData& printer);

// One read; replays the record's cached status when a parallel port brings
// nothing, and caches every reply that starts with a kind letter.
[[nodiscard]] bool ReadStatusBytes(platform::Services& sys, platform::DeviceHandle port,
                                   uint8_t* buffer, uint32_t& length, PrinterData& printer);

// Gathers up to `awaited` bytes (0: no count, until the window closes or the
// buffer is full) within a 2000 ms window that only empty reads consult.
[[nodiscard]] bool PJLMonReadPort(platform::Services& sys, platform::DeviceHandle port,
                                  uint8_t* buffer, uint32_t& length, uint32_t awaited);

[[nodiscard]] bool isPrinterReady(platform::Services& sys, platform::DeviceHandle port,
                                  PrinterData& printer);

}  // namespace kv
