#include "app/MainDialog.h"

#include "platform/DialogItemIds.h"
#include "app/AutoLoad.h"
#include "app/HistoryCommand.h"
#include "app/HistoryTable.h"
#include "app/Startup.h"
#include "flash/LocalFlash.h"
#include "flash/Selection.h"
#include "link/Ethernet.h"
#include "link/local/LocalHandles.h"
#include "platform/DeviceIo.h"
#include "printer/discovery/Discovery.h"
#include "printer/discovery/EthernetDiscovery.h"
#include "printer/discovery/ProgramControls.h"
#include "status/StatusExchange.h"

namespace kv {

using platform::Control;
namespace ids = dialog;

namespace {

constexpr size_t kTitleLimit = 1023;

// The fields' texts live in these buffers; the dialog item id says which.
std::string* addressBuffer(AppState& s, int id) {
    switch (id) {
        case ids::kIpOctet1: return &s.ipAddressText[0];
        case ids::kIpOctet2: return &s.ipAddressText[1];
        case ids::kIpOctet3: return &s.ipAddressText[2];
        case ids::kIpOctet4: return &s.ipAddressText[3];
        case ids::kPortEdit: return &s.portNumberText;
        default: return nullptr;
    }
}

}  // namespace

bool MainDialog::ethernetPrinterSelected() const {
    return ethernetFoundReady_ && ctx_.state.activePortType == PORT_TYPE_ETHERNET;
}

void MainDialog::onInit() {
    AppState& s = ctx_.state;
    platform::DialogControls& c = ctx_.controls();
    s.printerData = PrinterData{};
    disableProgramControls(c);
    s.ipAddressText = {"192", "168", "0", "1"};
    s.portNumberText = "10001";
    c.setText(Control::ipOctetEdit1, s.ipAddressText[0]);
    c.setText(Control::ipOctetEdit2, s.ipAddressText[1]);
    c.setText(Control::ipOctetEdit3, s.ipAddressText[2]);
    c.setText(Control::ipOctetEdit4, s.ipAddressText[3]);
    c.setText(Control::portEdit, s.portNumberText);
    s.printerCount = 0;
    c.show(Control::flashButton, false);
    if (!s.autoLoadMode && host_.hasFleetWindow()) c.show(Control::networkPrintersButton, true);
    if (s.autoLoadMode) {
        host_.startTimer(ids::kAutoLoadTimer, ids::kAutoLoadDelayMs);
        std::string title = host_.title().substr(0, kTitleLimit);
        if (!title.empty()) {
            title += "Auto Load (";
            title += s.autoLoadFileName;
            title += ") ";
            host_.setTitle(title);
        }
    }
}

void MainDialog::onTimer(int id) {
    applyPendingEdits();
    if (id == ids::kFlashEndTimer) {
        watchFlashFlag();
        return;
    }
    if (id != ids::kAutoLoadTimer) return;
    host_.stopTimer(ids::kAutoLoadTimer);
    if (ctx_.state.autoLoadMode) runAutoLoadSearch();
}

void MainDialog::watchFlashFlag() {
    host_.stopTimer(ids::kFlashEndTimer);
    const bool flag = ctx_.state.flashInProgress;
    if (!flag) {
        ownFlash_ = false;
        if (flagSeen_) ctx_.controls().enable(Control::networkPrintersButton, true);
    }
    flagSeen_ = flag;
    // Another window's run: what would do nothing here looks it.
    const bool hold = flag && !ownFlash_;
    if (hold != refusedHeld_) {
        refusedHeld_ = hold;
        for (Control c : kRefusedWhileFlashing) ctx_.controls().hold(c, hold);
    }
    if (flag || host_.fleetWindowOpen()) {
        host_.startTimer(ids::kFlashEndTimer, ids::kFlashEndPollMs);
    }
}

void MainDialog::runAutoLoadSearch() {
    platform::DialogControls& c = ctx_.controls();
    ctx_.trace().write("WM_INITDIALOG - Calling refreshPrinterList");
    c.enable(Control::findPrinterButton, false);
    c.setText(Control::statusText, "Searching for printers");
    c.show(Control::flashButton, false);
    c.show(Control::helpButton, false);
    c.show(Control::selectFileButton, false);
    searchAndLoadAutomatically(ctx_, ctx_.state.printerData);
    c.enable(Control::findPrinterButton, true);
    ctx_.trace().write("WM_INITDIALOG - After calling refreshPrinterList");
}

void MainDialog::onCommand(int id) {
    applyPendingEdits();
    switch (id) {
        case ids::kExit:
        case ids::kCancel: exitOrRefuse(id); break;
        case ids::kFlash: flash(); break;
        case ids::kFindPrinter: findPrinter(); break;
        case ids::kReadyCheck: readyCheck(); break;
        case ids::kSelectFile: selectFile(); break;
        case ids::kFindEthernet: findEthernet(); break;
        case ids::kHelp: platform::box(ctx_.ui(), kHelpCaption, kHelpText); break;
        // Only reads the file: allowed while a flash runs.
        case ids::kHistory:
            if (host_.showsHistoryTable()) {
                host_.showHistory(historyView(ctx_.sys));
            } else {
                ctx_.ui().showReport(kHistoryCaption, historyReport(ctx_.sys));
            }
            break;
        case ids::kNetworkPrinters: openFleetWindow(); break;
        default: break;
    }
}

void MainDialog::flash() {
    // Whatever went wrong was shown; a worker ends on its own.
    if (!FlashPrinterNow(ctx_, ctx_.controls(), ctx_.state.printerData)) return;
    if (!host_.hasFleetWindow()) return;
    ownFlash_ = flagSeen_ = true;
    ctx_.controls().enable(Control::networkPrintersButton, false);
    host_.startTimer(ids::kFlashEndTimer, ids::kFlashEndPollMs);
}

void MainDialog::openFleetWindow() {
    // One flash at a time on this machine: a fleet run also holds the flag,
    // and its window is already open then.
    if (ctx_.state.flashInProgress || ctx_.state.autoLoadMode || !host_.hasFleetWindow()) return;
    // Watched from before it opens: a native window's loop runs inside.
    host_.startTimer(ids::kFlashEndTimer, ids::kFlashEndPollMs);
    host_.openFleetWindow();
}

void MainDialog::exitOrRefuse(int id) {
    if (ctx_.state.flashInProgress) {
        platform::box(ctx_.ui(), kCannotExitText);
        return;
    }
    host_.stopTimer(ids::kAutoLoadTimer);
    ClearInstanceMutex(ctx_);
    ended_ = true;
    result_ = id;
    host_.endDialog(id);
    ctx_.ui().postQuit(0);
}

void MainDialog::findPrinter() {
    AppState& s = ctx_.state;
    if (s.autoLoadMode) {
        host_.startTimer(ids::kAutoLoadTimer, ids::kAutoLoadDelayMs);
        return;
    }
    platform::DialogControls& c = ctx_.controls();
    c.enable(Control::findPrinterButton, false);
    const bool searched = !s.flashInProgress;
    refreshPrinterList(ctx_, s.printerData);
    c.enable(Control::findPrinterButton, true);
    if (!searched) return;
    // A new local search sets the local rules again; with no local printer
    // the Ethernet road opens.
    ethernetFoundReady_ = false;
    if (s.printerCount == 0) enableEthernetGroup();
}

void MainDialog::enableEthernetGroup() {
    platform::DialogControls& c = ctx_.controls();
    for (Control e : {Control::ethernetGroup, Control::findEthernetButton, Control::ipAddressLabel,
                      Control::ethernetPortLabel, Control::ipOctetEdit1, Control::ipOctetEdit2,
                      Control::ipOctetEdit3, Control::ipOctetEdit4, Control::portEdit}) {
        c.show(e, true);
        c.enable(e, true);
    }
}

void MainDialog::readyCheck() {
    AppState& s = ctx_.state;
    // Opening the printer while a worker streams to it would interleave
    // with the image.
    if (s.flashInProgress) return;
    platform::DeviceIo& io = ctx_.sys.deviceIo();
    // No printer leaves an invalid handle, which reads as not ready.
    (void)GetPrinterHandle(ctx_, s.printerHandle, s.printerData);
    if (!isPrinterReady(ctx_.sys, s.printerHandle, s.printerData)) {
        platform::box(ctx_.ui(), "Not Ready");
    }
    if (s.printerHandle.valid()) io.close(s.printerHandle);
    s.printerHandle = platform::DeviceHandle::invalid();
}

void MainDialog::selectFile() {
    AppState& s = ctx_.state;
    if (s.flashInProgress) return;
    if (s.printerCount == 1 || ethernetPrinterSelected()) {
        SelectFirmwareFile(ctx_);
    } else {
        platform::box(ctx_.ui(), "Error", "KV printer not selected");
    }
}

void MainDialog::findEthernet() {
    AppState& s = ctx_.state;
    // The flash worker may be streaming on ethernetSocket: closing it here
    // would cut the image off.
    if (s.flashInProgress) return;
    closeSocket(ctx_.sys, s.ethernetSocket);
    ethernetFoundReady_ = findEthernetPrinter(ctx_, ctx_.controls(), s.printerData);
}

void MainDialog::onEditChanged(int id, const std::string& text) {
    std::string* buffer = addressBuffer(ctx_.state, id);
    if (!buffer) return;
    const std::string firstLine = text.substr(0, text.find_first_of("\r\n"));
    const std::string fitted = fitField(firstLine, kAddressTextSize);
    ctx_.trace().write(fitted);
    // An Ethernet worker reads the address for its re-probe: the text waits
    // for the next event after the flash.
    if (ctx_.state.flashInProgress) {
        pendingEdits_[id] = fitted;
        return;
    }
    pendingEdits_.erase(id);
    *buffer = fitted;
}

void MainDialog::applyPendingEdits() {
    if (pendingEdits_.empty() || ctx_.state.flashInProgress) return;
    for (const auto& [id, text] : pendingEdits_) *addressBuffer(ctx_.state, id) = text;
    pendingEdits_.clear();
}

void MainDialog::onOptionSelected(int index) {
    platform::DialogControls& c = ctx_.controls();
    c.setText(Control::flashButton, "");
    c.enable(Control::flashButton, true);
    PrinterData& pd = ctx_.state.printerData;
    const bool second = index == 1;
    if (isLogicBdIOrII(pd.boardCode)) {
        pd.modeSelection = second ? 2 : 1;
    } else {
        pd.modeSelection = second ? 3 : 1;
    }
}

}  // namespace kv
