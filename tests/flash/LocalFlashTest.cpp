#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "image/FirmwareHeader.h"
#include "flash/LocalFlash.h"
#include "flash/TransferParameters.h"
#include "tests/flash/LocalFlashWorld.h"

namespace kv {
namespace {

using emulator::LinkKind;
using emulator::PrinterConfig;
using platform::Control;
using testing::Bytes;
using testing::HookedControls;
using testing::imageBytes;
using testing::LocalFlashWorld;
using Lines = std::vector<std::string>;
using Pauses = std::vector<uint32_t>;
using Kind = HookedControls::Kind;

const std::string kNotice =
    "USB printer, please power cycle printer before proceeding, older USB adpaters need BRANDING";
const Bytes kAskC{0x1B, 0x49, 0x43};
const Bytes kFlashRequest{0x1B, 0x2A, 0x46, 0x52};
const Bytes kFlashEnter{0x1B, 0x49, 0x41, 0x0F};

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Pauses steps(size_t n, uint32_t ms) { return Pauses(n, ms); }
Pauses catPauses(std::initializer_list<Pauses> parts) {
    Pauses all;
    for (const Pauses& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

bool containsSlice(const Pauses& all, const Pauses& slice) {
    return std::search(all.begin(), all.end(), slice.begin(), slice.end()) != all.end();
}
bool containsBytes(const Bytes& all, const Bytes& part) {
    return std::search(all.begin(), all.end(), part.begin(), part.end()) != all.end();
}

Lines countdown(uint32_t seconds) {
    Lines out;
    for (uint32_t n = 0; n < seconds; ++n) out.push_back(std::to_string(n) + " seconds elapsed");
    return out;
}

// The state texts of streaming `length` bytes in blocks.
Lines programmed(size_t length, size_t block) {
    Lines out;
    for (size_t total = block; total < length + block; total += block) {
        out.push_back(std::to_string(std::min(total, length) / 1024) + " KBytes programmed\r\n");
    }
    return out;
}

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

PrinterConfig localPrinter(LinkKind link, std::string deviceId) {
    PrinterConfig config;
    config.link = link;
    config.deviceId = std::move(deviceId);
    return config;
}

PrinterConfig zorPrinter(std::string deviceId) {
    PrinterConfig config = localPrinter(LinkKind::Usb, std::move(deviceId));
    config.zor1Family = true;
    return config;
}

constexpr const char* kLogicBd2Id = "MFG:KV;CMD:FGL;MDL:ZOW2002F;CLS:PRINTER;FWV:V2.10;";
constexpr const char* kZor12Id = "MFG:KV;MDL:ZOR12G;CMD:G;FWV:R6.02;";
constexpr const char* kZor12AId = "MFG:KV;MDL:ZOR12A;)GAP_PR;FWV:R6.02;";

// The ending ran and left everything in order.
void expectCleanEnd(LocalFlashWorld& w) {
    EXPECT_FALSE(w.state.flashInProgress);
    EXPECT_TRUE(w.queuesBack()) << w.kvQueueNow();
    EXPECT_FALSE(w.state.portsMoved);
    EXPECT_EQ(w.io.openHandles(), 0u);
}

// ------------------------------------------------------------ pure pieces

TEST(FlashProgramCommand, LengthBytes) {
    const struct {
        uint32_t length;
        std::array<uint8_t, 4> tail;
    } cases[] = {
        {0x123456, {0x56, 0x34, 0x12, 0x00}},  {0xFF0000, {0x00, 0x00, 0xFF, 0x00}},
        {0x1000000, {0x00, 0x00, 0xFF, 0x01}}, {0, {0, 0, 0, 0}},
        {0xFEFFFF, {0xFF, 0xFF, 0xFE, 0x00}},  {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0x00}},
    };
    for (const auto& c : cases) {
        const auto command = FLASH_PROGRAM_COMMAND(c.length);
        EXPECT_EQ(std::vector<uint8_t>(command.begin(), command.begin() + 5),
                  (std::vector<uint8_t>{0x1A, 0x75, 0xAA, 0x55, 0x80}));
        EXPECT_EQ(std::vector<uint8_t>(command.begin() + 5, command.end()),
                  std::vector<uint8_t>(c.tail.begin(), c.tail.end()))
            << std::hex << c.length;
        // The printer reads the same length back up to 0x1FEFFFF.
        if (c.length < 0x1FF0000) {
            EXPECT_EQ(emulator::PrinterModel::programCommandLength(command.data()), c.length);
        }
    }
}

TEST(TransferParameters, ByBoardAndFamily) {
    const struct {
        int32_t board;
        bool zor;
        uint32_t delay, block, reset;
        bool whole;
    } cases[] = {
        {0, false, 15, 512, 25, false}, {1, false, 15, 512, 25, false},
        {2, false, 3, 512, 15, false},  {3, false, 3, 512, 15, false},
        {4, false, 3, 8192, 35, false}, {5, false, 3, 8192, 35, false},
        {6, false, 0, 512, 0, false},   {16, false, 0, 512, 0, false},
        {-1, false, 0, 512, 0, false},  {0, true, 0, 8192, 8, true},
        {7, true, 0, 8192, 8, true},    {15, true, 0, 8192, 8, true},
    };
    for (const auto& c : cases) {
        PrinterData p;
        p.boardCode = LogicBoard{c.board};
        p.isZor1Family = c.zor;
        const TransferParameters t = transferParametersFor(p);
        EXPECT_EQ(t.startDelaySeconds, c.delay) << c.board << c.zor;
        EXPECT_EQ(t.blockSize, c.block) << c.board << c.zor;
        EXPECT_EQ(t.resetWaitSeconds, c.reset) << c.board << c.zor;
        EXPECT_EQ(t.wholeFileFirst, c.whole) << c.board << c.zor;
    }
}

// ------------------------------------------------- LOGIC BD II, 102400 bytes

TEST(LocalFlash, LogicBoard2TimelineInVirtualTime) {
    LocalFlashWorld w;
    w.attach(localPrinter(LinkKind::Usb, kLogicBd2Id));
    w.find();
    ASSERT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready..");
    ASSERT_EQ(w.controls.text(Control::logicBoardText), "LOGIC BD II ROHS");
    const Bytes image = imageBytes(102400, "V2.50");
    w.image(image);

    // What the worker's ending sees of the flag.
    std::optional<bool> flagAtReprobe, flagAtHide;
    const auto ui = std::this_thread::get_id();
    w.hooked.setHook([&](Kind kind, Control c, const std::string& text) {
        if (std::this_thread::get_id() == ui) return;
        if (kind == Kind::Text && c == Control::statusText && text == "Probing for printers")
            flagAtReprobe = w.state.flashInProgress.load();
        if (kind == Kind::Hide && c == Control::flashButton)
            flagAtHide = w.state.flashInProgress.load();
    });
    w.clock.clearPauses();
    const uint64_t start = w.clock.tickMs();

    const auto out = w.flash();
    ASSERT_TRUE(out.started);
    ASSERT_TRUE(out.ended);

    // The program lines, with the virtual time of each text.
    const auto status = w.hooked.timed(Control::programStatusText, start);
    ASSERT_EQ(status.size(), 5u);
    EXPECT_EQ(status[0].text, "Printer responding");
    const uint64_t t0 = status[1].atMs;  // the worker starts
    EXPECT_EQ(status[1], (HookedControls::Timed{t0, "Delaying 15 seconds"}));
    EXPECT_EQ(status[2], (HookedControls::Timed{t0 + 15000, "Programming 100 KBytes"}));
    EXPECT_EQ(status[3], (HookedControls::Timed{t0 + 18000, "Waiting for reset"}));
    EXPECT_EQ(status[4], (HookedControls::Timed{t0 + 43000, "Printer successfully flashed"}));

    std::vector<HookedControls::Timed> expected;
    for (uint32_t n = 0; n < 15; ++n)
        expected.push_back({t0 + n * 1000, std::to_string(n) + " seconds elapsed"});
    for (const std::string& s : programmed(102400, 512)) expected.push_back({t0 + 17000, s});
    expected.push_back({t0 + 17000, "End Of File"});
    for (uint32_t n = 0; n < 25; ++n)
        expected.push_back({t0 + 18000 + n * 1000, std::to_string(n) + " seconds elapsed"});
    expected.push_back({t0 + 43000, " "});
    EXPECT_EQ(w.hooked.timed(Control::programStateText, start), expected);
    EXPECT_EQ(programmed(102400, 512).front(), "0 KBytes programmed\r\n");
    EXPECT_EQ(programmed(102400, 512).back(), "100 KBytes programmed\r\n");
    EXPECT_EQ(programmed(102400, 512).size(), 200u);

    // The same road in numbers, for the window's bar.
    using platform::TransferPhase;
    std::vector<platform::TransferProgress> numbers;
    for (uint64_t n = 0; n < 15; ++n) numbers.push_back({TransferPhase::StartDelay, n, 15});
    for (uint64_t sent = 0; sent <= 102400; sent += 512)
        numbers.push_back({TransferPhase::Data, sent, 102400});
    numbers.push_back({TransferPhase::Data, 102400, 102400});
    for (uint64_t n = 0; n < 25; ++n) numbers.push_back({TransferPhase::ResetWait, n, 25});
    numbers.push_back({});
    EXPECT_EQ(w.controls.progress(), numbers);

    // The worker's own pauses, with nothing in between.
    EXPECT_TRUE(containsSlice(w.clock.pauses(),
                              catPauses({steps(15, 1000), {2000}, {1000}, steps(25, 1000)})));

    // The printer took the file byte for byte, in 200 writes of 512.
    EXPECT_EQ(w.printer->flashImage(), image);
    // ESC I C at Find, at the flash's own re-probe and at the ending's.
    EXPECT_EQ(w.io.written(w.port), cat({kAskC, kAskC, kFlashRequest, kFlashEnter, image, kAskC}));
    const auto sizes = w.faulty.writeSizes();
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), size_t{512}), 200);

