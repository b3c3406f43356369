// The native network printers' window, opened by the main dialog's button,
// over emulated printers reached through Winsock on loopback; its rows read
// back from the list view.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "app/MainDialog.h"
#include "fleet/FleetSummary.h"
#include "platform/DialogItemIds.h"
#include "tests/fleet/FleetTestWorld.h"
#include "tests/support/SimWorld.h"
#include "tests/win32/Win32TestSupport.h"
#include "ui/template/FlashLines.h"
#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32DialogHost.h"
#include "ui/win32/Win32DialogWindow.h"
#include "ui/win32/Win32FleetWindow.h"
#include "ui/win32/WindowText.h"

namespace kv::testing {
namespace {

using emulator::PrinterConfig;
using fleettest::imageBytes;
using fleettest::printer;
using ui::Win32FleetWindow;

std::string cellText(HWND list, int row, int column) {
    char text[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
    return text;
}

// The steps taken inside the fleet window's own modal loop, on a thread
// timer of the test.
std::function<void()>* stepper = nullptr;
void CALLBACK stepTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (stepper) (*stepper)();
}

struct Row {
    std::string address, firmware, phase;
    int checkState;
    std::optional<unsigned long> colour;
};

int columnWidth(HWND list, FleetColumn column) {
    return static_cast<int>(
        ::SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

int textWidth(HWND list, const std::string& text) {
    return static_cast<int>(
        ::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

// The end of a run as the window shows it at the size it opens at: every
// printer's versions before and after and its reason in the Phase cell (Wine
// shows no tips), the advice for the one that may be left in flash mode,
// addresses and verdicts not cut.
TEST(FleetWindow, OpenedByTheButtonShowsEveryPrintersVerdict) {
    PrinterConfig dropped = printer();
    dropped.dropAfterImageBytes = 9000;
    PrinterConfig noFlashReady = printer();
    noFlashReady.flashReadyMissing = true;
    fleettest::FleetTestWorld fleet(
        {printer(), dropped, printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;"),
         noFlashReady, std::nullopt},
        fleettest::kFirstAddress + 180);
    SimWorld sim;
    sim.sys.wired.network = &fleet.network;
    const std::string path = fleet.dir.file("FMVQ_V5.20.bin");
    writeAll(path, imageBytes(20000));
    sim.state.firmwareFileName = path;
    std::string targets;
    for (const auto& p : fleet.printers) targets += p->endpoint.text() + " ";
    ASSERT_TRUE(sim.fleetTargets.replace(targets + "\n"));

    ui::Win32DialogWindow window{::GetModuleHandleA(nullptr)};
    ui::Win32DialogControls controls{window};
    ui::Win32DialogHost host{window};
    wireFrontEnd(sim.ctx, sim.ui, controls);
    host.offerFleetWindow(sim.ctx, ::GetModuleHandleA(nullptr),
                          [&](size_t i) -> platform::Clock& { return fleet.printers[i]->clock; });
    MainDialog mainDialog{sim.ctx, host};
    window.attach(&mainDialog);
    HWND main = static_cast<HWND>(window.createModeless(nullptr));
    ASSERT_NE(main, nullptr);
    HWND button = ::GetDlgItem(main, dialog::kNetworkPrinters);
    ASSERT_TRUE(::IsWindowVisible(button));
    // Held, a control shows disabled whatever it is told meanwhile, then
    // its own state again: Find Printer enabled, Flash still disabled.
    for (platform::Control c :
         {platform::Control::findPrinterButton, platform::Control::flashButton}) {
        const bool enabled = c == platform::Control::findPrinterButton;
        HWND control = ::GetDlgItem(main, platform::controlId(c));
        controls.hold(c, true);
        controls.enable(c, enabled);
        EXPECT_FALSE(::IsWindowEnabled(control));
        controls.hold(c, false);
        EXPECT_EQ(::IsWindowEnabled(control) != FALSE, enabled);
    }

    int step = 0;
    const int64_t deadline = nowMs() + 60000;
    std::vector<Row> rows;
    std::string advice;
    bool copyShown = false;
    int addressWidth = 0, addressText = 0, phaseLeft = 0, verdictText = 0, listWidth = 0;
    int rowsShown = 0;
    std::function<void()> next = [&] {
        HWND fleetWindow = static_cast<HWND>(host.fleetWindow()->hwnd());
        if (!fleetWindow) return;
        HWND list = ::GetDlgItem(fleetWindow, Win32FleetWindow::kList);
        const bool idle = ::IsWindowEnabled(::GetDlgItem(fleetWindow, Win32FleetWindow::kScan)) &&
                          !sim.state.flashInProgress;
        if (nowMs() > deadline) step = 3;
        switch (step) {
            case 0:
                ::SendDlgItemMessageA(fleetWindow, Win32FleetWindow::kScan, BM_CLICK, 0, 0);
                step = 1;
                return;
            case 1:
                if (!idle || ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != 4) return;
                sim.ui.queueAnswer(true);
                ::SendDlgItemMessageA(fleetWindow, Win32FleetWindow::kFlashSelected, BM_CLICK, 0,
                                      0);
                step = 2;
                return;
            case 2:
                if (!idle) return;
                for (int r = 0; r < 4; ++r) {
                    const auto state = ::SendMessageA(list, LVM_GETITEMSTATE,
                                                      static_cast<WPARAM>(r), LVIS_STATEIMAGEMASK);
                    rows.push_back({cellText(list, r, static_cast<int>(FleetColumn::Address)),
                                    cellText(list, r, static_cast<int>(FleetColumn::Firmware)),
                                    cellText(list, r, static_cast<int>(FleetColumn::Phase)),
                                    static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12),
                                    host.fleetWindow()->phaseColour(r)});
                    addressText = std::max(addressText, textWidth(list, rows.back().address));
                }
                advice = ui::windowText(::GetDlgItem(fleetWindow, Win32FleetWindow::kAdvice));
                copyShown =
                    ::IsWindowVisible(::GetDlgItem(fleetWindow, Win32FleetWindow::kCopyAddresses));
                addressWidth = columnWidth(list, FleetColumn::Address);
                verdictText = textWidth(list, "mismatch");
                for (int c = 0; c < static_cast<int>(FleetColumn::Phase); ++c) {
                    phaseLeft += columnWidth(list, static_cast<FleetColumn>(c));
                }
                {
                    RECT client{};
                    ::GetClientRect(list, &client);
                    listWidth = client.right;
                }
                rowsShown = static_cast<int>(::SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
                step = 3;
                [[fallthrough]];
            case 3:
                ::SendDlgItemMessageA(fleetWindow, IDCANCEL, BM_CLICK, 0, 0);
                step = 4;
                return;
            default: return;
        }
    };
    stepper = &next;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, stepTimer);
    ::SendMessageA(button, BM_CLICK, 0, 0);  // returns when the window closed
    ::KillTimer(nullptr, timer);
    stepper = nullptr;

    ASSERT_EQ(rows.size(), 4u) << "step " << step;
    const auto colour = [](platform::VerifyOutcome o) {
        const ui::Rgb c = ui::verdictColour(o);
        return std::optional<unsigned long>(RGB(c.red, c.green, c.blue));
    };
    const std::string left = fleet.printers[3]->endpoint.text();
    const Row expected[] = {
        {fleet.printers[0]->endpoint.text(), "V5.12 -> V5.20",
         "verified: the printer reports V5.20, the image's version (before: V5.12)", 2,
         colour(platform::VerifyOutcome::Verified)},
        {fleet.printers[1]->endpoint.text(), "V5.12 -> V5.12",
         "mismatch: version unchanged: the printer still reports V5.12; the image carries V5.20", 2,
         colour(platform::VerifyOutcome::Mismatch)},
        {fleet.printers[2]->endpoint.text(), "V5.20", "", 0, std::nullopt},
        {left, "V5.12", "failed: Failed to entered flash programming mode", 2,
         colour(platform::VerifyOutcome::Failed)},
    };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].address, expected[i].address) << i;
        EXPECT_EQ(rows[i].firmware, expected[i].firmware) << i;
        EXPECT_EQ(rows[i].phase, expected[i].phase) << i;
        EXPECT_EQ(rows[i].checkState, expected[i].checkState) << i;
        EXPECT_EQ(rows[i].colour, expected[i].colour) << i;
    }
    EXPECT_EQ(advice, "May be left in flash mode: " + left + "\r\n" + fleet::kFlashModeAdvice);
    EXPECT_TRUE(copyShown);
    // Twenty rows on this screen; no address cut, every verdict in sight.
    EXPECT_GE(rowsShown, kFleetDefaultRows);
    EXPECT_GE(addressWidth, addressText + ::GetSystemMetrics(SM_CXSMICON) + 12);
    EXPECT_LE(phaseLeft + verdictText, listWidth);
    const std::string question = sim.ui.boxTexts().front();
    EXPECT_EQ(question.rfind("Flash 3 printers with FMVQ_V5.20.bin (V5.20)? 1 is skipped: ", 0), 0u)
        << question;
    ::DestroyWindow(main);
    window.attach(nullptr);
}

}  // namespace
}  // namespace kv::testing
