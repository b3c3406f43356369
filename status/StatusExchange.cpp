#include "status/StatusExchange.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DeviceIo.h"
#include "platform/Format.h"
#include "status/PrinterStatus.h"
#include "status/StatusDecoding.h"

namespace kv {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kEntryLine =
    "GetPrinterStatusData - Entry ****************************************************";
constexpr const char* kBeforeReadLine =
    "GetPrinterStatusData - Before read command to get status bytes";
constexpr const char* kWroteRequestLine =
    "GetPrinterStatusData - Good return from writing request "
    "****************************************************";
constexpr const char* kReadAfterRequestLine =
    "GetPrinterStatusData - Good return from reading after request "
    "****************************************************";

constexpr uint8_t kPlainStatusRequest[] = {0x1B, 0x49, 0x53};  // ESC I S
constexpr uint32_t kWindowMs = 2000;

void line(platform::Services& sys, std::string_view text) { sys.trace().write(text); }
void lineAndBreak(platform::Services& sys, std::string_view text) {
    sys.trace().write(text);
    sys.trace().write(kCrLf);
}

bool isPrintable(uint8_t c) { return c >= 0x20 && c <= 0x7E; }

// A status of another kind than the one asked for, on USB: one the printer
// sent on its own, which usblp fetched ahead after the stale input had been
// dropped (a busy machine is slow enough for that). The answer is behind it.
bool isUnaskedStatus(const PrinterData& printer, const uint8_t* request, uint32_t requestLength,
                     const uint8_t* reply, uint32_t replyLength) {
    if (printer.portType != PORT_TYPE_USB || !request || requestLength == 0 || replyLength == 0)
        return false;
    const uint8_t asked = request[requestLength - 1];
    return isStatusKind(asked) && isStatusKind(reply[0]) && reply[0] != asked;
}

// The answer behind an unasked status replaces it; with nothing behind it,
// the unasked status stays the answer.
void passOverUnaskedStatus(platform::Services& sys, platform::DeviceHandle port, uint8_t* buffer,
                           uint32_t& length, uint32_t capacity, PrinterData& printer) {
    const std::vector<uint8_t> unasked(buffer, buffer + length);
    uint32_t again = capacity;
    if (ReadStatusBytes(sys, port, buffer, again, printer)) {
        length = again;
    } else {
        std::copy(unasked.begin(), unasked.end(), buffer);
    }
}

// What the printer sent before the request would be read as its answer:
// the pending status was read and judged already, so anything older goes.
// A request the device took only in part never reached the printer whole;
// waiting for its answer would misread whatever comes back.
bool writeRequest(platform::Services& sys, platform::DeviceHandle port, const uint8_t* data,
                  uint32_t length) {
    sys.deviceIo().discardStaleInput(port);
    size_t taken = 0;
    return sys.deviceIo().write(port, data, length, taken) && taken == length;
}

// What the emulated exchange gathered from a ZOR1 printer for one row of
// statusTypeCommandArrayHW; the first `skipped` bytes are the binary lead
// that a text reply may come behind.
struct HwReply {
    const StatusTypeCommandHW* entry = nullptr;
    std::array<uint8_t, kStatusReplySize> bytes{};
    uint32_t held = 0;
    uint32_t skipped = 0;
    const uint8_t* data() const { return bytes.data() + skipped; }
    uint32_t size() const { return held - skipped; }
};

// A request the printer never took leaves the caller's length as it was.
enum class HwStep { done, failed, notSent };

// Gathers the answer, once more after a pause when the first window brings
// nothing.
bool gatherHwReply(platform::Services& sys, platform::DeviceHandle port, HwReply& reply) {
    const uint32_t awaited = reply.entry->replyLength;
    reply.held = kStatusReplySize;
    if (PJLMonReadPort(sys, port, reply.bytes.data(), reply.held, awaited)) return true;
    sys.clock().sleepMs(500);
    line(sys, "ReadCommandStatus - BAD ERROR Re-read due to error\r\n");
    line(sys, "ReadCommandStatus - Trying again\r\n");
    reply.held = kStatusReplySize;
    return PJLMonReadPort(sys, port, reply.bytes.data(), reply.held, awaited);
}

// A text reply: the non-text bytes ahead of it are skipped (the pair AA 55
// as one), and what they displaced is gathered.
HwStep skipBinaryLead(platform::Services& sys, platform::DeviceHandle port, HwReply& reply) {
    const auto& b = reply.bytes;
    uint32_t& skipped = reply.skipped;
    while (skipped < reply.held && !isPrintable(b[skipped])) {
        const bool pair = b[skipped] == 0xAA && skipped + 1 < reply.held && b[skipped + 1] == 0x55;
        skipped += pair ? 2 : 1;
    }
    if (skipped == 0) return HwStep::done;
    line(sys, "ReadCommandStatus - Invalid Binary data found - Trying again....\r\n");
    // Gather only what is still missing after the skipped bytes: a reply
    // whose characters came with the AA 55 pair is complete.
    const uint32_t awaited = reply.entry->replyLength;
    if (reply.size() < awaited) {
        uint32_t more = kStatusReplySize - reply.held;
        if (!PJLMonReadPort(sys, port, reply.bytes.data() + reply.held, more,
                            awaited - reply.size())) {
            return HwStep::failed;
        }
        reply.held += more;
    }
    if (isPrintable(b[skipped])) return HwStep::done;
    line(sys, "ReadCommandStatus - Invalid Binary data found - Giving UP....\r\n");
    return HwStep::failed;
}

// The row of the command, its binary request written, its answer read.
HwStep readHwReply(platform::Services& sys, platform::DeviceHandle port, const uint8_t* command,
                   uint32_t commandLength, HwReply& reply) {
    const int row = getStatusTypeCommandArrayIndexHW(command, commandLength);
    if (row < 0) {
        sys.clock().sleepMs(100);
        line(sys, "ReadCommandStatus - getStatusTypeCommandArrayIndexHW - Unsupported Command\r\n");
        return HwStep::failed;
    }
    const StatusTypeCommandHW& entry = statusTypeCommandArrayHW[static_cast<size_t>(row)];
    reply.entry = &entry;

    line(sys, "ReadCommandStatus - Valid specific status command string\r\n");
    if (!writeRequest(sys, port, entry.request.data(), entry.requestLength)) return HwStep::notSent;
    lineAndBreak(sys, kWroteRequestLine);

    line(sys, "ReadCommandStatus - Get Status, Specific or HeartBeat\r\n");
    if (!gatherHwReply(sys, port, reply)) return HwStep::failed;
    if (!entry.binaryAllowed && skipBinaryLead(sys, port, reply) != HwStep::done) {
        return HwStep::failed;
    }
    line(sys, "ReadCommandStatus - Good read in PJLMonReadPort so setting goodCommWithPrinter\r\n");
    platform::tracef(sys.trace(),
                     "ReadCommandStatus - characters to read = %d, actually read = %d\r\n",
                     static_cast<int>(entry.replyLength), static_cast<int>(reply.size()));
    return HwStep::done;
}

// One status byte, or four version characters.
bool checkHwReply(platform::Services& sys, const HwReply& reply) {
    const StatusTypeCommandHW& entry = *reply.entry;
    const bool version = entry.replyKind == STATUS_KIND_FIRMWARE;
    if (reply.size() == (version ? 4u : entry.replyLength)) return true;
    platform::tracef(sys.trace(),
                     version ? "ReadCommandStatus - INVALID FIRMWARE VERSION LENGTH - characters "
                               "to read = %d, actually read = %d\r\n"
                             : "ReadCommandStatus - INVALID PRINTER STATUS LENGTH - characters to "
                               "read = %d, actually read = %d\r\n",
                     static_cast<int>(entry.replyLength), static_cast<int>(reply.size()));
    sys.clock().sleepMs(100);
    return false;
}

// The status string of the row's kind, built from the status byte; it is
// also the printer's last status. Returns the bytes given to the caller.
uint32_t statusReply(platform::Services& sys, platform::DeviceHandle port, PrinterData& printer,
                     const HwReply& reply, uint8_t* buffer, uint32_t capacity) {
    PrinterStatus status;
    status.port = port;
    status.printer = &printer;
    (void)ProcessHWStatusString(sys, status, reply.data(), reply.size());
    const uint8_t* chosen = status.sString.data();
    uint32_t chosenLength = status.sLength;
    switch (reply.entry->replyKind) {
        case STATUS_KIND_N:
            chosen = status.nString.data();
            chosenLength = status.nLength;
            break;
        case STATUS_KIND_E:
            chosen = status.eString.data();
            chosenLength = status.eLength;
            break;
        case STATUS_KIND_C:
            chosen = status.cString.data();
            chosenLength = status.cLength;
            break;
        default: break;
    }
    const uint32_t copied = buffer ? std::min(chosenLength, capacity) : 0;
    std::copy_n(chosen, copied, buffer);
    std::copy_n(chosen, copied, printer.lastStatus.begin());
    printer.lastStatusLength = copied;
    return copied;
}

// "A05", the data length and 'V' ahead of the four version characters,
// NUL-terminated within the caller's capacity. Returns its length.
uint32_t versionReply(platform::Services& sys, const HwReply& reply, uint8_t* buffer,
                      uint32_t capacity) {
    char version[5] = {};
    std::memcpy(version, reply.data(), 4);
    const std::string text =
        platform::formatted("A05%02dV%s", static_cast<int>(reply.size() + 1), version);
    const uint32_t textLength = static_cast<uint32_t>(std::strlen(text.c_str()));
    const uint32_t stored = (buffer && capacity > 0) ? std::min(textLength, capacity - 1) : 0;
    if (buffer && capacity > 0) {
        std::memcpy(buffer, text.data(), stored);
        buffer[stored] = 0;
    }
    platform::tracef(sys.trace(),
                     "ReadCommandStatus - VALID FIRMWARE VERSION (Length: %d) - '%s'\r\n",
                     static_cast<int>(stored),
                     platform::escapeDeviceText(std::string_view(text.data(), stored)).c_str());
    return stored;
}

}  // namespace

