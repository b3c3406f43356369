#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "state/Context.h"
#include "platform/DialogItemIds.h"
#include "app/HistoryCommand.h"
#include "app/HistoryTable.h"
#include "app/MainDialog.h"
#include "main/Options.h"
#include "main/win32/Win32World.h"
#include "platform/sim/ScriptedUi.h"
#include "platform/win32/Win32HistoryFile.h"
#include "tests/app/HistorySample.h"
#include "tests/support/Files.h"
#include "tests/win32/Win32TestSupport.h"
#include "ui/template/DialogTemplate.h"
#include "ui/template/FlashLines.h"
#include "ui/win32/HistoryWindow.h"
#include "ui/win32/DialogTemplateBytes.h"
#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32DialogHost.h"
#include "ui/win32/Win32DialogWindow.h"
#include "ui/win32/Win32Ui.h"

namespace kv::testing {
namespace {

using platform::Control;
using kv::HistoryColumn;
using ui::DialogItem;

std::string textOf(HWND h) {
    char text[1024] = {};
    ::GetWindowTextA(h, text, sizeof text);
    return text;
}

RECT clientRectOf(HWND dialog, HWND item) {
    RECT r;
    ::GetWindowRect(item, &r);
    ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Messages for the UI thread until `done` holds or the bound passes.
bool pumpUntil(const std::function<bool()>& done, int64_t boundMs = 20000) {
    const int64_t end = nowMs() + boundMs;
    while (!done()) {
        if (nowMs() > end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

// The colour a dialog paints a static control's text with: its answer to
// WM_CTLCOLORSTATIC, on a memory device context.
COLORREF staticTextColour(HWND dialog, HWND control) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(control));
    const COLORREF colour = ::GetTextColor(dc);
    ::DeleteDC(dc);
    return colour;
}

COLORREF colourOf(platform::VerdictTone tone) {
    const ui::Rgb c = ui::toneColour(tone);
    return RGB(c.red, c.green, c.blue);
}

// A list view's column, read back as another program would.
std::vector<std::string> columnOf(HWND list, HistoryColumn column) {
    std::vector<std::string> texts;
    for (int row = 0; row < ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); ++row) {
        char text[512] = {};
        LVITEMA item{};
        item.iSubItem = static_cast<int>(column);
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        texts.push_back(text);
    }
    return texts;
}

// What the history window answers the list view's notification `code`
// about a row's cell (its text colour while painting; a column click).
COLORREF notifyAbout(HWND dialog, int row, HistoryColumn column, UINT code) {
    HWND list = ::GetDlgItem(dialog, ui::kHistoryListId);
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = {list, static_cast<UINT_PTR>(ui::kHistoryListId), code};
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.nmcd.lItemlParam = item.lParam;
    draw.iSubItem = static_cast<int>(column);
    NMLISTVIEW click{};
    click.hdr = draw.nmcd.hdr;
    click.iItem = -1;
    click.iSubItem = static_cast<int>(column);
    const bool painting = code == static_cast<UINT>(NM_CUSTOMDRAW);
    ::SendMessageA(dialog, WM_NOTIFY, ui::kHistoryListId,
                   painting ? reinterpret_cast<LPARAM>(&draw) : reinterpret_cast<LPARAM>(&click));
    return draw.clrText;
}

// The main dialog in a simulated world: the window and its three faces,
// the boxes and the file dialog scripted.
std::unique_ptr<entry::World> fastSimulatedWorld() {
    entry::Options options;
    options.simulate = true;
    options.fast = true;
    return entry::makeWin32SimulatedWorld(options);
}

class DialogWindow : public ::testing::Test {
protected:
    void SetUp() override {
        wireFrontEnd(ctx, ui, controls);
        window.attach(&mainDialog);
        hwnd = static_cast<HWND>(window.createModeless(nullptr));
        ASSERT_NE(hwnd, nullptr) << ::GetLastError();
    }
    void TearDown() override {
        if (hwnd) ::DestroyWindow(hwnd);
        window.attach(nullptr);
    }
    HWND item(int id) { return ::GetDlgItem(hwnd, id); }
    HWND control(Control c) { return item(platform::controlId(c)); }
    void click(int id) { ::SendMessageA(item(id), BM_CLICK, 0, 0); }

    std::unique_ptr<entry::World> world = fastSimulatedWorld();
    AppState state;
    Context ctx{state, world->sys};
    platform::sim::ScriptedUi ui;
    ui::Win32DialogWindow window{::GetModuleHandleA(nullptr)};
    ui::Win32DialogControls controls{window};
    ui::Win32DialogHost host{window};
    MainDialog mainDialog{ctx, host};
    HWND hwnd = nullptr;
};

// Every item of the template where its dialog units put it, with its
// caption and its states; the dialog's client area as the template sizes it.
TEST_F(DialogWindow, EveryItemSitsAtItsConvertedGeometry) {
    const auto items = ui::mainDialogItems();
    RECT frame{0, 0, ui::mainDialogFrame().rect.width, ui::mainDialogFrame().rect.height};
    ::MapDialogRect(hwnd, &frame);
    RECT client;
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, frame.right);
    EXPECT_EQ(client.bottom, frame.bottom);
    RECT unit{0, 0, 4, 8};
    ::MapDialogRect(hwnd, &unit);
    std::printf("base units: 4x8 dialog units = %ldx%ld px\n", unit.right, unit.bottom);

    // Dialog items are created, and so chained, in template order.
    HWND child = ::GetWindow(hwnd, GW_CHILD);
    for (const DialogItem& it : items) {
        ASSERT_NE(child, nullptr);
        SCOPED_TRACE(it.id);
        EXPECT_EQ(::GetDlgCtrlID(child), it.id);
        // Place and size convert each on its own, as the dialog manager does.
        RECT units{it.rect.x, it.rect.y, it.rect.width, it.rect.height};
        ::MapDialogRect(hwnd, &units);
        const RECT got = clientRectOf(hwnd, child);
        EXPECT_EQ(got.left, units.left);
        EXPECT_EQ(got.top, units.top);
        EXPECT_EQ(got.right - got.left, units.right);
        // A drop-down list's height includes the list, which stays closed.
        if (it.kind != ui::ItemKind::DropDownList) {
            EXPECT_EQ(got.bottom - got.top, units.bottom);
        }
        // The control's own styles and the dialog's navigation bits (the
        // shown and enabled states are the dialog logic's by now).
        const auto style = static_cast<uint32_t>(::GetWindowLongA(child, GWL_STYLE));
        const uint32_t kept = 0xFFFF | WS_TABSTOP | WS_GROUP;
        EXPECT_EQ(style & kept, ui::win32ItemStyle(it) & kept);
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    // After the items, the progress bar the front end adds, hidden.
    ASSERT_EQ(child, static_cast<HWND>(window.progressBar()));
    RECT bar{ui::kTransferProgressRect.x, ui::kTransferProgressRect.y,
             ui::kTransferProgressRect.width, ui::kTransferProgressRect.height};
    ::MapDialogRect(hwnd, &bar);
    const RECT got = clientRectOf(hwnd, child);
    EXPECT_EQ(got.left, bar.left);
    EXPECT_EQ(got.top, bar.top);
    EXPECT_EQ(got.right - got.left, bar.right);
    EXPECT_FALSE(::IsWindowVisible(child));
}

// The dialog as it opens: the start states its logic sets.
TEST_F(DialogWindow, OpensInItsStartState) {
    EXPECT_EQ(textOf(hwnd), std::string(kv::ui::mainDialogFrame().title));
    EXPECT_EQ(
        textOf(control(Control::statusText)),
        std::string(kv::ui::mainDialogItems()[kv::ui::itemIndexOf(Control::statusText)].caption));
    EXPECT_EQ(textOf(control(Control::ipOctetEdit1)), "192");
    EXPECT_EQ(textOf(control(Control::portEdit)), "10001");
    EXPECT_FALSE(::IsWindowVisible(control(Control::flashButton)));
    EXPECT_FALSE(::IsWindowEnabled(control(Control::programGroup)));
    // The icons of the program's resources, small and large.
    EXPECT_NE(::SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(::SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_EQ(state.ipAddressText[0], "192");
    EXPECT_EQ(state.portNumberText, "10001");
    // A typed address reaches the dialog's state through the edit's
    // change notification.
    ::SetWindowTextA(control(Control::ipOctetEdit4), "77");
    EXPECT_EQ(state.ipAddressText[3], "77");
}

// Find Printer runs the real dialog logic against the simulated printer;
// then a whole flash, whose worker writes the program lines through
// window-text messages the UI thread handles while it keeps pumping.
TEST_F(DialogWindow, FindPrinterFillsTheFieldsAndAFlashRunsToTheEnd) {
    click(kv::dialog::kFindPrinter);
    EXPECT_EQ(textOf(control(Control::statusText)), "Found Printer - Printer ready..");
    EXPECT_EQ(textOf(control(Control::printerModelText)), "ZOW3004F");
    EXPECT_EQ(textOf(control(Control::portText)), "USB");
    EXPECT_EQ(textOf(control(Control::currentVersionText)), "V5.12");
    EXPECT_TRUE(::IsWindowEnabled(control(Control::programGroup)));

    const auto image = environment("KVTEST_DEMO_IMAGE");
    if (!image) GTEST_SKIP() << "the flash needs the demo image (tests/wine passes it)";
    ui.queueFile(*image);
    click(kv::dialog::kSelectFile);
    EXPECT_EQ(textOf(control(Control::flashButton)), "Flash Printer NOW");
    ASSERT_TRUE(::IsWindowVisible(control(Control::flashButton)));
    const DWORD uiThread = ::GetCurrentThreadId();
    click(kv::dialog::kFlash);
    ASSERT_TRUE(pumpUntil([&] { return !state.flashInProgress.load(); }));
    EXPECT_EQ(textOf(control(Control::currentVersionText)), "V5.20");
    EXPECT_EQ(textOf(control(Control::programStatusText)), "Printer successfully flashed");
    EXPECT_FALSE(::IsWindowVisible(control(Control::flashButton)));
    EXPECT_EQ(::GetCurrentThreadId(), uiThread);
    // The image line, and the verdict in green.
    const std::string imageLine = textOf(item(kv::dialog::kImageText));
    EXPECT_EQ(imageLine.rfind("FMVQ_V5.20.bin: ", 0), 0u) << imageLine;
    EXPECT_NE(imageLine.find(" bytes, version V5.20, SHA-256 "), std::string::npos) << imageLine;
    // Signed by the demo key, which the simulated world trusts.
    EXPECT_NE(imageLine.find("; signed by 4657CEF660F2F093: "), std::string::npos) << imageLine;
    HWND verdict = item(kv::dialog::kVerifyText);
    EXPECT_NE(textOf(verdict).find("V5.20"), std::string::npos) << textOf(verdict);
    EXPECT_EQ(staticTextColour(hwnd, verdict), colourOf(platform::VerdictTone::Good));
    // Other lines keep the dialog's colours.
    EXPECT_EQ(staticTextColour(hwnd, item(kv::dialog::kImageText)),
              ::GetSysColor(COLOR_WINDOWTEXT));
}

// The History button opens the list view over the history file: every
// flash a row, read back as another program would, the outcome in its
// colour, and a column click sorting by the typed values.
TEST_F(DialogWindow, TheHistoryButtonShowsTheFlashesInAListView) {
    TempFolder temp;
    platform::win32::Win32HistoryFile file(temp.path() + "history.jsonl");
    for (const std::string& line : testing::lines(testing::sampleHistoryText())) {
        ASSERT_TRUE(file.append(line));
    }
    world->sys.wired.history = &file;

    // The window is modal: a timer of this thread reads it from inside its
    // loop, then closes it.
    static struct Seen {
        bool found = false;
        std::vector<std::string> outcomes, models, fleets, sentBefore, sentAfter, startsAfter;
        std::vector<COLORREF> outcomeColours, modelColours;
        std::string heading;
    } seen;
    seen = Seen{};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND dialog = ::FindWindowA("#32770", kHistoryCaption);
        if (!dialog) return;
        ::KillTimer(nullptr, id);
        HWND list = ::GetDlgItem(dialog, ui::kHistoryListId);
        seen.found = true;
        seen.heading = textOf(::GetDlgItem(dialog, ui::kHistoryHeadingId));
        seen.outcomes = columnOf(list, HistoryColumn::Outcome);
        seen.models = columnOf(list, HistoryColumn::Model);
        seen.fleets = columnOf(list, HistoryColumn::Fleet);
        seen.sentBefore = columnOf(list, HistoryColumn::Sent);
        for (int row = 0; row < static_cast<int>(seen.outcomes.size()); ++row) {
            seen.outcomeColours.push_back(
                notifyAbout(dialog, row, HistoryColumn::Outcome, NM_CUSTOMDRAW));
            seen.modelColours.push_back(
                notifyAbout(dialog, row, HistoryColumn::Model, NM_CUSTOMDRAW));
        }
        notifyAbout(dialog, 0, HistoryColumn::Sent, LVN_COLUMNCLICK);
        seen.sentAfter = columnOf(list, HistoryColumn::Sent);
        seen.startsAfter = columnOf(list, HistoryColumn::Start);
        ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_NE(timer, 0u);
    click(kv::dialog::kHistory);
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(seen.found);

    EXPECT_EQ(seen.heading, "Flashes recorded in " + file.location() + ", newest last:\n");
    const auto& want = testing::sampleRows();
    ASSERT_EQ(seen.outcomes.size(), want.size());
    for (size_t n = 0; n < want.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(seen.outcomes[n], want[n].outcome);
        EXPECT_EQ(seen.fleets[n], want[n].fleet);
        EXPECT_EQ(seen.outcomeColours[n], colourOf(want[n].tone));
        EXPECT_EQ(seen.modelColours[n], ::GetSysColor(COLOR_WINDOWTEXT));
    }
    EXPECT_EQ(seen.models[4], testing::kHostileModelShown);
    // A count sorts as a number, whole rows move (9000 bytes: the 10:02 flash).
    using Texts = std::vector<std::string>;
    EXPECT_EQ(seen.sentBefore,
              Texts({"65536", "100000", "9000", "70000", "16384", "-", "65536", "-"}));
    EXPECT_EQ(seen.sentAfter,
              Texts({"-", "-", "9000", "16384", "65536", "65536", "70000", "100000"}));
    EXPECT_EQ(seen.startsAfter[2], "2024-05-01T10:02:00Z");
}

// Changes from another thread arrive as messages the UI thread handles;
// the progress bar follows the typed progress.
TEST_F(DialogWindow, OtherThreadsChangeControlsThroughTheUiThread) {
    std::atomic<bool> done{false};
    std::atomic<DWORD> ranOn{0};
    std::thread worker([&] {
        controls.setText(Control::programStatusText, "Programming 100 KBytes");
        controls.setProgress({platform::TransferPhase::Data, 40 * 1024, 100 * 1024});
        window.runOnUi([&] { ranOn = ::GetCurrentThreadId(); });
        done = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(ranOn.load(), ::GetCurrentThreadId());
    EXPECT_EQ(textOf(control(Control::programStatusText)), "Programming 100 KBytes");
    HWND bar = static_cast<HWND>(window.progressBar());
    EXPECT_TRUE(::IsWindowVisible(bar));
    EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 40 * 1024);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100 * 1024);
    controls.show(Control::flashButton, false);
    EXPECT_FALSE(::IsWindowVisible(bar));
}

// The open-file dialog is owned by the Select Firmware File button, not by
// the dialog, and leaves the program's working folder as it was.
TEST_F(DialogWindow, TheFileDialogBelongsToTheSelectFirmwareFileButton) {
    HWND owner = nullptr;
    DWORD flags = 0;
    ui::Win32Ui fileUi(window, [&](tagOFNA& dialog) {
        owner = dialog.hwndOwner;
        flags = dialog.Flags;
        return false;
    });
    EXPECT_EQ(fileUi.openFile({"Bin Files (*.bin)", "*.bin", "bin", true}), std::nullopt);
    ASSERT_NE(control(Control::selectFileButton), nullptr);
    EXPECT_EQ(owner, control(Control::selectFileButton));
    EXPECT_EQ(flags & (OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY),
              static_cast<DWORD>(OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY));
}

}  // namespace
}  // namespace kv::testing
