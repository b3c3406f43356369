#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printer/discovery/Discovery.h"
#include "spooler/PortRedirection.h"
#include "tests/discovery/DiscoveryWorld.h"

namespace kv {
namespace {

using emulator::LinkKind;
using emulator::PrinterConfig;
using platform::Control;
using platform::sim::RecordingDialogControls;
using emulator::SimDeviceOptions;
using testing::DiscoveryWorld;
using testing::kZowId;
using testing::Lines;
using Bytes = std::vector<uint8_t>;

const std::string kBorder(57, '+');
const std::string kNotFoundBox = "KV printer not found, please connect KV printer";
const std::string kNoLocalPrinterBox =
    "refreshPrinterData - Did not find connected KV printer, may be Ethernet connected";

constexpr Control kProgramControls[] = {Control::programStatusText, Control::programStateText,
                                        Control::programGroup, Control::programStateLabel,
                                        Control::programStatusLabel};
constexpr Control kEthernetControls[] = {
    Control::ethernetGroup, Control::findEthernetButton, Control::ipOctetEdit1,
    Control::ipOctetEdit2,  Control::ipOctetEdit3,       Control::ipOctetEdit4,
    Control::portEdit,      Control::ipAddressLabel,     Control::ethernetPortLabel};

// A status reply of the local kind, as a printer sends it.
Bytes statusReply(char kind, uint8_t byte3, uint8_t byte4) {
    return emulator::buildStatusReply(kind, byte3, byte4, "V5.12");
}

bool programLinesOpen(const RecordingDialogControls& c) {
    for (Control p : kProgramControls)
        if (!c.enabled(p)) return false;
    return !c.enabled(Control::flashButton);
}
bool programLinesClosed(const RecordingDialogControls& c) {
    for (Control p : kProgramControls)
        if (c.enabled(p)) return false;
    return !c.enabled(Control::flashButton);
}

Lines countLines(const Lines& middle) {
    Lines all{"CountConnectedKVPrinters entry - " + kBorder, "\r\n"};
    all.insert(all.end(), middle.begin(), middle.end());
    all.push_back("CountConnectedKVPrinters exit - " + kBorder);
    all.push_back("\r\n");
    return all;
}

// ------------------------------------------------------------------ counting

TEST(CountConnectedKVPrinters, OneUsbPrinterAndEmptyParallelPorts) {
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb));
    std::string found = "stale";
    EXPECT_EQ(CountConnectedKVPrinters(w.ctx, found, kFoundTextSize), 1);
    EXPECT_EQ(found, "\r\nZOW3004F USB connected\r\n");
    EXPECT_TRUE(w.trace.containsInOrder(countLines(
        {"After USB test ...................\r\n", "Did not find a printer on LPT1:", "\r\n",
         "Did not find  a printer on LPT2:", "\r\n", "Did not find  a printer on LPT3:", "\r\n"})));
    // Counting leaves nothing open.
    EXPECT_EQ(w.io.openHandles(), 0u);
}

TEST(CountConnectedKVPrinters, UsbAndParallelAreListedInOrder) {
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb));
    w.plugParallel("LPT2:", w.model(LinkKind::Parallel, "MFG:KV;MDL:ZOP2002G;FWV:V3.01;"));
    std::string found;
    EXPECT_EQ(CountConnectedKVPrinters(w.ctx, found, kFoundTextSize), 2);
    EXPECT_EQ(found, "\r\nZOW3004F USB connected\r\nZOP2002G PARALLEL connected\r\n");
    EXPECT_TRUE(w.trace.containsInOrder(
        countLines({"After USB test ...................\r\n",
                    "Did not find a printer on LPT1:", "\r\n", "Found a printer on LPT2:\r\n",
                    "GetPrinterID - Passed\r\n", "GetPrinterTypeNameFromID - Passed\r\n",
                    "ZOP2002G", "\r\n", "Did not find  a printer on LPT3:", "\r\n"})));
    EXPECT_EQ(w.io.openHandles(), 0u);
}

TEST(CountConnectedKVPrinters, NamelessUsbPathSkippedSilentlyUnopenableOneTraced) {
    DiscoveryWorld w;
    // No name in the serial and no device ID: skipped without a word.
    w.plugUsb(w.model(LinkKind::Usb), "zz", SimDeviceOptions{.deviceIdFails = true}, 1);
    // Named by its serial but refusing to open.
    w.plugUsb(w.model(LinkKind::Usb), testing::kZowSerial, SimDeviceOptions{.openFails = true}, 2);
    std::string found;
    EXPECT_EQ(CountConnectedKVPrinters(w.ctx, found, kFoundTextSize), 0);
    EXPECT_EQ(found, "\r\n");
    EXPECT_EQ(w.traceCount("Did not find KV USB printer\r\n"), 1u);
}