int getStatusTypeCommandArrayIndexHW(const uint8_t* request, uint32_t requestLength) {
    if (!request) return -1;
    for (size_t row = 0; row < statusTypeCommandArrayHW.size(); ++row) {
        const auto& entry = statusTypeCommandArrayHW[row];
        if (requestLength >= entry.commandLength &&
            std::equal(entry.command.begin(), entry.command.begin() + entry.commandLength,
                       request)) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

bool ReadStatusBytes(platform::Services& sys, platform::DeviceHandle port, uint8_t* buffer,
                     uint32_t& length, PrinterData& printer) {
    size_t got = 0;
    if (!buffer || !sys.deviceIo().read(port, buffer, length, got)) {
        length = 0;
        sys.clock().sleepMs(100);
        return false;
    }
    got = std::min<size_t>(got, length);
    if (got == 0) {
        if (printer.portType == PORT_TYPE_PARALLEL) {
            const uint32_t replay = std::min<uint32_t>(
                {printer.lastStatusLength, length, static_cast<uint32_t>(kStatusSize)});
            std::copy_n(printer.lastStatus.begin(), replay, buffer);
            length = replay;
            sys.clock().sleepMs(100);
            return true;
        }
        length = 0;
        sys.clock().sleepMs(100);
        return false;
    }
    if (isStatusKind(buffer[0])) {
        sys.clock().sleepMs(150);
        const size_t cached = std::min(got, kStatusSize);
        std::copy_n(buffer, cached, printer.lastStatus.begin());
        printer.lastStatusLength = static_cast<uint32_t>(cached);
    }
    length = static_cast<uint32_t>(got);
    sys.clock().sleepMs(100);
    return true;
}

bool GetPrinterStatusData(platform::Services& sys, platform::DeviceHandle port, uint8_t* buffer,
                          uint32_t& length, bool sendRequest, const uint8_t* request,
                          uint32_t requestLength, PrinterData& printer) {
    if (printer.isZor1Family) {
        return ReadCommandStatus(sys, port, buffer, length, sendRequest, request, requestLength,
                                 printer);
    }
    lineAndBreak(sys, kEntryLine);
    const uint32_t capacity = length;

    lineAndBreak(sys, kBeforeReadLine);
    if (!ReadStatusBytes(sys, port, buffer, length, printer)) {
        length = 0;
        sys.clock().sleepMs(100);
        lineAndBreak(sys, "GetPrinterStatusData - After read command to get status bytes - FAILED");
        return false;
    }
    lineAndBreak(sys, "GetPrinterStatusData - After read command to get status bytes - PASSED");

    // Judged on the buffer, so a short reply is judged on the caller's
    // cleared bytes; never past the caller's capacity.
    if (capacity > 4 && (buffer[4] & 0x20) != 0) {
        sys.clock().sleepMs(100);
        return true;
    }

    lineAndBreak(sys,
                 "GetPrinterStatusData - Printer Not busy "
                 "****************************************************");
    if (!sendRequest) return true;

    sys.clock().sleepMs(100);
    if (!request && requestLength != 0) return false;
    if (!writeRequest(sys, port, request, requestLength)) return false;
    lineAndBreak(sys, kWroteRequestLine);
    sys.clock().sleepMs(100);

    length = capacity;
    if (!ReadStatusBytes(sys, port, buffer, length, printer)) {
        length = 0;
        sys.clock().sleepMs(100);
        return false;
    }
    if (isUnaskedStatus(printer, request, requestLength, buffer, length)) {
        passOverUnaskedStatus(sys, port, buffer, length, capacity, printer);
    }
    lineAndBreak(sys, kReadAfterRequestLine);
    return true;
}

bool PJLMonReadPort(platform::Services& sys, platform::DeviceHandle port, uint8_t* buffer,
                    uint32_t& length, uint32_t awaited) {
    const uint32_t capacity = buffer ? length : 0;
    const uint64_t deadline = sys.clock().tickMs() + kWindowMs;
    uint32_t total = 0;
    while (total < capacity) {
        size_t got = 0;
        // Only the count matters: a failed read brings none.
        (void)sys.deviceIo().read(port, buffer + total, capacity - total, got);
        got = std::min<size_t>(got, capacity - total);
        if (got == 0) {
            if (sys.clock().tickMs() >= deadline) break;
            sys.clock().sleepMs(100);
            continue;
        }
        total += static_cast<uint32_t>(got);
        if (awaited != 0 && total >= awaited) break;
    }
    sys.clock().sleepMs(100);
    length = total;
    return total > 0;
}

bool ReadCommandStatus(platform::Services& sys, platform::DeviceHandle port, uint8_t* buffer,
                       uint32_t& length, bool sendRequest, const uint8_t* request,
                       uint32_t requestLength, PrinterData& printer) {
    lineAndBreak(sys, kEntryLine);
    lineAndBreak(sys, kBeforeReadLine);
    const uint8_t* command = sendRequest ? request : kPlainStatusRequest;
    const uint32_t commandLength =
        sendRequest ? requestLength : static_cast<uint32_t>(sizeof kPlainStatusRequest);

    HwReply reply;
    const HwStep read = readHwReply(sys, port, command, commandLength, reply);
    if (read == HwStep::done && checkHwReply(sys, reply)) {
        length = reply.entry->replyKind == STATUS_KIND_FIRMWARE
                     ? versionReply(sys, reply, buffer, length)
                     : statusReply(sys, port, printer, reply, buffer, length);
        sys.clock().sleepMs(100);
        line(sys, std::string(kReadAfterRequestLine) + kCrLf);
        return true;
    }
    if (read != HwStep::notSent) length = 0;
    return false;
}

bool isPrinterReady(platform::Services& sys, platform::DeviceHandle port, PrinterData& printer) {
    std::array<uint8_t, kStatusReplySize> reply{};
    uint32_t length = kStatusReplySize;
    // A read that brought nothing leaves the buffer zeroed: ready.
    (void)GetPrinterStatusData(sys, port, reply.data(), length, false, nullptr, 0, printer);
    sys.clock().sleepMs(150);
    return reply[3] == 0 && (reply[4] & 0xF4) == 0;
}

}  // namespace kv
