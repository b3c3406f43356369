#include "status/StatusDecoding.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Format.h"
#include "status/StatusExchange.h"

namespace kv {
namespace {

struct HwBit {
    uint8_t mask;
    const char* text;
    uint8_t byte4;  // what the bit sets in the emulated byte 4
};

constexpr std::array<HwBit, 7> kHwBits{{
    {0x01, " - Out Of Paper", 0x00},
    {0x02, " - Head Lever Up", 0x00},
    {0x04, " - Paper Jam", 0x00},
    {0x08, " - Low Paper", 0x01},
    {0x10, " - Busy", 0xA0},
    {0x20, " - Cutter Jam", 0x00},
    {0x40, " - Ticket Not Taken", 0x00},
}};

struct StatusFlag {
    const char* name;
    uint16_t mask;
};

// Diagnostic only, so several names may share a bit.
constexpr std::array<StatusFlag, 16> kStatusFlags{{
    {"DATA_ERROR", 0x40},
    {"DISPOSE_TOGGLE", 0x02},
    {"SYSTEM_NOT_READY", 0x80},
    {"SYSTEM_DIAG_ERROR", 0x40},
    {"MANUAL_DESELECT", 0x20},
    {"OUTPUT_JAM", 0x10},
    {"PAPER_REG_ERROR", 0x08},
    {"CUTTER_JAM", 0x04},
    {"HEAD_LEVER_UP", 0x02},
    {"OUT_OF_PAPER", 0x01},
    {"DOC_IN_PROGRESS", 0x80},
    {"BUSY", 0x20},
    {"PH_TEMP_WAIT", 0x10},
    {"TICKET_NOT_TAKEN", 0x08},
    {"AVG_POWER_WAIT", 0x04},
    {"LOW_PAPER", 0x01},
}};

constexpr uint8_t kFirmwareRequest[] = {0x1B, 0x49, 0x41, 0x05};  // ESC I A 05
constexpr std::string_view kFirmwareKey = ";FWV:V";
constexpr size_t kIdFirmwareMax = 10;
// The text length travels as two digits.
constexpr uint32_t kFieldTextMax = 99;

void setFirmwareText(PrinterStatus& status, std::string_view text) {
    status.firmwareText.fill(0);
    const size_t n = std::min(text.size(), status.firmwareText.size() - 1);
    std::copy_n(text.begin(), n, status.firmwareText.begin());
    status.firmwareTextLength = static_cast<uint32_t>(n);
}

void firmwareFromDeviceId(platform::Services& sys, PrinterStatus& status) {
    const std::string& id = status.printer->deviceId;
    if (id.empty()) return;
    sys.trace().write(
        "ProcessKVStatusStringAddField - No Firmware Version. Getting from PNP string.\r\n");
    const size_t match = id.find(kFirmwareKey);
    if (match == std::string::npos) return;
    const size_t paren = id.find('(', match);
    if (paren == std::string::npos || paren <= match) return;
    const size_t start = match + kFirmwareKey.size() - 1;  // the 'V'
    setFirmwareText(status,
                    std::string_view(id).substr(start, std::min(paren - start, kIdFirmwareMax)));
}

void firmwareFromPrinter(platform::Services& sys, PrinterStatus& status) {
    sys.trace().write(
        "ProcessKVStatusStringAddField - No Firmware Version. Getting from Printer.\r\n");
    std::array<uint8_t, kStatusReplySize> reply{};
    uint32_t length = kStatusReplySize;
    // A failed exchange leaves the length below 6: no text.
    (void)ReadCommandStatus(sys, status.port, reply.data(), length, true, kFirmwareRequest,
                            sizeof kFirmwareRequest, *status.printer);
    if (length <= 5) return;
    const auto* from = reinterpret_cast<const char*>(reply.data()) + 5;
    const size_t available = std::min<size_t>(length, reply.size()) - 5;
    setFirmwareText(status,
                    std::string_view(
                        from, static_cast<size_t>(std::find(from, from + available, '\0') - from)));
}

}  // namespace

bool ProcessHWStatusString(platform::Services& sys, PrinterStatus& status,
                           const uint8_t* statusBytes, uint32_t count) {
    if (!statusBytes || count != 1) {
        sys.trace().write("ProcessHWStatusString - return because not valid status byte\r\n");
        return false;
    }
    sys.trace().write("ProcessHWStatusString - Creating Simple Status String\r\n");
    uint8_t reply[5] = {'S', '0', '0', 0x00, 0x00};
    std::string text = "ProcessHWStatusString - Status String";
    for (const HwBit& bit : kHwBits) {
        if ((statusBytes[0] & bit.mask) == 0) continue;
        text += bit.text;
        reply[4] |= bit.byte4;
    }
    if (reply[4] != 0) {
        sys.trace().write(text);
        sys.trace().write("\r\n");
    }
    return ProcessKVStatusString(sys, status, reply, sizeof reply);
}

bool ProcessKVStatusString(platform::Services& sys, PrinterStatus& status, const uint8_t* reply,
                           uint32_t length) {
    // Fields read bytes 3 and 4 whatever the length; past the end they read 0.
    std::array<uint8_t, 5> head{};
    if (reply) std::copy_n(reply, std::min<uint32_t>(length, head.size()), head.begin());
    platform::tracef(sys.trace(), "ProcessKVStatusString - Status = %2.2X%2.2X\r\n", head[3],
                     head[4]);
    // The kind letter is judged first, from the reply's first byte even
    // when its length says 0.
    if (!reply || !isStatusKind(reply[0])) {
        sys.trace().write("ProcessKVStatusString - return because not S,N,E,C\r\n");
        return false;
    }
    if (length == 0) {
        sys.trace().write("ProcessKVStatusString - return because length = 0\r\n");
        return false;
    }

    const uint16_t bitwise_status = static_cast<uint16_t>((head[3] << 8) | head[4]);
    sys.trace().write(
        "ProcessKVStatusString - Processing bitwise_status to make PrinterStatus.\r\n");
    std::string flags = platform::formatted("ProcessKVStatusString - Bitwise status = 0x%x ",
                                            static_cast<unsigned>(bitwise_status));
    for (const StatusFlag& flag : kStatusFlags) {
        if ((bitwise_status & flag.mask) == 0) continue;
        flags += flag.name;
        flags += ' ';
    }
    sys.trace().write(flags);
    sys.trace().write("\r\n");

    sys.trace().write("ProcessKVStatusString - Generating Status Strings\r\n");
    const auto build = [&](auto& string, uint32_t& stringLength, char kind,
                           std::initializer_list<uint32_t> fields) {
        string.fill(0);
        stringLength = 0;
        string[0] = static_cast<uint8_t>(kind);
        stringLength = 1;
        for (uint32_t field : fields) {
            (void)ProcessKVStatusStringAddField(sys, &status, field, string.data(),
                                                static_cast<uint16_t>(string.size()), &stringLength,
                                                head.data());
        }
    };
    build(status.sString, status.sLength, 'S', {0});
    build(status.nString, status.nLength, 'N', {0, 1});
    build(status.eString, status.eLength, 'E', {0, 1, 5});
    build(status.cString, status.cLength, 'C', {0, 1, 2, 3, 4, 5});
    sys.trace().write("ProcessKVStatusString - Generated Status Strings\r\n");
    return true;
}

bool ProcessKVStatusStringAddField(platform::Services& sys, PrinterStatus* status, uint32_t field,
                                   uint8_t* buffer, uint16_t size, uint32_t* position,
                                   const uint8_t* reply) {
    if (!status || !buffer || !position || size == 0) return false;
    const auto append = [&](const void* bytes, size_t count) {
        if (*position > size || size - *position < count) return false;
        std::memcpy(buffer + *position, bytes, count);
        *position += static_cast<uint32_t>(count);
        return true;
    };
    const auto appendNumber = [&](uint32_t value) {
        const std::string digits = platform::formatted("%02u", value % 100);
        return append(digits.data(), 2);
    };

    if (!appendNumber(field)) return false;
    switch (field) {
        case 0: {
            if (!reply) return false;
            const uint8_t bytes[2] = {reply[3], reply[4]};
            return append(bytes, sizeof bytes);
        }
        case 1: {
            const uint8_t zeros[3] = {};
            return append(zeros, sizeof zeros);
        }
        case 2: return append("00000000", 8);
        case 3: return append("00C", 3);
        case 4: {
            const uint8_t zeros[2] = {};
            return append(zeros, sizeof zeros);
        }
        case 5: {
            if (status->firmwareTextLength == 0 && status->printer) {
                firmwareFromDeviceId(sys, *status);
                if (status->firmwareTextLength == 0) firmwareFromPrinter(sys, *status);
            }
            const uint32_t textLength = std::min(status->firmwareTextLength, kFieldTextMax);
            if (!appendNumber(textLength)) return false;
            return textLength == 0 || append(status->firmwareText.data(), textLength);
        }
        default: return false;
    }
}

}  // namespace kv