TEST(CountConnectedKVPrinters, ParallelPrinterWithoutIdOrModelIsNotCounted) {
    DiscoveryWorld w;
    w.plugParallel("LPT1:", w.model(LinkKind::Parallel), SimDeviceOptions{.deviceIdFails = true});
    w.plugParallel("LPT3:", w.model(LinkKind::Parallel, "MFG:KV;FWV:V5.12;"));
    std::string found;
    EXPECT_EQ(CountConnectedKVPrinters(w.ctx, found, kFoundTextSize), 0);
    EXPECT_EQ(found, "\r\n");
    const auto boxes = w.boxTexts();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].rfind("GetPrinterID - Error = ", 0), 0u) << boxes[0];
    EXPECT_EQ(boxes[1], "GetPrinterID - Failed");
    EXPECT_EQ(boxes[2], "Printer model NOT found in ID!");
    EXPECT_EQ(boxes[3], "GetPrinterTypeNameFromID - Failed");
    for (const auto& b : w.ui.boxes()) EXPECT_FALSE(b.caption.has_value());
    EXPECT_TRUE(w.trace.containsInOrder(
        {"Found a printer on LPT1:\r\n", "GetPrinterID - Failed", "\r\n",
         "Did not find  a printer on LPT2:", "\r\n", "Found a printer on LPT3:\r\n",
         "GetPrinterID - Passed\r\n", "GetPrinterTypeNameFromID - Failed", "\r\n"}));
    // Every probe handle was closed again.
    EXPECT_EQ(w.io.openHandles(), 0u);
}

TEST(CountConnectedKVPrinters, FoundTextIsCutToItsSize) {
    DiscoveryWorld w;
    for (uint16_t pid = 1; pid <= 4; ++pid)
        w.plugUsb(w.model(LinkKind::Usb), testing::kZowSerial, {}, pid);
    std::string found;
    EXPECT_EQ(CountConnectedKVPrinters(w.ctx, found, 40), 4);
    EXPECT_EQ(found, std::string("\r\nZOW3004F USB connected\r\nZOW3004F USB "));
    EXPECT_EQ(found.size(), 39u);

    // A device name of the full 150 characters, 30 times, stays within 1023.
    DiscoveryWorld big;
    const std::string longModel(150, 'Q');
    for (uint16_t pid = 1; pid <= 30; ++pid) {
        big.plugUsb(big.model(LinkKind::Usb, "MDL:" + longModel + ";FWV:V5.12;"), "zz", {}, pid);
    }
    EXPECT_EQ(CountConnectedKVPrinters(big.ctx, found, kFoundTextSize), 30);
    EXPECT_EQ(found.size(), kFoundTextSize - 1);
}

// ------------------------------------------------------------ Find Printer

TEST(RefreshPrinterList, OneUsbPrinterFillsTheFieldsAndPutsTheQueuesBack) {
    DiscoveryWorld w;
    PrinterConfig config;
    config.link = LinkKind::Usb;
    config.deviceId = kZowId;
    config.firmwareText = "V5.20C";  // what the C reply reports, unlike the ID
    w.plugUsb(w.model(config));
    // Starting states the search must change.
    for (Control c : kEthernetControls) w.controls.preset(c, {"", false, true});

    refreshPrinterList(w.ctx, w.state.printerData);

    EXPECT_EQ(w.state.printerCount, 1);
    EXPECT_TRUE(w.boxTexts().empty());
    const auto& c = w.controls;
    EXPECT_EQ(c.text(Control::printerModelText), "ZOW3004F");
    EXPECT_EQ(c.text(Control::portText), "USB");
    EXPECT_EQ(c.text(Control::languageText), "FGL-G");
    EXPECT_EQ(c.text(Control::logicBoardText), "MVQ Plus");
    EXPECT_EQ(c.textsOf(Control::currentVersionText), (Lines{"V5.12", "V5.20C"}));
    EXPECT_EQ(c.textsOf(Control::statusText),
              (Lines{"Counting attached printers", "Getting printer parameters",
                     "Probing for printers", "Found Printer - Printer ready.."}));
    EXPECT_TRUE(programLinesOpen(c));
    EXPECT_FALSE(c.visible(Control::flashButton));
    EXPECT_FALSE(c.visible(Control::optionList));
    EXPECT_FALSE(c.enabled(Control::optionList));
    for (Control e : kEthernetControls) EXPECT_FALSE(c.visible(e)) << controlName(e);

    EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_USB);
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_USB);
    EXPECT_EQ(w.state.printerData.boardCode, LogicBoard::MvqPlus);
    // Queues went to the dummy port during the probe and are back.
    EXPECT_EQ(w.spooler.writes().size(), 2u);
    EXPECT_TRUE(w.queuesBack());
    EXPECT_FALSE(w.state.portsMoved);
    EXPECT_EQ(w.io.openHandles(), 0u);
    EXPECT_TRUE(w.trace.containsInOrder(
        {"WM_INITDIALOG - Calling refreshPrinterData", "/r/n", "refreshPrinterData - Entry", "/r/n",
         "SetPortsToFile - Entry\r\n", "WM_INITDIALOG - After calling refreshPrinterData", "/r/n",
         "RestorePortsToOriginal - Entry\r\n"}));
}

