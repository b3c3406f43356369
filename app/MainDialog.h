#pragma once
#include <array>
#include <map>
#include <string>

#include "state/Context.h"
#include "app/DialogEvents.h"
#include "app/DialogHost.h"
#include "platform/DialogItemIds.h"

namespace kv {

namespace dialog {
// The one-shot timer of the automatic-load search.
inline constexpr int kAutoLoadTimer = 1;
inline constexpr unsigned kAutoLoadDelayMs = 100;
// While the machine's flash flag is held or the network printers' window is
// open: the controls that refuse meanwhile show it, and after the dialog's
// own flash the Network Printers button comes back.
inline constexpr int kFlashEndTimer = 2;
inline constexpr unsigned kFlashEndPollMs = 250;
}  // namespace dialog

inline constexpr const char* kCannotExitText = "Cannot exit while printer FW is being updated";
inline constexpr const char* kHelpCaption =
    "........................ Help information ....................";
inline constexpr const char* kHelpText =
    "1 - Click Find Printer .....\r\n"
    "  If application reports more than 1 printer connected\r\n"
    "  disconnect or power off printers that are not going to be flashed.\r\n"
    "\n"
    "2 - Click Select firmware file .. navigate to directory containing\r\n"
    "    bin file and click on file proper bin file.\r\n"
    "    Application will determine if selected flash file is correct for printer.\r\n"
    "\n"
    "3 - Click Flash Printer Now.\r\n"
    "\n"
    "4 - Wait till flash update is complete, verify new version number.";

// The controls whose commands do nothing while the machine's one flash flag
// is held: shown disabled while a network printers' run holds it.
inline constexpr std::array<platform::Control, 5> kRefusedWhileFlashing{
    platform::Control::findPrinterButton,     platform::Control::findEthernetButton,
    platform::Control::selectFileButton,      platform::Control::flashButton,
    platform::Control::networkPrintersButton,
};

// The main dialog's behaviour, free of any toolkit: a front end forwards
// its events here and renders what this changes through the controls, the
// host and the Ui of the context.
class MainDialog final : public DialogEvents {
public:
    MainDialog(Context& ctx, DialogHost& host) : ctx_(ctx), host_(host) {}

    void onInit() override;
    void onTimer(int id) override;
    void onCommand(int id) override;
    void onEditChanged(int id, const std::string& text) override;
    void onOptionSelected(int index) override;

    bool ended() const { return ended_; }
    int result() const { return result_; }
    // True when the last Find Ethernet Printer found a ready printer and
    // the Ethernet link is still the active one.
    bool ethernetPrinterSelected() const;

private:
    void exitOrRefuse(int id);
    void findPrinter();
    void readyCheck();
    void selectFile();
    void findEthernet();
    void runAutoLoadSearch();
    void enableEthernetGroup();
    void applyPendingEdits();
    void flash();
    void openFleetWindow();
    void watchFlashFlag();

    Context& ctx_;
    DialogHost& host_;
    bool ended_ = false;
    int result_ = 0;
    bool ethernetFoundReady_ = false;
    // The flag is held by the dialog's own flash, not by another window.
    bool ownFlash_ = false;
    // The flag was held at the last look, or the own flash disabled the
    // Network Printers button: it comes back once the flag is free.
    bool flagSeen_ = false;
    bool refusedHeld_ = false;
    // Address text typed while a worker may read the address, by item id.
    std::map<int, std::string> pendingEdits_;
};

}  // namespace kv