    // Notice, then the re-probe shows the new firmware.
    ASSERT_EQ(w.ui.boxes().size(), 1u);
    EXPECT_EQ(w.ui.boxes()[0].caption, "update");
    EXPECT_EQ(w.ui.boxes()[0].text, kNotice);
    EXPECT_EQ(w.controls.text(Control::currentVersionText), "V2.50");
    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready..");
    EXPECT_FALSE(w.controls.visible(Control::flashButton));
    EXPECT_EQ(w.state.printerData.firmwareVersion, "V2.50");

    // The flag was still set through the ending's re-probe and last step.
    EXPECT_EQ(flagAtReprobe, std::optional<bool>(true));
    EXPECT_EQ(flagAtHide, std::optional<bool>(true));
    expectCleanEnd(w);

    // The UI thread said "Printer responding"; the worker everything after.
    for (const auto& e : w.controls.events()) {
        if (e.kind != Kind::Text) continue;
        if (e.control != Control::programStatusText && e.control != Control::programStateText)
            continue;
        if (e.text == "Printer responding") {
            EXPECT_EQ(e.thread, ui);
        } else {
            EXPECT_NE(e.thread, ui) << e.text;
        }
    }
    // One worker, asked for above-normal priority and at least the
    // 16384-byte stack the transfer was designed for.
    ASSERT_EQ(w.threads.optionsAsked().size(), 1u);
    EXPECT_TRUE(w.threads.optionsAsked()[0].aboveNormalPriority);
    EXPECT_GE(w.threads.optionsAsked()[0].stackBytes, 16384u);
}