TEST(RefreshPrinterList, TwoPrintersAreListedAndNotProbed) {
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb));
    w.plugParallel("LPT1:", w.model(LinkKind::Parallel, "MFG:KV;MDL:ZOP2002G;FWV:V3.01;"));

    refreshPrinterList(w.ctx, w.state.printerData);

    EXPECT_EQ(w.state.printerCount, 2);
    const auto boxes = w.ui.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "More than 1 KV printers found");
    EXPECT_EQ(boxes[0].text,
              "Error! - This tool cannot manage more than 1 connected KV printer\r\n"
              "Please disconnect printers as required\r\n\n"
              "KV printers found\r\n"
              "\r\nZOW3004F USB connected\r\nZOP2002G PARALLEL connected\r\n");
    EXPECT_EQ(w.controls.textsOf(Control::statusText),
              (Lines{"Counting attached printers", "More than 1 KV printer attached"}));
    EXPECT_FALSE(w.trace.contains("refreshPrinterData - Entry"));
    EXPECT_TRUE(w.spooler.writes().empty());
    EXPECT_EQ(w.controls.textsOf(Control::printerModelText), Lines{});
}

TEST(RefreshPrinterList, NothingFound) {
    DiscoveryWorld w;
    w.state.printerCount = 1;  // an earlier search
    refreshPrinterList(w.ctx, w.state.printerData);
    EXPECT_EQ(w.state.printerCount, 0);
    const auto boxes = w.ui.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, kNotFoundBox);
    EXPECT_EQ(w.controls.textsOf(Control::statusText),
              (Lines{"Counting attached printers", "KV printer not found"}));
    EXPECT_TRUE(w.spooler.writes().empty());
}

TEST(RefreshPrinterList, DoesNothingWhileAFlashRuns) {
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb));
    w.state.flashInProgress = true;
    refreshPrinterList(w.ctx, w.state.printerData);
    EXPECT_TRUE(w.controls.events().empty());
    EXPECT_TRUE(w.trace.lines().empty());
    EXPECT_EQ(w.io.openHandles(), 0u);
}

// ---------------------------------------------------------- the probe itself

struct ReadyCase {
    const char* what;
    std::vector<bool> answers;  // what the successive ready checks read
    bool ready;
    size_t checks;
};
void PrintTo(const ReadyCase& c, std::ostream* os) { *os << c.what; }

class ReadyChecks : public ::testing::TestWithParam<ReadyCase> {};

TEST_P(ReadyChecks, FirstAnswerDiscardedSecondOrThirdDecides) {
    const ReadyCase& c = GetParam();
    DiscoveryWorld w;
    const std::string path = w.plugUsb(w.model(LinkKind::Usb));
    for (bool ready : c.answers) w.io.queueRead(path, statusReply('S', 0, ready ? 0x00 : 0x20));
    w.state.printerCount = 1;

    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));

    EXPECT_EQ(w.controls.text(Control::statusText),
              c.ready ? "Found Printer - Printer ready.." : "Found Printer - Printer NOT ready");
    EXPECT_TRUE(c.ready ? programLinesOpen(w.controls) : programLinesClosed(w.controls));
    // Each check reads once; a ready printer is then asked ESC I C.
    const Bytes written = w.io.written(path);
    const Bytes askedC{0x1B, 0x49, 0x43};
    EXPECT_EQ(written, c.ready ? askedC : Bytes());
    EXPECT_EQ(w.io.readCalls(path), c.checks + (c.ready ? 2u : 0u));
    EXPECT_EQ(w.io.openHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Discovery, ReadyChecks,
                         ::testing::Values(ReadyCase{"second ready", {false, true}, true, 2},
                                           ReadyCase{
                                               "first ready only", {true, false, false}, false, 3},
                                           ReadyCase{"third ready", {false, false, true}, true, 3},
                                           ReadyCase{"all busy", {false, false, false}, false, 3},
                                           ReadyCase{"all ready", {true, true}, true, 2}));

