// Status replies as a printer may send them: the plain S/N/E/C reply and
// the ZOR1 family's one status byte, decoded into the four status strings.
#include "emulator/sim/SimDeviceIo.h"
#include "fuzz/FuzzWorld.h"
#include "platform/sim/VirtualClock.h"
#include "status/PrinterStatus.h"
#include "status/StatusDecoding.h"
#include "status/StatusExchange.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    if (size == 0) return 0;
    fuzz::FuzzServices s;
    platform::sim::VirtualClock clock;
    // No printer behind the port: asking it for its version fails.
    emulator::SimDeviceIo io;
    s.sys.wired.clock = &clock;
    s.sys.wired.deviceIo = &io;
    // The first byte picks the decoder; the device ID may follow a NUL.
    const uint8_t mode = data[0];
    std::string_view rest = fuzz::textOf(data + 1, size - 1);
    PrinterData printer;
    const size_t split = rest.find('\0');
    if (mode & 2 && split != std::string_view::npos) {
        printer.deviceId = std::string(rest.substr(split + 1));
        rest = rest.substr(0, split);
    }
    PrinterStatus status;
    status.printer = &printer;
    // As every caller does: a buffer of at least one byte, whatever the
    // length of the reply in it.
    std::vector<uint8_t> buffer(rest.begin(), rest.end());
    if (buffer.empty()) buffer.push_back(0);
    const uint8_t* reply = buffer.data();
    const auto length = static_cast<uint32_t>(rest.size());
    if (mode & 1) {
        (void)ProcessHWStatusString(s.sys, status, reply, length);
    } else {
        (void)ProcessKVStatusString(s.sys, status, reply, length);
    }
    fuzz::require(
        status.sLength <= status.sString.size() && status.nLength <= status.nString.size() &&
        status.eLength <= status.eString.size() && status.cLength <= status.cString.size());
    (void)getStatusTypeCommandArrayIndexHW(reply, length);
    return 0;
}
