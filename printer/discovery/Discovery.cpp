#include "printer/discovery/Discovery.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "link/Usb.h"
#include "link/UsbConfig.h"
#include "link/local/LocalHandles.h"
#include "platform/DeviceIo.h"
#include "platform/Network.h"
#include "printer/Identity.h"
#include "printer/discovery/ProgramControls.h"
#include "spooler/PortRedirection.h"
#include "status/StatusExchange.h"

namespace kv {
namespace {

using platform::Control;

constexpr const char* kCrLf = "\r\n";
// The system's own separator line here, slash and all.
constexpr const char* kSlashBreak = "/r/n";
constexpr size_t kBorderLength = 57;
// The firmware text of a C status reply starts at its 34th byte.
constexpr size_t kCurrentVersionOffset = 33;
constexpr uint32_t kReadyCheckPauseMs = 100;
constexpr std::array<uint8_t, 3> kStatusRequestC{0x1B, 0x49, 0x43};  // ESC I C

// Bounded concatenation into a text of `size` bytes (terminator included).
void appendBounded(std::string& text, std::string_view more, size_t size) {
    const size_t room = size == 0 ? 0 : size - 1;
    if (text.size() >= room) return;
    text.append(more.substr(0, room - text.size()));
}

// Ends the use of the socket library, where the system has one.
void endSockets(Context& ctx) {
    if (ctx.sys.wired.network) ctx.sys.wired.network->cleanup();
}

// The local printers' queues go back, and the program is asked to end.
void giveUp(Context& ctx) {
    RestorePortsToOriginal(ctx.sys, ctx.state);
    endSockets(ctx);
    ctx.ui().postQuit(0);
}

int countUsbPrinters(Context& ctx, std::string& foundText, size_t foundTextSize) {
    platform::Trace& trace = ctx.trace();
    std::vector<std::string> paths;
    paths.reserve(kUsbPathSlots);
    (void)EnumerateUSBDevicePaths(ctx.sys, kKvUsbVendorTable.data(),
                                  static_cast<uint8_t>(kKvUsbVendorTable.size()), &paths,
                                  kUsbPathSlots, false);
    int count = 0;
    for (size_t i = 0; i < paths.size() && i < kUsbPathSlots; ++i) {
        const std::string& path = paths[i];
        if (path.empty()) break;
        std::string name;
        (void)GetPrinterPNPString(ctx.sys, path.c_str(), kKvUsbVendorId, name, kPrinterNameLength,
                                  nullptr);
        if (name.empty()) continue;
        const platform::DeviceHandle probe =
            ctx.sys.deviceIo().open(path, platform::ShareMode::Shared);
        if (!probe.valid()) {
            trace.write("Did not find KV USB printer\r\n");
            continue;
        }
        ctx.sys.deviceIo().close(probe);
        ++count;
        appendBounded(foundText, name, foundTextSize);
        appendBounded(foundText, " USB connected\r\n", foundTextSize);
    }
    return count;
}

int countParallelPrinters(Context& ctx, std::string& foundText, size_t foundTextSize) {
    static constexpr std::array<const char*, 3> kFound{"Found a printer on LPT1:\r\n",
                                                       "Found a printer on LPT2:\r\n",
                                                       "Found a printer on LPT3:\r\n"};
    static constexpr std::array<const char*, 3> kNotFound{
        "Did not find a printer on LPT1:", "Did not find  a printer on LPT2:",
        "Did not find  a printer on LPT3:"};

    platform::Trace& trace = ctx.trace();
    PrinterData& probeData = ctx.state.probeData;
    int count = 0;
    for (int n = 1; n <= 3; ++n) {
        const size_t at = static_cast<size_t>(n - 1);
        platform::DeviceHandle probeHandle;
        if (!IsPrinterPARALLEL(ctx.sys, probeHandle, n, probeData)) {
            trace.write(kNotFound[at]);
            trace.write(kCrLf);
            continue;
        }
        trace.write(kFound[at]);
        if (!GetPrinterID(ctx.sys, probeHandle, probeData)) {
            platform::box(ctx.ui(), "GetPrinterID - Failed");
            trace.write("GetPrinterID - Failed");
            trace.write(kCrLf);
        } else {
            trace.write("GetPrinterID - Passed\r\n");
            if (!GetPrinterTypeNameFromID(ctx.ui(), probeData)) {
                platform::box(ctx.ui(), "GetPrinterTypeNameFromID - Failed");
                trace.write("GetPrinterTypeNameFromID - Failed");
                trace.write(kCrLf);
            } else {
                trace.write("GetPrinterTypeNameFromID - Passed\r\n");
                trace.write(platform::escapeDeviceText(probeData.typeName));
                trace.write(kCrLf);
                appendBounded(foundText, probeData.typeName, foundTextSize);
                appendBounded(foundText, " PARALLEL connected\r\n", foundTextSize);
                ++count;
            }
        }
        ctx.sys.deviceIo().close(probeHandle);
    }
    return count;
}

// Ready when the second check, or else the third, says so; the first
// check's answer does not count.
bool readyAfterChecks(Context& ctx, platform::DeviceHandle handle, PrinterData& printer) {
    (void)isPrinterReady(ctx.sys, handle, printer);
    ctx.clock().sleepMs(kReadyCheckPauseMs);
    if (isPrinterReady(ctx.sys, handle, printer)) return true;
    ctx.clock().sleepMs(kReadyCheckPauseMs);
    return isPrinterReady(ctx.sys, handle, printer);
}

// The version the printer reports now, from a C status reply; nothing when
// the exchange failed.
std::optional<std::string> currentVersionByStatus(Context& ctx, platform::DeviceHandle handle,
                                                  PrinterData& printer) {
    std::array<uint8_t, kStatusReplySize> reply{};
    uint32_t length = kStatusReplySize;
    const bool ok =
        GetPrinterStatusData(ctx.sys, handle, reply.data(), length, true, kStatusRequestC.data(),
                             static_cast<uint32_t>(kStatusRequestC.size()), printer);
    const size_t received = std::min<size_t>(length, kStatusReplySize - 1);
    reply[received] = 0;
    if (!ok) return std::nullopt;
    const char* text = reinterpret_cast<const char*>(reply.data()) + kCurrentVersionOffset;
    return fitField(std::string_view(text), kPrinterTextSize);
}

void probeTheOnePrinter(Context& ctx, platform::DialogControls& controls, PrinterData& printer,
                        bool& quitPosted) {
    platform::DeviceHandle& handle = ctx.state.printerHandle;
    ProbeReading& reading = ctx.state.lastProbe;
    reading = ProbeReading{};
    // Without a printer the ID query below fails and says so.
    (void)GetPrinterHandle(ctx, handle, printer);
    if (!GetPrinterID(ctx.sys, handle, printer)) {
        platform::box(ctx.ui(), "Cannot find attached KV printer, exiting ");
        giveUp(ctx);
        quitPosted = true;
        // The record still holds an earlier printer's ID: showing it would
        // put another printer's identity in the fields.
        if (handle.valid()) ctx.sys.deviceIo().close(handle);
        return;
    }

    // A missing model key has shown its box; the fields show what there is.
    (void)GetPrinterTypeNameFromID(ctx.ui(), printer);
    controls.setText(Control::printerModelText, printer.typeName);
    GetPortTypeName(printer, ctx.state.activePortType, ctx.state.parallelPortName);
    controls.setText(Control::portText, printer.portName);
    GetFirmwareVersionFromID(ctx.ui(), printer);
    controls.setText(Control::currentVersionText, printer.firmwareVersion);
    reading.identified = true;
    reading.version = reportedVersion(printer);

    const LanguageText language = languageTextLocal(printer.printerType, printer.boardCode);
    controls.setText(Control::languageText, language.text);
    if (language.enablesOptionList) controls.enable(Control::optionList, true);
    if (const auto board = logicBoardTextLocal(printer.boardCode)) {
        controls.setText(Control::logicBoardText, *board);
    }

    if (printer.boardCode == LogicBoard::Zor1xUnsupported) {
        disableProgramControls(controls);
        controls.setText(Control::statusText, "Found Printer - Printer NOT SUPPORTED");
    } else if (readyAfterChecks(ctx, handle, printer)) {
        controls.setText(Control::statusText, "Found Printer - Printer ready..");
        openProgramControls(controls);
        if (const auto version = currentVersionByStatus(ctx, handle, printer)) {
            controls.setText(Control::currentVersionText, *version);
            // The ID's own version is the fuller one (a ZOR1 printer's status
            // emulation keeps four characters); the reply stands in where the
            // ID carries none, as a parallel port's does on Linux.
            if (!reading.version && !version->empty()) reading.version = *version;
        }
    } else {
        disableProgramControls(controls);
        controls.setText(Control::statusText, "Found Printer - Printer NOT ready");
    }

    ctx.sys.deviceIo().close(handle);
    for (Control c : kEthernetControlsHideOrder) controls.show(c, false);
}

}  // namespace

int CountConnectedKVPrinters(Context& ctx, std::string& foundText, size_t foundTextSize) {
    platform::Trace& trace = ctx.trace();
    const std::string border(kBorderLength, '+');
    foundText.clear();
    appendBounded(foundText, kCrLf, foundTextSize);
    trace.write("CountConnectedKVPrinters entry - " + border);
    trace.write(kCrLf);

    int count = countUsbPrinters(ctx, foundText, foundTextSize);
    trace.write("After USB test ...................\r\n");
    count += countParallelPrinters(ctx, foundText, foundTextSize);

    trace.write("CountConnectedKVPrinters exit - " + border);
    trace.write(kCrLf);
    return count;
}

bool refreshPrinterData(Context& ctx, platform::DialogControls& controls, PrinterData& printer) {
    platform::Trace& trace = ctx.trace();
    trace.write("refreshPrinterData - Entry");
    trace.write(kSlashBreak);
    controls.enable(Control::optionList, false);
    if (FlashSteps* steps = ctx.state.flashSteps) steps->began(FlashStep::Identifying);
    controls.setText(Control::statusText, "Probing for printers");
    controls.show(Control::optionList, false);

    bool quitPosted = false;
    if (!SetPortsToFile(ctx.sys, ctx.state)) {
        giveUp(ctx);
        quitPosted = true;
    }

    const int32_t count = ctx.state.printerCount;
    if (count == 1) {
        probeTheOnePrinter(ctx, controls, printer, quitPosted);
    } else if (count != 0) {
        controls.setText(Control::statusText, "2 or more KV printers found!!!");
    } else {
        controls.setText(Control::statusText, "Did not find printer");
        platform::box(ctx.ui(),
                      "refreshPrinterData - Did not find connected KV printer, may be Ethernet "
                      "connected");
        for (Control c : kEthernetControlsEnableOrder) controls.enable(c, true);
    }
    return !quitPosted;
}

void refreshPrinterList(Context& ctx, PrinterData& printer, const AutomaticLoad& automaticLoad) {
    AppState& state = ctx.state;
    if (state.flashInProgress) return;
    platform::DialogControls& controls = ctx.controls();
    platform::Trace& trace = ctx.trace();

    controls.setText(Control::statusText, "Counting attached printers");
    std::string foundText;
    state.printerCount = CountConnectedKVPrinters(ctx, foundText, kFoundTextSize);

    if (state.printerCount == 1) {
        controls.setText(Control::statusText, "Getting printer parameters");
        trace.write("WM_INITDIALOG - Calling refreshPrinterData");
        trace.write(kSlashBreak);
        const bool goOn = refreshPrinterData(ctx, controls, printer);
        trace.write("WM_INITDIALOG - After calling refreshPrinterData");
        trace.write(kSlashBreak);

        const bool workerStarted = automaticLoad && automaticLoad(goOn);
        // A running worker still streams to the printer; its ending puts
        // the queues back.
        if (!workerStarted) RestorePortsToOriginal(ctx.sys, state);
        if (!automaticLoad) controls.show(Control::flashButton, false);
        return;
    }

    if (state.printerCount > 1) {
        std::string text =
            "Error! - This tool cannot manage more than 1 connected KV printer\r\n"
            "Please disconnect printers as required\r\n\n"
            "KV printers found\r\n";
        text += foundText;
        platform::box(ctx.ui(), "More than 1 KV printers found", text);
        controls.setText(Control::statusText, "More than 1 KV printer attached");
        return;
    }

    platform::box(ctx.ui(), "Error", "KV printer not found, please connect KV printer");
    controls.setText(Control::statusText, "KV printer not found");
}

}  // namespace kv