struct VersionCase {
    size_t replyLength;
    std::string shown;
};

class CurrentVersionFromC : public ::testing::TestWithParam<VersionCase> {};

TEST_P(CurrentVersionFromC, TextFromOffset33) {
    const VersionCase& c = GetParam();
    DiscoveryWorld w;
    PrinterConfig config;
    config.link = LinkKind::Usb;
    config.deviceId = kZowId;
    // Every status reply is this one: ready, kind C, the rest filler.
    Bytes reply(c.replyLength, 'x');
    reply[0] = 'C';
    reply[1] = '0';
    reply[2] = '0';
    reply[3] = 0;
    reply[4] = 0;
    for (size_t i = 33; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>('a' + (i - 33) % 26);
    config.statusReplyOverride = reply;
    w.plugUsb(w.model(config));
    w.state.printerCount = 1;

    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));

    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready..");
    EXPECT_EQ(w.controls.textsOf(Control::currentVersionText), (Lines{"V5.12", c.shown}));
}

INSTANTIATE_TEST_SUITE_P(Discovery, CurrentVersionFromC,
                         ::testing::Values(VersionCase{20, ""}, VersionCase{33, ""},
                                           VersionCase{34, "a"}, VersionCase{38, "abcde"}));

TEST(RefreshPrinterData, FailedCExchangeKeepsTheVersionFromTheId) {
    DiscoveryWorld w;
    const std::string path = w.plugUsb(w.model(LinkKind::Usb));
    w.state.printerCount = 1;
    // Ready twice, then the request is refused.
    w.io.queueRead(path, statusReply('S', 0, 0));
    w.io.queueRead(path, statusReply('S', 0, 0));
    auto options = w.io.options(path);
    options.writeFails = true;
    w.io.setOptions(path, options);

    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));

    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready..");
    EXPECT_EQ(w.controls.textsOf(Control::currentVersionText), Lines{"V5.12"});
}

struct LanguageCase {
    const char* firmware;  // picks the board code
    std::string language;
    std::string board;
};

class TypeNameEndingInA : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(TypeNameEndingInA, LanguageByBoardLocally) {
    const LanguageCase& c = GetParam();
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb, std::string("MFG:KV;MDL:ZOW3004A;FWV:") + c.firmware + ";"));
    w.state.printerCount = 1;
    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));
    EXPECT_EQ(w.controls.text(Control::languageText), c.language);
    EXPECT_EQ(w.controls.text(Control::logicBoardText), c.board);
}

INSTANTIATE_TEST_SUITE_P(Discovery, TypeNameEndingInA,
                         ::testing::Values(LanguageCase{"V5.12", "AEA-FGL-G", "MVQ Plus"},
                                           LanguageCase{"V6.01", "AEA-FGL-G", "SITARA"},
                                           LanguageCase{"V2.00", "FGL", "LOGIC BD II ROHS"},
                                           LanguageCase{"V3.10", "FGL", "MV38 STANDARD"}));

TEST(RefreshPrinterData, ZorAeaBoardsShowAeaG) {
    DiscoveryWorld w;
    PrinterConfig config;
    config.link = LinkKind::Usb;
    config.zor1Family = true;
    config.deviceId = "MFG:KV;MDL:ZOR12A;CMD:GAP_PR;)GAP_PR;FWV:R6.02;";
    w.plugUsb(w.model(config), "zor12a-1");
    w.state.printerCount = 1;
    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));
    EXPECT_EQ(w.state.printerData.boardCode, LogicBoard::Zor1xa200AdjustPresenter);
    EXPECT_EQ(w.controls.text(Control::languageText), "AEA-G");
    EXPECT_EQ(w.controls.text(Control::logicBoardText), "ZOR1XA 200dpi (Adjust Presenter)");
}

TEST(RefreshPrinterData, RasterEnablesTheOptionList) {
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb, "MFG:KV;MDL:ZOR-38;FWV:V3.10;"));
    w.state.printerCount = 1;
    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));
    EXPECT_EQ(w.controls.text(Control::languageText), "RASTER");
    EXPECT_TRUE(w.controls.enabled(Control::optionList));
    EXPECT_FALSE(w.controls.visible(Control::optionList));
}

