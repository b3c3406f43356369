#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "app/MainDialog.h"
#include "tests/discovery/DiscoveryWorld.h"
#include "tests/support/LoopbackPrinter.h"
#include "ui/template/DialogTemplate.h"

namespace kv {
namespace {

using platform::Control;
using testing::DiscoveryWorld;
namespace ids = dialog;

// The window as the dialog sees it: a title and one timer.
class FakeHost final : public DialogHost {
public:
    bool hasFleetWindow() const override { return fleetWindow; }
    void openFleetWindow() override { ++fleetWindowOpened; }
    bool fleetWindow = false;
    int fleetWindowOpened = 0;
    std::string title() override { return title_; }
    void setTitle(const std::string& t) override { title_ = t; }
    void startTimer(int id, unsigned ms) override {
        timers[id] = ms;
        ++starts;
    }
    void stopTimer(int id) override { timers.erase(id); }
    void endDialog(int result) override { endedWith = result; }

    std::string title_ = ui::mainDialogFrame().title;
    std::map<int, unsigned> timers;
    int starts = 0;
    std::optional<int> endedWith;
};

struct DialogWorld : DiscoveryWorld {
    FakeHost host;
    MainDialog dialog{ctx, host};
    DialogWorld() { dialog.onInit(); }
    std::optional<platform::sim::ScriptedUi::Box> lastBox() const {
        auto boxes = ui.boxes();
        if (boxes.empty()) return std::nullopt;
        return boxes.back();
    }
};

TEST(MainDialog, StartState) {
    DialogWorld w;
    EXPECT_FALSE(w.controls.visible(Control::flashButton));
    for (Control c :
         {Control::flashButton, Control::programStatusText, Control::programStateText,
          Control::programGroup, Control::programStateLabel, Control::programStatusLabel}) {
        EXPECT_FALSE(w.controls.enabled(c)) << platform::controlName(c);
    }
    EXPECT_EQ(w.controls.text(Control::ipOctetEdit1), "192");
    EXPECT_EQ(w.controls.text(Control::ipOctetEdit2), "168");
    EXPECT_EQ(w.controls.text(Control::ipOctetEdit3), "0");
    EXPECT_EQ(w.controls.text(Control::ipOctetEdit4), "1");
    EXPECT_EQ(w.controls.text(Control::portEdit), "10001");
    EXPECT_EQ(w.state.ipAddressText, (std::array<std::string, 4>{"192", "168", "0", "1"}));
    EXPECT_EQ(w.state.portNumberText, "10001");
    EXPECT_EQ(w.state.printerCount, 0);
    EXPECT_TRUE(w.host.timers.empty());
    EXPECT_EQ(w.host.title_, "V4.0.2.2 09/28/2022  Corbelline Firmware Updater");
}

TEST(MainDialog, SelectWithoutExactlyOnePrinterIsRefused) {
    DialogWorld w;
    w.dialog.onCommand(ids::kSelectFile);  // before any search
    ASSERT_TRUE(w.lastBox());
    EXPECT_EQ(w.lastBox()->caption, "Error");
    EXPECT_EQ(w.lastBox()->text, "KV printer not selected");
    EXPECT_TRUE(w.ui.fileRequests().empty());

    // Two printers counted: still refused.
    w.plugUsb(w.model(emulator::LinkKind::Usb));
    w.plugParallel("LPT1:", w.model(emulator::LinkKind::Parallel));
    w.dialog.onCommand(ids::kFindPrinter);
    EXPECT_EQ(w.state.printerCount, 2);
    w.ui.clear();
    w.dialog.onCommand(ids::kSelectFile);
    EXPECT_EQ(w.lastBox()->text, "KV printer not selected");
    EXPECT_TRUE(w.ui.fileRequests().empty());
}

TEST(MainDialog, OneLocalPrinterCanBeSelected) {
    DialogWorld w;
    w.plugUsb(w.model(emulator::LinkKind::Usb));
    w.dialog.onCommand(ids::kFindPrinter);
    EXPECT_EQ(w.state.printerCount, 1);
    EXPECT_TRUE(w.controls.enabled(Control::findPrinterButton));
    w.ui.queueFile("/fw/FMVQ_V5.20.bin");
    w.dialog.onCommand(ids::kSelectFile);
    ASSERT_EQ(w.ui.fileRequests().size(), 1u);
    EXPECT_EQ(w.state.firmwareFileName, "/fw/FMVQ_V5.20.bin");
    EXPECT_TRUE(w.controls.visible(Control::flashButton));
    EXPECT_TRUE(w.controls.enabled(Control::flashButton));
    EXPECT_EQ(w.controls.text(Control::flashButton), "Flash Printer NOW");
}

TEST(MainDialog, ExitAndCancelRefusedWhileFlashing) {
    for (int id : {ids::kExit, ids::kCancel}) {
        DialogWorld w;
        w.state.flashInProgress = true;
        w.dialog.onCommand(id);
        ASSERT_TRUE(w.lastBox());
        EXPECT_FALSE(w.lastBox()->caption.has_value());
        EXPECT_EQ(w.lastBox()->text, "Cannot exit while printer FW is being updated");
        EXPECT_FALSE(w.dialog.ended());
        EXPECT_FALSE(w.host.endedWith);
        EXPECT_FALSE(w.ui.quitCode());
        EXPECT_EQ(w.simLock.releases, 0);
        w.state.flashInProgress = false;
        w.dialog.onCommand(id);
        EXPECT_TRUE(w.dialog.ended());
        EXPECT_EQ(w.host.endedWith, id);
        EXPECT_EQ(w.ui.quitCode(), 0);
        EXPECT_TRUE(w.trace.contains("ClearInstanceMutex - Entry\r\n"));
        EXPECT_EQ(w.simLock.releases, 1);
    }
}

TEST(MainDialog, CommandsThatTouchThePrinterDoNothingWhileFlashing) {
    DialogWorld w;
    w.plugUsb(w.model(emulator::LinkKind::Usb));
    w.state.flashInProgress = true;
    w.state.printerCount = 1;
    const size_t writesBefore = w.io.writeCalls(
        w.enumerator.list(platform::InterfaceClass::UsbDevice)->front().path.value());
    w.dialog.onCommand(ids::kSelectFile);
    w.dialog.onCommand(ids::kFindPrinter);
    w.dialog.onCommand(ids::kFindEthernet);
    w.dialog.onCommand(ids::kReadyCheck);
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_TRUE(w.ui.fileRequests().empty());
    EXPECT_FALSE(w.trace.contains("closeSocket - Entry"));
    EXPECT_EQ(w.io.writeCalls(
                  w.enumerator.list(platform::InterfaceClass::UsbDevice)->front().path.value()),
              writesBefore);
    EXPECT_EQ(w.state.printerCount, 1);
    w.state.flashInProgress = false;  // no worker clears it
}

// The Network Printers button: shown where the front end has the window,
// never in automatic-load mode; while a flash runs on this machine (the
// dialog's own or a fleet's) the window does not open, and after the
// dialog's own flash the button comes back.
TEST(MainDialog, NetworkPrintersOpensOnlyWithoutAFlash) {
    struct Case {
        bool hasWindow, autoLoad, flashing;
        bool shown;
        int opened;
    };
    for (const Case& c : std::vector<Case>{{true, false, false, true, 1},
                                           {true, false, true, true, 0},
                                           {true, true, false, false, 0},
                                           {false, false, false, false, 0}}) {
        DiscoveryWorld base;
        FakeHost host;
        host.fleetWindow = c.hasWindow;
        base.state.autoLoadMode = c.autoLoad;
        base.controls.preset(Control::networkPrintersButton, {"", true, false});
        MainDialog dialog(base.ctx, host);
        dialog.onInit();
        EXPECT_EQ(base.controls.visible(Control::networkPrintersButton), c.shown);
        base.state.flashInProgress = c.flashing;
        dialog.onCommand(ids::kNetworkPrinters);
        EXPECT_EQ(host.fleetWindowOpened, c.opened);
        EXPECT_TRUE(base.ui.boxes().empty() || c.autoLoad);
        // No worker clears it: the world would wait for one at its end.
        base.state.flashInProgress = false;
    }
    DialogWorld w;
    w.host.fleetWindow = true;
    w.controls.preset(Control::networkPrintersButton, {"", false, true});
    w.state.flashInProgress = true;
    w.dialog.onTimer(ids::kFlashEndTimer);
    EXPECT_EQ(w.host.timers.at(ids::kFlashEndTimer), ids::kFlashEndPollMs);
    EXPECT_FALSE(w.controls.enabled(Control::networkPrintersButton));
    w.state.flashInProgress = false;
    w.dialog.onTimer(ids::kFlashEndTimer);
    EXPECT_EQ(w.host.timers.count(ids::kFlashEndTimer), 0u);
    EXPECT_TRUE(w.controls.enabled(Control::networkPrintersButton));
}

TEST(MainDialog, HelpTextByteForByte) {
    DialogWorld w;
    w.dialog.onCommand(ids::kHelp);
    ASSERT_TRUE(w.lastBox());
    EXPECT_EQ(w.lastBox()->caption,
              "........................ Help information ....................");
    // One literal, as the help text is written down, so it can be compared by eye.
    const std::string expected =
        "1 - Click Find Printer .....\r\n  If application reports more than 1 printer "
        "connected\r\n  disconnect or power off printers that are not going to be flashed.\r\n\n2 "
        "- Click Select firmware file .. navigate to directory containing\r\n    bin file and "
        "click on file proper bin file.\r\n    Application will determine if selected flash file "
        "is correct for printer.\r\n\n3 - Click Flash Printer Now.\r\n\n4 - Wait till flash update "
        "is complete, verify new version number.";
    EXPECT_EQ(w.lastBox()->text, expected);
    EXPECT_EQ(w.lastBox()->buttons, platform::BoxButtons::Ok);
}

TEST(MainDialog, AddressFieldsStoreTheFirstLineAsTyped) {
    DialogWorld w;
    struct Case {
        int id;
        std::string typed;
        std::string stored;
    };
    const std::string longText(300, '7');
    const Case cases[] = {
        {ids::kIpOctet1, "abc", "abc"},
        {ids::kIpOctet2, "", ""},
        {ids::kIpOctet3, "999", "999"},
        {ids::kIpOctet4, "1\r\n2", "1"},
        {ids::kPortEdit, longText, longText.substr(0, 255)},
    };
    for (const Case& c : cases) w.dialog.onEditChanged(c.id, c.typed);
    EXPECT_EQ(w.state.ipAddressText[0], "abc");
    EXPECT_EQ(w.state.ipAddressText[1], "");
    EXPECT_EQ(w.state.ipAddressText[2], "999");
    EXPECT_EQ(w.state.ipAddressText[3], "1");
    EXPECT_EQ(w.state.portNumberText, longText.substr(0, 255));
    EXPECT_TRUE(w.trace.contains("abc"));
}

// An Ethernet worker reads the address for its re-probe: typing meanwhile
// must not change it under the worker, nor be lost.
TEST(MainDialog, AddressTypedWhileFlashingIsKeptUntilTheFlashEnds) {
    DialogWorld w;
    w.state.flashInProgress = true;
    w.dialog.onEditChanged(ids::kIpOctet1, "10");
    w.dialog.onEditChanged(ids::kPortEdit, "9100");
    w.dialog.onEditChanged(ids::kPortEdit, "9101");
    w.dialog.onCommand(ids::kHelp);
    EXPECT_EQ(w.state.ipAddressText[0], "192");
    EXPECT_EQ(w.state.portNumberText, "10001");

    w.state.flashInProgress = false;
    w.dialog.onCommand(ids::kHelp);
    EXPECT_EQ(w.state.ipAddressText[0], "10");
    EXPECT_EQ(w.state.ipAddressText[1], "168");
    EXPECT_EQ(w.state.portNumberText, "9101");
}

TEST(MainDialog, LettersInTheAddressMakeTheConnectFail) {
    DialogWorld w;
    w.dialog.onEditChanged(ids::kIpOctet1, "abc");
    w.dialog.onCommand(ids::kFindEthernet);
    EXPECT_EQ(w.controls.text(Control::statusText), "Did not find Ethernet attached printer");
    EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_NONE);
}

TEST(MainDialog, AutoLoadTimerSearchesOnceAndFindPrinterRearmsIt) {
    DiscoveryWorld base;
    FakeHost host;
    base.state.autoLoadMode = true;
    base.state.autoLoadFileName = "image.bin";
    base.state.autoLoadFilePath = "/opt/kv/image.bin";
    MainDialog dialog(base.ctx, host);
    dialog.onInit();
    EXPECT_EQ(host.timers.at(ids::kAutoLoadTimer), 100u);
    EXPECT_EQ(host.title_,
              "V4.0.2.2 09/28/2022  Corbelline Firmware UpdaterAuto Load (image.bin) ");

    dialog.onTimer(7);  // not ours
    EXPECT_EQ(host.timers.count(ids::kAutoLoadTimer), 1u);
    dialog.onTimer(ids::kAutoLoadTimer);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_TRUE(base.trace.contains("WM_INITDIALOG - Calling refreshPrinterList"));
    EXPECT_TRUE(base.trace.contains("WM_INITDIALOG - After calling refreshPrinterList"));
    EXPECT_EQ(base.controls.textsOf(Control::statusText).front(), "Searching for printers");
    EXPECT_FALSE(base.controls.visible(Control::helpButton));
    EXPECT_FALSE(base.controls.visible(Control::selectFileButton));
    EXPECT_FALSE(base.controls.visible(Control::flashButton));
    EXPECT_TRUE(base.controls.enabled(Control::findPrinterButton));
    EXPECT_EQ(base.ui.boxes().back().text, "KV printer not found, please connect KV printer");

    // Find Printer starts the timer again instead of searching at once.
    base.ui.clear();
    dialog.onCommand(ids::kFindPrinter);
    EXPECT_EQ(host.timers.at(ids::kAutoLoadTimer), 100u);
    EXPECT_TRUE(base.ui.boxes().empty());
    EXPECT_EQ(host.starts, 2);
}

TEST(MainDialog, NoTitleSuffixOnAnEmptyTitle) {
    DiscoveryWorld base;
    FakeHost host;
    host.title_.clear();
    base.state.autoLoadMode = true;
    base.state.autoLoadFileName = "image.bin";
    MainDialog dialog(base.ctx, host);
    dialog.onInit();
    EXPECT_EQ(host.title_, "");
}

TEST(MainDialog, OptionListSelectionSetsTheModeByBoard) {
    struct Case {
        int32_t board;
        int index;
        int32_t mode;
    };
    for (const Case c : {Case{0, 1, 2}, Case{1, 0, 1}, Case{2, 1, 3}, Case{5, 0, 1}}) {
        DialogWorld w;
        w.state.printerData.boardCode = LogicBoard{c.board};
        w.dialog.onOptionSelected(c.index);
        EXPECT_EQ(w.state.printerData.modeSelection, c.mode);
        EXPECT_EQ(w.controls.text(Control::flashButton), "");
        EXPECT_TRUE(w.controls.enabled(Control::flashButton));
    }
}

const Control kEthernetGroup[] = {
    Control::ethernetGroup,     Control::findEthernetButton, Control::ipAddressLabel,
    Control::ethernetPortLabel, Control::ipOctetEdit1,       Control::ipOctetEdit2,
    Control::ipOctetEdit3,      Control::ipOctetEdit4,       Control::portEdit};

TEST(MainDialog, EthernetRoadIsReachable) {
    DialogWorld w;
    // The template starts the Ethernet group disabled.
    for (Control c : kEthernetGroup) w.controls.preset(c, {"", false, true});

    w.dialog.onCommand(ids::kFindPrinter);  // no local printer at all
    EXPECT_EQ(w.state.printerCount, 0);
    for (Control c : kEthernetGroup) {
        EXPECT_TRUE(w.controls.enabled(c)) << platform::controlName(c);
        EXPECT_TRUE(w.controls.visible(c)) << platform::controlName(c);
    }

    const testing::LoopbackPrinter printer({});  // a ready ZOW3004F on TCP
    w.dialog.onEditChanged(ids::kIpOctet1, "127");
    w.dialog.onEditChanged(ids::kIpOctet2, "0");
    w.dialog.onEditChanged(ids::kIpOctet3, "0");
    w.dialog.onEditChanged(ids::kIpOctet4, "1");
    w.dialog.onEditChanged(ids::kPortEdit, printer.portText());
    w.dialog.onCommand(ids::kFindEthernet);
    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready");
    EXPECT_EQ(w.controls.text(Control::portText), "ETHERNET");
    EXPECT_TRUE(w.dialog.ethernetPrinterSelected());

    // Select Firmware File takes the Ethernet printer as the selected one.
    w.ui.clear();
    w.ui.queueFile("/fw/FMVQ_V5.20.bin");
    w.dialog.onCommand(ids::kSelectFile);
    EXPECT_EQ(w.ui.fileRequests().size(), 1u);
    EXPECT_EQ(w.state.firmwareFileName, "/fw/FMVQ_V5.20.bin");

    // A new Find Printer goes back to local rules.
    w.dialog.onCommand(ids::kFindPrinter);
    EXPECT_FALSE(w.dialog.ethernetPrinterSelected());
    w.ui.clear();
    w.dialog.onCommand(ids::kSelectFile);
    EXPECT_EQ(w.lastBox()->text, "KV printer not selected");
}

TEST(MainDialog, ReadyCheckShowsNotReadyAndClosesTheHandle) {
    DialogWorld w;
    emulator::PrinterConfig busy;
    busy.link = emulator::LinkKind::Usb;
    busy.deviceId = testing::kZowId;
    busy.statusByte3 = 0x04;
    const std::string path = w.plugUsb(w.model(busy));
    w.dialog.onCommand(ids::kReadyCheck);
    ASSERT_TRUE(w.lastBox());
    EXPECT_EQ(w.lastBox()->text, "Not Ready");
    EXPECT_FALSE(w.state.printerHandle.valid());
    EXPECT_EQ(w.io.openHandles(path), 0u);
}

}  // namespace
}  // namespace kv
