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
        const std::vector<uint8_t> unasked(buffer, buffer + length);
        uint32_t again = capacity;
        if (ReadStatusBytes(sys, port, buffer, again, printer)) {
            length = again;
        } else {
            // Nothing behind it: it stays the answer, as before.
            std::copy(unasked.begin(), unasked.end(), buffer);
        }
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
    PrinterStatus status;
    status.port = port;
    status.printer = &printer;

    const uint8_t* command = sendRequest ? request : kPlainStatusRequest;
    const uint32_t commandLength =
        sendRequest ? requestLength : static_cast<uint32_t>(sizeof kPlainStatusRequest);
    const int row = getStatusTypeCommandArrayIndexHW(command, commandLength);
    if (row < 0) {
        length = 0;
        sys.clock().sleepMs(100);
        line(sys, "ReadCommandStatus - getStatusTypeCommandArrayIndexHW - Unsupported Command\r\n");
        return false;
    }
    const StatusTypeCommandHW& entry = statusTypeCommandArrayHW[static_cast<size_t>(row)];

    line(sys, "ReadCommandStatus - Valid specific status command string\r\n");
    if (!writeRequest(sys, port, entry.request.data(), entry.requestLength)) return false;
    lineAndBreak(sys, kWroteRequestLine);

    line(sys, "ReadCommandStatus - Get Status, Specific or HeartBeat\r\n");
    std::array<uint8_t, kStatusReplySize> reply{};
    uint32_t held = kStatusReplySize;
    if (!PJLMonReadPort(sys, port, reply.data(), held, entry.replyLength)) {
        sys.clock().sleepMs(500);
        line(sys, "ReadCommandStatus - BAD ERROR Re-read due to error\r\n");
        line(sys, "ReadCommandStatus - Trying again\r\n");
        held = kStatusReplySize;
        if (!PJLMonReadPort(sys, port, reply.data(), held, entry.replyLength)) {
            length = 0;
            return false;
        }
    }

    uint32_t skipped = 0;
    if (!entry.binaryAllowed) {
        while (skipped < held && !isPrintable(reply[skipped])) {
            const bool pair =
                reply[skipped] == 0xAA && skipped + 1 < held && reply[skipped + 1] == 0x55;
            skipped += pair ? 2 : 1;
        }
        if (skipped > 0) {
            line(sys, "ReadCommandStatus - Invalid Binary data found - Trying again....\r\n");
            // Gather only what is still missing after the skipped bytes: a
            // reply whose characters came with the AA 55 pair is complete.
            const uint32_t usable = held - skipped;
            if (usable < entry.replyLength) {
                uint32_t more = kStatusReplySize - held;
                if (!PJLMonReadPort(sys, port, reply.data() + held, more,
                                    entry.replyLength - usable)) {
                    length = 0;
                    return false;
                }
                held += more;
            }
            if (!isPrintable(reply[skipped])) {
                line(sys, "ReadCommandStatus - Invalid Binary data found - Giving UP....\r\n");
                length = 0;
                return false;
            }
        }
    }
    const uint8_t* data = reply.data() + skipped;
    const uint32_t dataLength = held - skipped;

    line(sys,
         "ReadCommandStatus - Good read in PJLMonReadPort so setting goodCommWithPrinter\r\n");
    platform::tracef(sys.trace(), "ReadCommandStatus - characters to read = %d, actually read = %d\r\n",
                     static_cast<int>(entry.replyLength), static_cast<int>(dataLength));

    if (entry.replyKind != STATUS_KIND_FIRMWARE) {
        if (dataLength != entry.replyLength) {
            platform::tracef(sys.trace(),
                             "ReadCommandStatus - INVALID PRINTER STATUS LENGTH - characters to "
                             "read = %d, actually read = %d\r\n",
                             static_cast<int>(entry.replyLength), static_cast<int>(dataLength));
            length = 0;
            sys.clock().sleepMs(100);
            return false;
        }
        (void)ProcessHWStatusString(sys, status, data, dataLength);
        const uint8_t* chosen = status.sString.data();
        uint32_t chosenLength = status.sLength;
        switch (entry.replyKind) {
            case STATUS_KIND_N: chosen = status.nString.data(); chosenLength = status.nLength; break;
            case STATUS_KIND_E: chosen = status.eString.data(); chosenLength = status.eLength; break;
            case STATUS_KIND_C: chosen = status.cString.data(); chosenLength = status.cLength; break;
            default: break;
        }
        const uint32_t copied = buffer ? std::min(chosenLength, length) : 0;
        std::copy_n(chosen, copied, buffer);
        length = copied;
        sys.clock().sleepMs(100);
        std::copy_n(chosen, copied, printer.lastStatus.begin());
        printer.lastStatusLength = copied;
        line(sys, std::string(kReadAfterRequestLine) + kCrLf);
        return true;
    }

    if (dataLength != 4) {
        platform::tracef(sys.trace(),
                         "ReadCommandStatus - INVALID FIRMWARE VERSION LENGTH - characters to "
                         "read = %d, actually read = %d\r\n",
                         static_cast<int>(entry.replyLength), static_cast<int>(dataLength));
        length = 0;
        sys.clock().sleepMs(100);
        return false;
    }
    char version[5] = {};
    std::memcpy(version, data, 4);
    const std::string text =
        platform::formatted("A05%02dV%s", static_cast<int>(dataLength + 1), version);
    const uint32_t textLength = static_cast<uint32_t>(std::strlen(text.c_str()));
    const uint32_t stored = (buffer && length > 0) ? std::min(textLength, length - 1) : 0;
    if (buffer && length > 0) {
        std::memcpy(buffer, text.data(), stored);
        buffer[stored] = 0;
    }
    length = stored;
    platform::tracef(sys.trace(), "ReadCommandStatus - VALID FIRMWARE VERSION (Length: %d) - '%s'\r\n",
                     static_cast<int>(stored),
                     platform::escapeDeviceText(std::string_view(text.data(), stored)).c_str());
    sys.clock().sleepMs(100);
    line(sys, std::string(kReadAfterRequestLine) + kCrLf);
    return true;
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