TEST(RefreshPrinterData, UnsupportedZorVariantIsNotAskedAnything) {
    DiscoveryWorld w;
    PrinterConfig config;
    config.link = LinkKind::Usb;
    config.zor1Family = true;
    config.deviceId = "MFG:KV;MDL:ZOR1;FWV:R6.02;";  // neither ZOR12 nor ZOR13
    const std::string path = w.plugUsb(w.model(config), "zor1-1");
    w.state.printerCount = 1;
    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));
    EXPECT_EQ(w.state.printerData.boardCode, LogicBoard::Zor1xUnsupported);
    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer NOT SUPPORTED");
    EXPECT_EQ(w.controls.text(Control::logicBoardText), "ZOR1X UNSUPPORTED");
    EXPECT_TRUE(programLinesClosed(w.controls));
    EXPECT_TRUE(w.io.written(path).empty());
    EXPECT_EQ(w.io.openHandles(), 0u);
}

TEST(RefreshPrinterData, NoPrinterCountedOpensTheEthernetRoad) {
    DiscoveryWorld w;
    for (Control c : kEthernetControls) w.controls.preset(c, {"", false, false});
    w.state.printerCount = 0;
    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));
    EXPECT_EQ(w.controls.textsOf(Control::statusText),
              (Lines{"Probing for printers", "Did not find printer"}));
    EXPECT_EQ(w.boxTexts(), Lines{kNoLocalPrinterBox});
    EXPECT_FALSE(w.ui.boxes()[0].caption.has_value());
    std::vector<Control> enabled;
    for (const auto& e : w.controls.events())
        if (e.kind == RecordingDialogControls::Kind::Enable) enabled.push_back(e.control);
    EXPECT_EQ(enabled,
              (std::vector<Control>{
                  Control::findEthernetButton, Control::ethernetGroup, Control::ipAddressLabel,
                  Control::ethernetPortLabel, Control::ipOctetEdit1, Control::ipOctetEdit2,
                  Control::ipOctetEdit3, Control::ipOctetEdit4, Control::portEdit}));
    // The queues stay moved: the caller puts them back.
    EXPECT_TRUE(w.state.portsMoved);
    EXPECT_EQ(w.kvQueueNow(), "FILE:");
}

TEST(RefreshPrinterData, TwoCountedOnlySaysSo) {
    DiscoveryWorld w;
    w.state.printerCount = 2;
    EXPECT_TRUE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));
    EXPECT_EQ(w.controls.text(Control::statusText), "2 or more KV printers found!!!");
    EXPECT_TRUE(w.boxTexts().empty());
}

TEST(RefreshPrinterData, UnreadableIdPostsQuitAndShowsNoStaleIdentity) {
    DiscoveryWorld w;
    const std::string path = w.plugUsb(w.model(LinkKind::Usb));
    w.state.printerCount = 1;
    w.state.printerData.deviceId = "MFG:KV;MDL:OLDPRINTER;FWV:V1.00;";  // an earlier printer
    auto options = w.io.options(path);
    options.deviceIdFails = true;
    w.io.setOptions(path, options);

    EXPECT_FALSE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));

    const auto boxes = w.boxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].rfind("GetPrinterID - Error = ", 0), 0u);
    EXPECT_EQ(boxes[1], "Cannot find attached KV printer, exiting ");
    EXPECT_EQ(w.ui.quitCode(), 0);
    for (Control c : {Control::printerModelText, Control::portText, Control::languageText,
                      Control::logicBoardText, Control::currentVersionText}) {
        EXPECT_TRUE(w.controls.textsOf(c).empty()) << controlName(c);
    }
    EXPECT_EQ(w.controls.text(Control::statusText), "Probing for printers");
    EXPECT_TRUE(w.queuesBack());
    EXPECT_EQ(w.io.openHandles(), 0u);
    EXPECT_TRUE(w.io.written(path).empty());
}

TEST(RefreshPrinterData, SpoolerFailurePostsQuitAndTheProbeGoesOn) {
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb));
    w.state.printerCount = 1;
    w.spooler.setListOutOfMemory(true);

    EXPECT_FALSE(refreshPrinterData(w.ctx, w.controls, w.state.printerData));

    EXPECT_EQ(w.boxTexts(), Lines{kNoMemoryText});
    EXPECT_EQ(w.ui.quitCode(), 0);
    EXPECT_EQ(w.controls.text(Control::printerModelText), "ZOW3004F");
    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready..");
}

}  // namespace
}  // namespace kv