// ------------------------------------------------- one row per table entry

struct Row {
    const char* name;
    PrinterConfig config;
    int32_t presetBoard;  // the board code an earlier printer left, or -1
    size_t fileSize;
    uint32_t delay, block, reset;
    bool notice;
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class ParameterRow : public ::testing::TestWithParam<Row> {};

TEST_P(ParameterRow, FlashesWithItsParameters) {
    const Row& r = GetParam();
    LocalFlashWorld w;
    w.attach(r.config);
    if (r.presetBoard >= 0) w.state.printerData.boardCode = LogicBoard{r.presetBoard};
    w.find();
    ASSERT_EQ(w.state.printerCount, 1);
    const Bytes image = imageBytes(r.fileSize, "V9.99", 11);
    w.image(image);
    w.clock.clearPauses();
    w.ui.clear();
    const auto sizesBefore = w.faulty.writeSizes().size();

    const auto out = w.flash();
    ASSERT_TRUE(out.started);
    ASSERT_TRUE(out.ended);

    const size_t kb = r.fileSize / 1024;
    EXPECT_EQ(w.controls.textsOf(Control::programStatusText),
              (Lines{"Printer responding", "Delaying " + std::to_string(r.delay) + " seconds",
                     "Programming " + std::to_string(kb) + " KBytes", "Waiting for reset",
                     "Printer successfully flashed"}));
    EXPECT_EQ(w.controls.textsOf(Control::programStateText),
              concat({countdown(r.delay),
                      programmed(r.fileSize, r.block),
                      {"End Of File"},
                      countdown(r.reset),
                      {" "}}));
    EXPECT_TRUE(containsSlice(
        w.clock.pauses(), catPauses({steps(r.delay, 1000), {2000}, {1000}, steps(r.reset, 1000)})));

    EXPECT_EQ(w.printer->flashImage(), image);
    const Bytes written = w.io.written(w.port);
    const bool zor = r.config.zor1Family;
    if (zor) {
        const auto command = FLASH_PROGRAM_COMMAND(static_cast<uint32_t>(r.fileSize));
        EXPECT_TRUE(containsBytes(written, cat({Bytes(command.begin(), command.end()), image})));
        EXPECT_FALSE(containsBytes(written, kFlashRequest));
        EXPECT_FALSE(containsBytes(written, kFlashEnter));
    } else {
        const Bytes zero = r.config.link == LinkKind::Parallel ? Bytes{0x00} : Bytes{};
        EXPECT_EQ(written, cat({kAskC, kAskC, kFlashRequest, kFlashEnter, zero, image, kAskC}));
    }
    // Block sizes: full blocks, then the rest.
    const auto all = w.faulty.writeSizes();
    std::vector<size_t> blocks;
    for (size_t i = sizesBefore; i < all.size(); ++i)
        if (all[i] == r.block || (all[i] == r.fileSize % r.block && all[i] > 9))
            blocks.push_back(all[i]);
    EXPECT_EQ(blocks.size(), (r.fileSize + r.block - 1) / r.block);

    const bool noticed = !w.ui.boxes().empty() && w.ui.boxes()[0].text == kNotice;
    EXPECT_EQ(noticed, r.notice);
    EXPECT_EQ(w.controls.text(Control::currentVersionText), zor ? "R6.02" : "V9.99");
    EXPECT_FALSE(w.controls.visible(Control::flashButton));
    expectCleanEnd(w);
}

PrinterConfig withReset(PrinterConfig c, uint32_t ms) {
    c.resetMs = ms;
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    LocalFlash, ParameterRow,
    ::testing::Values(
        Row{"LogicBd1Usb", localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW2002F;FWV:V1.05;"), -1, 5000,
            15, 512, 25, true},
        Row{"LogicBd2Parallel", localPrinter(LinkKind::Parallel, kLogicBd2Id), -1, 5000, 15, 512,
            25, false},
        Row{"Mv38StandardUsb", localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3002F;FWV:V3.40;"), -1,
            20000, 3, 512, 15, false},
        Row{"Mv38DualDriverParallel",
            localPrinter(LinkKind::Parallel, "MFG:KV;MDL:ZOW3003F;FWV:V4.02;"), -1, 3000, 3, 512,
            15, false},
        Row{"MvqPlusUsb", localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3004F;FWV:V5.12;"), -1, 20000,
            3, 8192, 35, false},
        Row{"SitaraParallel", localPrinter(LinkKind::Parallel, "MFG:KV;MDL:ZOW3004G;FWV:V6.01;"),
            -1, 9000, 3, 8192, 35, false},
        // Any other combination: a board code no row names, left by an
        // earlier printer, on a printer whose version sets none. No reset
        // wait, so this printer comes back at once.
        Row{"OtherCombination",
            withReset(localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW9000F;FWV:V9.00;"), 0), 9, 1500, 0,
            512, 0, false}));

// ZOR1X: no flash-mode requests, the whole file announced by the command.
TEST(LocalFlash, Zor1xGetsTheCommandAndTheWholeFile) {
    LocalFlashWorld w;
    w.attach(zorPrinter(kZor12Id));
    w.find();
    ASSERT_EQ(w.state.printerData.boardCode, LogicBoard::Zor1x200Std);
    const Bytes image = imageBytes(20000, "R6.10", 3);
    w.image(image);
    w.clock.clearPauses();

    const auto out = w.flash();
    ASSERT_TRUE(out.started && out.ended);

    EXPECT_EQ(w.controls.textsOf(Control::programStatusText),
              (Lines{"Printer responding", "Delaying 0 seconds", "Programming 19 KBytes",
                     "Waiting for reset", "Printer successfully flashed"}));
    EXPECT_EQ(w.controls.textsOf(Control::programStateText),
              concat({{"8 KBytes programmed\r\n", "16 KBytes programmed\r\n",
                       "19 KBytes programmed\r\n", "End Of File"},
                      countdown(8),
                      {" "}}));
    EXPECT_TRUE(containsSlice(w.clock.pauses(), catPauses({{2000}, {1000}, steps(8, 1000)})));
    const auto command = FLASH_PROGRAM_COMMAND(20000);
    const Bytes written = w.io.written(w.port);
    EXPECT_TRUE(containsBytes(written, cat({Bytes(command.begin(), command.end()), image})));
    EXPECT_FALSE(containsBytes(written, kFlashRequest));
    EXPECT_EQ(w.printer->flashImage(), image);
    EXPECT_TRUE(w.ui.boxes().empty());  // no notice: board code 7
    // The ID tells the new version; the emulated C reply its four characters.
    EXPECT_EQ(w.state.printerData.firmwareVersion, "R6.10");
    EXPECT_EQ(w.controls.text(Control::currentVersionText), "VR6.1");
    expectCleanEnd(w);
}

struct HeaderCase {
    const char* name;
    Bytes file;
    std::optional<Bytes> payload;  // what must reach the printer; nothing: no flash
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class Zor1xaHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Zor1xaHeader, PayloadBehindAValidHeaderOnly) {
    const HeaderCase& c = GetParam();
    LocalFlashWorld w;
    w.attach(zorPrinter(kZor12AId));
    w.find();
    ASSERT_EQ(w.state.printerData.boardCode, LogicBoard::Zor1xa200AdjustPresenter);
    w.image(c.file);

    const auto out = w.flash();
    ASSERT_TRUE(out.started && out.ended);

    const Bytes written = w.io.written(w.port);
    if (c.payload) {
        const auto command = FLASH_PROGRAM_COMMAND(static_cast<uint32_t>(c.payload->size()));
        EXPECT_TRUE(
            containsBytes(written, cat({Bytes(command.begin(), command.end()), *c.payload})));
        EXPECT_EQ(w.printer->flashImage(), *c.payload);
        EXPECT_EQ(w.controls.textsOf(Control::programStatusText).back(),
                  "Printer successfully flashed");
    } else {
        // Refused: nothing sent, no word, no reset wait.
        EXPECT_FALSE(containsBytes(written, Bytes{0x1A, 0x75, 0xAA, 0x55, 0x80}));
        EXPECT_EQ(w.controls.textsOf(Control::programStatusText).back(),
                  "Programming " + std::to_string(c.file.size() / 1024) + " KBytes");
        EXPECT_TRUE(w.ui.boxes().empty());
    }
    expectCleanEnd(w);
}

Bytes headed(uint8_t major, uint8_t minor) {
    const Bytes payload = imageBytes(10000, "R7.00", 5);
    return buildHeadedImage(payload.data(), payload.size(), major, minor);
}
Bytes corrupt(Bytes b, size_t at) {
    b[at] ^= 0x01;
    return b;
}
// The check byte's complement broken, the whole-file sum kept.
Bytes badComplement(Bytes b) {
    b[kHeaderCheckByteOffset + 1] += 1;
    b[kHeaderFixupOffset + 1] -= 1;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    LocalFlash, Zor1xaHeader,
    ::testing::Values(
        HeaderCase{"ValidHeader", headed(5, 12), imageBytes(10000, "R7.00", 5)},
        HeaderCase{"Version513", headed(5, 13), imageBytes(10000, "R7.00", 5)},
        HeaderCase{"NoMagic", imageBytes(10022, "R7.00", 5), imageBytes(10022, "R7.00", 5)},
        // A payload byte changed: the whole-file sum is wrong.
        HeaderCase{"WrongChecksum", corrupt(headed(5, 12), 500), corrupt(headed(5, 12), 500)},
        HeaderCase{"ComplementMismatch", badComplement(headed(5, 12)), std::nullopt},
        HeaderCase{"OtherHeaderVersion", headed(5, 14), std::nullopt}));

TEST(LocalFlash, ExactMultipleOfTheBlockEndsWithAnEmptyPass) {
    for (const bool zor : {false, true}) {
        LocalFlashWorld w;
        w.attach(zor ? zorPrinter(kZor12Id)
                     : localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3004F;FWV:V5.12;"));
        w.find();
        const Bytes image = imageBytes(16384);
        w.image(image);
        const auto before = w.faulty.writeSizes().size();
        const auto out = w.flash();
        ASSERT_TRUE(out.started && out.ended);
        const auto states = w.controls.textsOf(Control::programStateText);
        const auto eof = std::find(states.begin(), states.end(), "End Of File");
        ASSERT_NE(eof, states.end());
        EXPECT_EQ(Lines(eof - 2, eof + 1),
                  (Lines{"8 KBytes programmed\r\n", "16 KBytes programmed\r\n", "End Of File"}))
            << zor;
        const auto sizes = w.faulty.writeSizes();
        EXPECT_EQ(std::count(sizes.begin() + static_cast<long>(before), sizes.end(), size_t{8192}),
                  2);
        EXPECT_EQ(std::count(sizes.begin() + static_cast<long>(before), sizes.end(), size_t{0}), 0);
        EXPECT_EQ(w.printer->flashImage(), image);
    }
}

TEST(LocalFlash, EmptyFile) {
    for (const bool zor : {false, true}) {
        LocalFlashWorld w;
        w.attach(zor ? zorPrinter(kZor12Id) : localPrinter(LinkKind::Usb, kLogicBd2Id));
        w.find();
        w.image({});
        const auto out = w.flash();
        ASSERT_TRUE(out.started && out.ended);
        const uint32_t delay = zor ? 0 : 15, reset = zor ? 8 : 25;
        EXPECT_EQ(
            w.controls.textsOf(Control::programStatusText),
            (Lines{"Printer responding", "Delaying " + std::to_string(delay) + " seconds",
                   "Programming 0 KBytes", "Waiting for reset", "Printer successfully flashed"}));
        EXPECT_EQ(w.controls.textsOf(Control::programStateText),
                  concat({countdown(delay), {"End Of File"}, countdown(reset), {" "}}));
        if (zor) {
            const auto command = FLASH_PROGRAM_COMMAND(0);
            EXPECT_TRUE(containsBytes(w.io.written(w.port), Bytes(command.begin(), command.end())));
        }
        EXPECT_TRUE(w.printer->flashImage().empty());
        expectCleanEnd(w);
    }
}

// --------------------------------------------------------------- the mends

TEST(LocalFlash, ShortWritesAreWrittenToTheEnd) {
    LocalFlashWorld w;
    PrinterConfig config = localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3004F;FWV:V5.12;");
    config.writeLimit = 3000;  // takes at most 3000 bytes a write
    w.attach(config);
    w.find();
    const Bytes image = imageBytes(20000);
    w.image(image);
    w.clock.clearPauses();
    const auto out = w.flash();
    ASSERT_TRUE(out.started && out.ended);
    EXPECT_EQ(w.printer->flashImage(), image);
    EXPECT_EQ(w.controls.textsOf(Control::programStatusText).back(),
              "Printer successfully flashed");
    // 8192 takes three writes (3000, 3000, 2192), so two 100 ms pauses per
    // full block and one for the last (3616: 3000, 616).
    EXPECT_TRUE(containsSlice(w.clock.pauses(), catPauses({{2000}, steps(5, 100), {1000}})));
    expectCleanEnd(w);
}

// usblp fetches ahead of the reads, so what the printer sent before a
// request would be read as its answer: every request (status, flash mode)
// goes out right after stale input was dropped; the image blocks, which
// get no answer, and the ZOR1 programming command do not wait for that.
TEST(LocalFlash, EveryRequestFollowsADiscardOfStaleInput) {
    struct Case {
        const char* name;
        PrinterConfig printer;
        std::vector<size_t> requestSizes;  // each must follow a discard
        std::vector<size_t> unaskedSizes;  // none may
    };
    for (const Case& c : {Case{"ESC requests",
                               localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3004F;FWV:V4.10;"),
                               {3, 4},
                               {512}},
                          Case{"ZOR1 requests", zorPrinter(kZor12Id), {3, 6}, {9, 8192}}}) {
        SCOPED_TRACE(c.name);
        LocalFlashWorld w;
        w.attach(c.printer);
        w.find();
        w.image(imageBytes(20000, "R6.10", 3));
        ASSERT_TRUE(w.flash().ended);
        const std::vector<size_t> events = w.faulty.events();
        std::map<size_t, size_t> seen;
        for (size_t i = 0; i < events.size(); ++i) {
            const size_t n = events[i];
            if (n == testing::FaultyDeviceIo::kDiscard) continue;
            ++seen[n];
            const bool afterDiscard = i > 0 && events[i - 1] == testing::FaultyDeviceIo::kDiscard;
            if (std::count(c.requestSizes.begin(), c.requestSizes.end(), n)) {
                EXPECT_TRUE(afterDiscard) << "a " << n << "-byte request at event " << i;
            }
            if (std::count(c.unaskedSizes.begin(), c.unaskedSizes.end(), n)) {
                EXPECT_FALSE(afterDiscard) << "a " << n << "-byte write at event " << i;
            }
        }
        for (size_t n : c.requestSizes) EXPECT_GT(seen[n], 0u) << n;
        for (size_t n : c.unaskedSizes) EXPECT_GT(seen[n], 0u) << n;
    }
}

// usblp can hand over a status the printer offered on its own where the
// reply to ESC "IA" 0x0F is expected: on USB only, a plain status without
// "FLASH READY" gets one more read 100 ms later, and that reply is judged.
TEST(LocalFlash, AStatusAheadOfFlashReadyIsReadPastOnUsbOnly) {
    const auto with = [](PrinterConfig c, std::function<void(PrinterConfig&)> change) {
        change(c);
        return c;
    };
    const auto late = [](PrinterConfig& c) { c.lateFlashReady = true; };
    const PrinterConfig usb = localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3004F;FWV:V5.12;");
    const Pauses reply{150, 100}, nothing{100, 100};  // a status read; an empty read
    struct Case {
        const char* name;
        PrinterConfig printer;
        bool flashes;
        Pauses pauses;  // from the write of ESC "IA" 0x0F to the verdict
    } cases[] = {
        {"USB, FLASH READY behind", with(usb, late), true, catPauses({{500}, reply, {100}, reply})},
        {"USB, nothing behind",
         with(usb,
              [](auto& c) {
                  c.flashReadyMissing = true;
                  c.statusStaysPending = false;
              }),
         false, catPauses({{500}, reply, {100}, nothing})},
        {"USB, another first byte",
         with(usb,
              [&](auto& c) {
                  late(c);
                  c.statusReplyOverride = Bytes{'?', '0', '0', 0, 0};
              }),
         false,
         {500, 100}},
        {"parallel", with(localPrinter(LinkKind::Parallel, kLogicBd2Id), late), false,
         catPauses({{500}, reply})},
        {"ZOR1", with(zorPrinter(kZor12Id), late), true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalFlashWorld w;
        w.attach(c.printer);
        w.find();
        w.image(imageBytes(20000));
        w.ui.clear();
        std::optional<size_t> entry;
        std::optional<Pauses> pauses;
        w.faulty.failWritesWhen([&](const uint8_t* data, size_t length) {
            if (Bytes(data, data + length) == kFlashEnter) entry = w.clock.pauses().size();
            return false;
        });
        const auto verdict = [&] {
            const Pauses all = w.clock.pauses();
            const size_t from = entry.value_or(all.size());
            if (!pauses) pauses = Pauses(all.begin() + static_cast<ptrdiff_t>(from), all.end());
        };
        w.hooked.setHook([&](Kind kind, Control control, const std::string& text) {
            if (kind == Kind::Text && control == Control::programStatusText &&
                text.rfind("Delaying", 0) == 0) {
                verdict();
            }
        });
        const auto out = w.flash();
        verdict();

        EXPECT_EQ(out.started, c.flashes);
        EXPECT_EQ(w.ui.boxTexts(),
                  c.flashes ? Lines{} : Lines{"Failed to entered flash programming mode"});
        if (c.flashes) {
            EXPECT_EQ(w.printer->flashImage(), imageBytes(20000));
        }
        EXPECT_EQ(pauses, c.pauses);
        expectCleanEnd(w);
    }
}

TEST(LocalFlash, RefusedWhileAFlashRuns) {
    LocalFlashWorld w;
    w.attach(localPrinter(LinkKind::Usb, kLogicBd2Id));
    w.find();
    w.state.flashInProgress = true;
    w.controls.clearEvents();
    EXPECT_FALSE(FlashPrinterNow(w.ctx, w.hooked, w.state.printerData));
    EXPECT_TRUE(w.controls.events().empty());
    EXPECT_EQ(w.threads.startsAsked(), 0u);
    w.state.flashInProgress = false;
}

TEST(LocalFlash, NoFlashAfterTheQuitRequest) {
    LocalFlashWorld w;
    w.attach(localPrinter(LinkKind::Usb, kLogicBd2Id));
    w.find();
    w.image(imageBytes(2048));
    auto options = w.io.options(w.port);
    options.deviceIdFails = true;
    w.io.setOptions(w.port, options);

    const auto out = w.flash();
    EXPECT_FALSE(out.started);
    EXPECT_EQ(w.ui.quitCode(), 0);
    EXPECT_EQ(w.ui.boxTexts().back(), "Cannot find attached KV printer, exiting ");
    EXPECT_FALSE(containsBytes(w.io.written(w.port), kFlashRequest));
    EXPECT_EQ(w.threads.startsAsked(), 0u);
    expectCleanEnd(w);
}

// A read error while streaming: the box says which file and what went
// wrong, in the worker's caption, and the trace has it.
TEST(LocalFlash, ReadErrorIsShownWithTheFileAndTraced) {
    LocalFlashWorld w;
    w.attach(localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3004F;FWV:V5.12;"));
    w.find();
    w.image(imageBytes(20000));
    w.ui.clear();
    w.files.failReadsAfter(8192);
    ASSERT_TRUE(w.flash().ended);

    const std::string path = w.state.firmwareFileName;
    ASSERT_FALSE(w.ui.boxes().empty());
    EXPECT_EQ(w.ui.boxes()[0].caption, std::optional<std::string>("ProgramFlash"));
    EXPECT_EQ(w.ui.boxes()[0].text, "FW file read error = " + path + " (Input/output error)");
    // The trace escapes what it did not write (a Windows path's backslashes).
    EXPECT_TRUE(w.trace.contains("ProgramFlash - FW file read error = " +
                                 platform::escapeDeviceText(path) + " (Input/output error)\r\n"));
    // Only the block read before the error went out.
    EXPECT_EQ(w.printer->flashImage().size(), 8192u);
}

// --------------------------------------------------------------- the faults

struct Fault {
    const char* name;
    PrinterConfig config;
    // Sets the fault up once the printer was found.
    std::function<void(LocalFlashWorld&)> arm;
    bool workerStarts;
    Lines boxes;  // every box from the flash on, in order ("*" ends a prefix)
    std::optional<std::string> lastStatusLine;  // programStatusText at the end
    // The printer never heard of a flash: nothing after the re-probe.
    bool printerLeftAlone = false;
    // The image shrinks while the worker reads it.
    bool shrinksTheImage = false;
};
void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

bool matches(const std::string& pattern, const std::string& text) {
    if (!pattern.empty() && pattern.back() == '*')
        return text.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
    return pattern == text;
}

class LocalFault : public ::testing::TestWithParam<Fault> {};

TEST_P(LocalFault, EndsWithItsMessageAndEverythingBack) {
    const Fault& f = GetParam();
#ifdef _WIN32
    // Windows lets no one cut a file another handle reads without sharing
    // writes: there the image cannot shrink under the worker.
    if (f.shrinksTheImage) GTEST_SKIP() << "an open image cannot be cut on Windows";
#endif
    LocalFlashWorld w;
    w.attach(f.config);
    w.find();
    w.image(imageBytes(20000));
    w.ui.clear();
    if (f.arm) f.arm(w);
    const uint64_t start = w.clock.tickMs();
    const size_t receivedBefore = w.printer->received().size();

    const auto out = w.flash();
    // No wait beyond its bound: a refused entry is a few pauses, a failed
    // transfer skips the reset wait.
    const bool flashed = f.lastStatusLine == "Printer successfully flashed";
    const uint64_t bound = !f.workerStarts ? 5000 : flashed ? 50000 : 10000;
    EXPECT_LT(w.clock.tickMs() - start, bound);
    EXPECT_EQ(out.started, f.workerStarts);
    if (out.started) {
        EXPECT_TRUE(out.ended);
    }

    const Lines boxes = w.ui.boxTexts();
    ASSERT_EQ(boxes.size(), f.boxes.size()) << ::testing::PrintToString(boxes);
    for (size_t i = 0; i < boxes.size(); ++i)
        EXPECT_TRUE(matches(f.boxes[i], boxes[i])) << boxes[i];
    if (f.lastStatusLine) {
        const Lines status = w.controls.textsOf(Control::programStatusText);
        ASSERT_FALSE(status.empty());
        EXPECT_EQ(status.back(), *f.lastStatusLine);
    }
    // A failure is never reported as a flash.
    if (f.lastStatusLine != "Printer successfully flashed") {
        const Lines status = w.controls.textsOf(Control::programStatusText);
        EXPECT_EQ(std::count(status.begin(), status.end(), "Printer successfully flashed"), 0);
        EXPECT_EQ(std::count(status.begin(), status.end(), "Waiting for reset"), 0);
    }
    if (f.printerLeftAlone) {
        const Bytes received = w.printer->received();
        EXPECT_FALSE(containsBytes(
            Bytes(received.begin() + static_cast<ptrdiff_t>(receivedBefore), received.end()),
            kFlashRequest));
        EXPECT_EQ(w.printer->flashSummary().flashes, 0u);
        EXPECT_EQ(w.printer->flashPhase(), emulator::FlashPhase::Idle);
    }
    expectCleanEnd(w);
}

PrinterConfig mvq() { return localPrinter(LinkKind::Usb, "MFG:KV;MDL:ZOW3004F;FWV:V5.12;"); }
PrinterConfig mvqWith(std::function<void(PrinterConfig&)> change) {
    PrinterConfig c = mvq();
    change(c);
    return c;
}

void failWritesStartingWith(LocalFlashWorld& w, Bytes prefix) {
    w.faulty.failWritesWhen([prefix](const uint8_t* data, size_t length) {
        return length >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data);
    });
}

const std::string kNotReady = "ZOW3004F printer is NOT ready, resolve and try again  USB";

INSTANTIATE_TEST_SUITE_P(
    LocalFlash, LocalFault,
    ::testing::Values(
        Fault{"NotReady",
              mvqWith([](auto& c) { c.statusByte3 = 0x01; }),
              nullptr,
              false,
              {kNotReady},
              std::nullopt},
        Fault{"Busy",
              mvqWith([](auto& c) { c.statusByte4 = 0x20; }),
              nullptr,
              false,
              {kNotReady},
              std::nullopt},
        Fault{"NoFlashReady",
              mvqWith([](auto& c) { c.flashReadyMissing = true; }),
              nullptr,
              false,
              {"Failed to entered flash programming mode"},
              "Printer responding"},
        Fault{"SilentAfterFlashRequest",
              mvqWith([](auto& c) { c.silentAfterFlashRequest = true; }),
              nullptr,
              false,
              {"Could not read status back"},
              "Printer responding"},
        Fault{"SilentAfterFlashRequestParallel",
              [] {
                  PrinterConfig c = localPrinter(LinkKind::Parallel, kLogicBd2Id);
                  c.silentAfterFlashRequest = true;
                  return c;
              }(),
              nullptr,
              false,
              {"Failed to entered flash programming mode"},
              "Printer responding"},
        Fault{"FlashRequestNotWritten",
              mvq(),
              [](LocalFlashWorld& w) { failWritesStartingWith(w, kFlashRequest); },
              false,
              {"Error 1bFR"},
              "Printer responding"},
        Fault{"FlashEntryNotWritten",
              mvq(),
              [](LocalFlashWorld& w) { failWritesStartingWith(w, kFlashEnter); },
              false,
              {"Error 1bIA"},
              "Printer responding"},
        Fault{"ParallelZeroNotWritten",
              localPrinter(LinkKind::Parallel, kLogicBd2Id),
              [](LocalFlashWorld& w) {
                  w.faulty.failWritesWhen(
                      [](const uint8_t* d, size_t n) { return n == 1 && d[0] == 0x00; });
              },
              false,
              {"Benign write of 0 failed"},
              "Printer responding"},
        Fault{"ThreadDoesNotStart",
              mvq(),
              [](LocalFlashWorld& w) { w.threads.setFailStarts(true); },
              false,
              {"Flash update thread did not start"},
              "Printer responding"},
        Fault{"NoHandleAtFlashTime",
              mvq(),
              [](LocalFlashWorld& w) {
                  // Gone between the re-probe and the flash's own open.
                  w.hooked.setHook([&w](Kind kind, Control c, const std::string& text) {
                      if (kind == Kind::Text && c == Control::statusText &&
                          text == "Found Printer - Printer ready..") {
                          auto o = w.io.options(w.port);
                          o.openFails = true;
                          w.io.setOptions(w.port, o);
                      }
                  });
              },
              false,
              {"Programming could NOT get printer handle"},
              std::nullopt},
        // The image is opened before flash mode, so a file that cannot be
        // read leaves the printer as it was.
        Fault{"FileDoesNotOpen",
              mvq(),
              [](LocalFlashWorld& w) { w.state.firmwareFileName = w.dir.file("missing.bin"); },
              false,
              {"FW file DID NOT open"},
              std::nullopt,
              true},
        Fault{"FileIsAFolder",
              mvq(),
              [](LocalFlashWorld& w) { w.state.firmwareFileName = w.dir.path().string(); },
              false,
              {"FW file DID NOT open"},
              std::nullopt,
              true},
        // A file that fails while it is streamed is named, and is no flash.
        Fault{"FileShrinksWhileStreamed",
              mvq(),
              [](LocalFlashWorld& w) {
                  w.hooked.setHook([&w](Kind kind, Control c, const std::string& text) {
                      if (kind == Kind::Text && c == Control::programStateText &&
                          text == "8 KBytes programmed\r\n") {
                          std::filesystem::resize_file(w.state.firmwareFileName, 100);
                      }
                  });
              },
              true,
              {"FW file read error = *", "GetPrinterID - Error = *",
               "Cannot find attached KV printer, exiting "},
              "Programming 19 KBytes",
              false,
              true},
        Fault{"DiskErrorWhileStreamed",
              mvq(),
              [](LocalFlashWorld& w) { w.files.failReadsAfter(8192); },
              true,
              {"FW file read error = *", "GetPrinterID - Error = *",
               "Cannot find attached KV printer, exiting "},
              "Programming 19 KBytes"},
        Fault{"BlockWriteFails",
              mvq(),
              [](LocalFlashWorld& w) {
                  int blocks = 0;
                  w.faulty.failWritesWhen([blocks](const uint8_t*, size_t n) mutable {
                      return n == 8192 && ++blocks == 2;
                  });
              },
              true,
              {"Write flash error = Dec = 5, Hex = 5", "GetPrinterID - Error = *",
               "Cannot find attached KV printer, exiting "},
              "Programming 19 KBytes"},
        Fault{"LinkDroppedMidImage",
              mvqWith([](auto& c) { c.dropAfterImageBytes = 10000; }),
              nullptr,
              true,
              {"Write flash error = Dec = *", "GetPrinterID - Error = *",
               "Cannot find attached KV printer, exiting "},
              "Programming 19 KBytes"},
        Fault{"NeverComesBack",
              mvqWith([](auto& c) { c.neverComesBack = true; }),
              nullptr,
              true,
              {"GetPrinterID - Error = *", "Cannot find attached KV printer, exiting "},
              "Printer successfully flashed"},
        Fault{"ProgramCommandNotWritten",
              zorPrinter(kZor12Id),
              [](LocalFlashWorld& w) {
                  failWritesStartingWith(w, {0x1A, 0x75, 0xAA, 0x55, 0x80});
              },
              true,
              {"Error HW Programming Command"},
              "Programming 19 KBytes"},
        Fault{"ZorFileShorterThanMeasured",
              zorPrinter(kZor12Id),
              [](LocalFlashWorld& w) {
                  // The file shrinks between its measuring and its reading.
                  w.hooked.setHook([&w](Kind kind, Control c, const std::string& text) {
                      if (kind == Kind::Text && c == Control::programStatusText &&
                          text.rfind("Programming ", 0) == 0) {
                          std::filesystem::resize_file(w.state.firmwareFileName, 100);
                      }
                  });
              },
              true,
              {"FW file read error = *"},
              "Programming 19 KBytes",
              false,
              true}));

}  // namespace
}  // namespace kv
