#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "state/FlashState.h"
#include "flash/Selection.h"
#include "tests/support/SimWorld.h"

namespace kv {
namespace {

using platform::Control;
using Box = std::pair<std::optional<std::string>, std::string>;

const std::string kVF = "Validating FW File";
const std::string kGet = "Get Firmware file";
const std::string kOk = " Firmware compatible with this printer ";
const std::string kNot = "You have selected firmware not compatible with this printer";

std::vector<Box> boxesOf(const platform::sim::ScriptedUi& ui) {
    std::vector<Box> out;
    for (const auto& b : ui.boxes()) {
        EXPECT_EQ(b.buttons, platform::BoxButtons::Ok);
        out.emplace_back(b.caption, b.text);
    }
    return out;
}

struct RuleCase {
    int32_t boardCode;
    std::string typeName;
    std::string path;
    int expected;
    std::vector<Box> boxes;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << "board " << c.boardCode << " type '" << c.typeName << "' path '" << c.path << "'";
}

class Rules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(Rules, JudgeThePathAndShowTheirOwnBoxes) {
    const RuleCase& c = GetParam();
    platform::sim::ScriptedUi ui;
    platform::sim::RecordingDialogControls controls;
    PrinterData pd;
    pd.boardCode = LogicBoard{c.boardCode};
    pd.typeName = c.typeName;
    EXPECT_EQ(ValidateFirmwareFile(ui, c.path, controls, pd), c.expected);
    EXPECT_EQ(boxesOf(ui), c.boxes);
    EXPECT_TRUE(controls.events().empty());
}

Box ok() { return {kVF, kOk}; }
Box okWith(const std::string& suffix) { return {kVF, kOk + " " + suffix}; }
Box notCompatible() { return {kVF, kNot}; }
Box bare(const std::string& text) { return {std::nullopt, text}; }

// clang-format off
INSTANTIATE_TEST_SUITE_P(PerBoard, Rules, ::testing::Values(
    RuleCase{0, "", "/any/thing.txt", 1, {{kVF, "LBI FOUND"}}},
    // board 1: the family in the type name decides, tried ZOP, ZOW, ZOR-38
    RuleCase{1, "ZOP3004", "/fw/F2ZOP_v1.bin", 1, {okWith("F2ZOP")}},
    RuleCase{1, "ZOP3004", "/fw/F2ZGP_v1.bin", 1, {okWith("F2ZGP")}},
    RuleCase{1, "ZOP3004", "/fw/F2ZGP_F2ZOP.bin", 1, {okWith("F2ZOP")}},
    RuleCase{1, "ZOP3004", "/fw/F2ZOW_v1.bin", 0, {bare("Invalid file for ZOP printer")}},
    RuleCase{1, "ZOW3004F", "/fw/F2ZOW_v1.bin", 1, {okWith("F2ZOW")}},
    RuleCase{1, "ZOW3004F", "/fw/F2ZGW_v1.bin", 1, {okWith("F2ZGW")}},
    RuleCase{1, "ZOW3004F", "/fw/f2zow_v1.bin", 0, {bare("Invalid file for ZOW printer")}},
    RuleCase{1, "ZOR-38X", "/fw/F2ZOR1_a.bin", 1, {okWith("F2ZOR1")}},
    RuleCase{1, "ZOR-38X", "/fw/FWZOR1_a.bin", 1, {okWith("FWZOR1")}},
    RuleCase{1, "ZOR-38X", "/fw/F2ZOR_a.bin", 0, {bare("Invalid file for ZOR-38 printer")}},
    RuleCase{1, "ZOPZOW", "/fw/F2ZOW_v1.bin", 0, {bare("Invalid file for ZOP printer")}},
    RuleCase{1, "ZOR38", "/fw/F2ZOR1_a.bin", 0, {}},
    RuleCase{1, "zop3004", "/fw/F2ZOP_v1.bin", 0, {}},
    RuleCase{1, "", "/fw/F2ZOP_v1.bin", 0, {}},
    RuleCase{2, "", "/fw/F2ZOR_V3.bin", 1, {}},
    RuleCase{2, "", "/fw/F2ZOR_X3.bin", 1, {}},
    RuleCase{2, "", "/fw/F2ZOR_XV3.bin", 1, {}},
    RuleCase{2, "", "/fw/F2ZOR_V2.bin", 0, {{kVF, "Invalid file for MV38 printer"}}},
    RuleCase{2, "", "/fw/F2ZGR_V3.bin", 0, {{kVF, "Invalid file for MV38 printer"}}},
    RuleCase{3, "", "/any/thing.txt", 1, {}},
    RuleCase{4, "", "/fw/FMVQ12.bin", 1, {ok()}},
    RuleCase{4, "", "/fw/fmvq12.bin", 0, {notCompatible()}},
    RuleCase{5, "", "/fw/F2KV1_5.bin", 1, {ok()}},
    RuleCase{5, "", "/home/tech/F2KV1/a.bin", 1, {ok()}},
    RuleCase{5, "", "/home/tech/a.bin", 0, {notCompatible()}},
    RuleCase{6, "", "/fw/471KdsR6_2ds_v1.bin", 0, {}},
    RuleCase{7, "", "/fw/471KdsR6_2ds_v123.bin", 1, {ok()}},
    RuleCase{7, "", "/fw/471KdsR6_2xyz-42.bin", 1, {ok()}},
    RuleCase{7, "", "/fw/471KdsR6_2xyz-42.BIN", 0, {notCompatible()}},
    RuleCase{7, "", "/fw/471KdsR6_2xyz.bin", 0, {notCompatible()}},
    RuleCase{7, "", "/fw/other-42.bin", 0, {notCompatible()}},
    RuleCase{7, "", "/fw/471KdsR6_3xyz-42.bin", 0, {notCompatible()}},
    RuleCase{7, "", "/fw/471KdsR6_2dsp_v1.bin", 0, {notCompatible()}},
    RuleCase{8, "", "/fw/471KdsR6_3ds_v1.bin", 1, {ok()}},
    RuleCase{8, "", "/fw/471KdsR6_3abc-42.bin", 1, {ok()}},
    RuleCase{8, "", "/fw/471KdsR6_2ds_v1.bin", 0, {notCompatible()}},
    RuleCase{9, "", "/fw/471KdsR6_2da_v123.bin", 1, {ok()}},
    RuleCase{9, "", "/fw/471KdsR6_2dm_v123.bin", 1, {ok()}},
    RuleCase{9, "", "/fw/471KdsR6_2q-42.bin", 1, {ok()}},
    RuleCase{9, "", "/fw/471KdsR6_2da_v1/readme.bin", 1, {ok()}},
    RuleCase{9, "", "/fw/471KDSR6_2DA_V123.BIN", 0, {notCompatible()}},
    RuleCase{9, "", "/fw/471KdsR6_2ds_v1.bin", 0, {notCompatible()}},
    RuleCase{10, "", "/fw/471KdsR6_3dm_v1.bin", 1, {ok()}},
    RuleCase{10, "", "/fw/471KdsR6_3da_v1.bin", 1, {ok()}},
    RuleCase{10, "", "/fw/471KdsR6_3q-42.bin", 1, {ok()}},
    RuleCase{10, "", "/fw/471KdsR6_2da_v1.bin", 0, {notCompatible()}},
    RuleCase{11, "", "/fw/471KdsR6_2dsp_v1.bin", 1, {ok()}},
    RuleCase{11, "", "/fw/471KdsR6_2q-42.bin", 1, {ok()}},
    RuleCase{11, "", "/fw/471KdsR6_2ds_v1.bin", 0, {notCompatible()}},
    RuleCase{12, "", "/fw/471KdsR6_3dsp_v1.bin", 1, {ok()}},
    RuleCase{12, "", "/fw/471KdsR6_3q-42.bin", 1, {ok()}},
    RuleCase{12, "", "/fw/471KdsR6_2dsp_v1.bin", 0, {notCompatible()}},
    RuleCase{13, "", "/fw/471KdsR6_2dmp_v1.bin", 1, {ok()}},
    RuleCase{13, "", "/fw/471KdsR6_2dap_v1.bin", 1, {ok()}},
    RuleCase{13, "", "/fw/471KdsR6_2q-42.bin", 1, {ok()}},
    RuleCase{13, "", "/fw/471KdsR6_2dm_v1.bin", 0, {notCompatible()}},
    RuleCase{14, "", "/fw/471KdsR6_3dmp_v1.bin", 1, {ok()}},
    RuleCase{14, "", "/fw/471KdsR6_3dap_v1.bin", 1, {ok()}},
    RuleCase{14, "", "/fw/471KdsR6_3q-42.bin", 1, {ok()}},
    RuleCase{14, "", "/fw/471KdsR6_2dmp_v1.bin", 0, {notCompatible()}},
    RuleCase{15, "", "/fw/KVA12v1.bin", 1, {ok()}},
    RuleCase{15, "", "/fw/471KdsR6_AEA_2dmp_v1.bin", 1, {ok()}},
    RuleCase{15, "", "/fw/471KdsR6_AEA_2dap_v1.bin", 1, {ok()}},
    RuleCase{15, "", "/fw/471KdsR6_AEA_2q-42.bin", 1, {ok()}},
    RuleCase{15, "", "/fw/KVA12V1.BIN", 0, {notCompatible()}},
    RuleCase{15, "", "/fw/471KdsR6_2q-42.bin", 0, {notCompatible()}},
    RuleCase{16, "", "/fw/KVA13v1.bin", 1, {ok()}},
    RuleCase{16, "", "/fw/471KdsR6_AEA_3dmp_v1.bin", 1, {ok()}},
    RuleCase{16, "", "/fw/471KdsR6_AEA_3dap_v1.bin", 1, {ok()}},
    RuleCase{16, "", "/fw/471KdsR6_AEA_3q-42.bin", 1, {ok()}},
    RuleCase{16, "", "/fw/KVA12v1.bin", 0, {notCompatible()}},
    RuleCase{17, "", "/fw/KVA13v1.bin", 0, {}},
    RuleCase{-1, "ZOP", "/fw/F2ZOP.bin", 0, {}}));
// clang-format on

struct FilterCase {
    int32_t boardCode;
    std::string description;
    std::string patterns;
};

TEST(FirmwareFileFilter, EveryBoardCode) {
    const std::string bin = "Bin Files (*.bin)";
    const std::vector<FilterCase> cases = {
        {-1, bin, "*.bin"},
        {0, bin, "*.bin"},
        {1, bin, "*.bin"},
        {2, bin, "*.bin"},
        {3, bin, "*.bin"},
        {4, bin, "*.bin"},
        {5, bin, "*.bin"},
        {6, bin, "*.bin"},
        {7, "ZOR12G Firmware", "471KDSR6_2DS_V*.BIN"},
        {8, "ZOR13G Firmware", "471KDSR6_3DS_V*.BIN"},
        {9, "ZOR12G Firmware", "471KDSR6_2DA_V*.BIN;471KDSR6_2DM_V*.BIN;471KDSR6_2*-42.BIN"},
        {10, "ZOR13G Firmware", "471KDSR6_3DA_V*.BIN;471KDSR6_3DM_V*.BIN;471KDSR6_3*-42.BIN"},
        {11, "ZOR12G Firmware", "471KDSR6_2DSP_V*.BIN;471KDSR6_2*-42.BIN"},
        {12, "ZOR13G Firmware", "471KDSR6_3DSP_V*.BIN;471KDSR6_3*-42.BIN"},
        {13, "ZOR12G Firmware", "471KDSR6_2DAP_V*.BIN;471KDSR6_2DMP_V*.BIN;471KDSR6_2*-42.BIN"},
        {14, "ZOR13G Firmware", "471KDSR6_3DAP_V*.BIN;471KDSR6_3DMP_V*.BIN;471KDSR6_3*-42.BIN"},
        {15, "ZOR12A Firmware",
         "KVA12V*.BIN;471KDSR6_AEA_2DAP_V*.BIN;471KDSR6_AEA_2DMP_V*.BIN;471KDSR6_AEA_2*-42.BIN"},
        {16, "ZOR13A Firmware",
         "KVA13V*.BIN;471KDSR6_AEA_3DAP_V*.BIN;471KDSR6_AEA_3DMP_V*.BIN;471KDSR6_AEA_3*-42.BIN"},
        {17, bin, "*.bin"},
    };
    for (const FilterCase& c : cases) {
        const FirmwareFileFilter f = firmwareFileFilter(LogicBoard{c.boardCode});
        EXPECT_EQ(f.description, c.description) << "board " << c.boardCode;
        EXPECT_EQ(f.patterns, c.patterns) << "board " << c.boardCode;
    }
}

// The dialog lists upper-case names that the case-exact rules then refuse.
TEST(FirmwareFileFilter, UpperCaseNamesTheFilterListsAreRejected) {
    for (int32_t board = 7; board <= 16; ++board) {
        std::stringstream patterns(firmwareFileFilter(LogicBoard{board}).patterns);
        std::string pattern;
        while (std::getline(patterns, pattern, ';')) {
            std::string name = "/FW/" + pattern;
            name.replace(name.find('*'), 1, "123");
            platform::sim::ScriptedUi ui;
            platform::sim::RecordingDialogControls controls;
            PrinterData pd;
            pd.boardCode = LogicBoard{board};
            EXPECT_EQ(ValidateFirmwareFile(ui, name, controls, pd), 0) << board << " " << name;
            EXPECT_EQ(boxesOf(ui), std::vector<Box>{notCompatible()}) << board << " " << name;
        }
    }
}

class Select : public ::testing::Test {
protected:
    testing::SimWorld w;

    void selectAccepted(LogicBoard board, const std::string& path) {
        w.state.printerData.boardCode = board;
        w.ui.queueFile(path);
        SelectFirmwareFile(w.ctx);
        ASSERT_EQ(w.state.firmwareFileName, path);
        ASSERT_TRUE(w.controls.enabled(Control::flashButton));
        w.ui.clear();
        w.controls.clearEvents();
    }
    void expectFlashButtonGone() {
        EXPECT_FALSE(w.controls.visible(Control::flashButton));
        EXPECT_FALSE(w.controls.enabled(Control::flashButton));
    }
};

TEST_F(Select, CancelShowsNoFileAndLeavesNothingToFlash) {
    selectAccepted(LogicBoard::Sitara, "/fw/F2KV1.bin");
    SelectFirmwareFile(w.ctx);  // nothing queued: the dialog is cancelled
    ASSERT_EQ(w.ui.fileRequests().size(), 1u);
    const platform::OpenFileRequest r = w.ui.fileRequests()[0];
    EXPECT_EQ(r.description, "Bin Files (*.bin)");
    EXPECT_EQ(r.patterns, "*.bin");
    EXPECT_EQ(r.defaultExtension, "bin");
    EXPECT_TRUE(r.mustExist);
    EXPECT_EQ(boxesOf(w.ui), (std::vector<Box>{{kGet, "Did not get a file to open"}}));
    EXPECT_EQ(w.state.firmwareFileName, "");
    expectFlashButtonGone();
}

TEST_F(Select, AcceptedFileMakesTheFlashButtonLive) {
    w.state.printerData.boardCode = LogicBoard::Zor1x200Adjust;
    w.controls.preset(Control::flashButton, {"", false, false});
    w.ui.queueFile("/fw/471KdsR6_2da_v123.bin");
    SelectFirmwareFile(w.ctx);
    ASSERT_EQ(w.ui.fileRequests().size(), 1u);
    EXPECT_EQ(w.ui.fileRequests()[0].description, "ZOR12G Firmware");
    EXPECT_EQ(w.ui.fileRequests()[0].patterns,
              firmwareFileFilter(LogicBoard::Zor1x200Adjust).patterns);
    EXPECT_EQ(boxesOf(w.ui), std::vector<Box>{ok()});
    EXPECT_EQ(w.state.firmwareFileName, "/fw/471KdsR6_2da_v123.bin");
    EXPECT_EQ(w.controls.text(Control::flashButton), "Flash Printer NOW");
    EXPECT_TRUE(w.controls.visible(Control::flashButton));
    EXPECT_TRUE(w.controls.enabled(Control::flashButton));
}

TEST_F(Select, SilentAcceptanceStillMakesTheButtonLive) {
    w.state.printerData.boardCode = LogicBoard::Mv38Standard;
    w.controls.preset(Control::flashButton, {"", false, false});
    w.ui.queueFile("/fw/F2ZOR_V3.bin");
    SelectFirmwareFile(w.ctx);
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_EQ(w.controls.text(Control::flashButton), "Flash Printer NOW");
    EXPECT_TRUE(w.controls.visible(Control::flashButton));
    EXPECT_TRUE(w.controls.enabled(Control::flashButton));
}

TEST_F(Select, RejectionAfterAnAcceptanceLeavesNothingToFlash) {
    selectAccepted(LogicBoard::Zor1x200Adjust, "/fw/471KdsR6_2da_v123.bin");
    w.ui.queueFile("/FW/471KDSR6_2DA_V123.BIN");
    SelectFirmwareFile(w.ctx);
    EXPECT_EQ(boxesOf(w.ui),
              (std::vector<Box>{notCompatible(), {kGet, "Invalid firmware file selected"}}));
    EXPECT_EQ(w.state.firmwareFileName, "");
    expectFlashButtonGone();
}

TEST_F(Select, RejectionWithoutABoxOfTheCheck) {
    for (auto [board, type] : {std::pair<LogicBoard, const char*>{LogicBoard::Zor1xUnsupported, ""},
                               {LogicBoard::LogicBdIIRohs, "MV38"}}) {
        w.ui.clear();
        w.state.printerData.boardCode = board;
        w.state.printerData.typeName = type;
        w.ui.queueFile("/fw/F2ZOP_471KdsR6_2ds_v1.bin");
        SelectFirmwareFile(w.ctx);
        EXPECT_EQ(boxesOf(w.ui), (std::vector<Box>{{kGet, "Invalid firmware file selected"}}))
            << static_cast<int32_t>(board);
        EXPECT_EQ(w.state.firmwareFileName, "");
        expectFlashButtonGone();
    }
}

TEST_F(Select, APathMustFitTheNameField) {
    const std::string folder = "/fw/F2KV1/";
    const std::string fits = folder + std::string(kPathSize - 1 - folder.size() - 4, 'a') + ".bin";
    ASSERT_EQ(fits.size(), kPathSize - 1);
    selectAccepted(LogicBoard::Sitara, fits);

    w.ui.queueFile(fits.substr(0, fits.size() - 4) + "a.bin");  // one character too long
    SelectFirmwareFile(w.ctx);
    EXPECT_EQ(boxesOf(w.ui), (std::vector<Box>{{kGet, "Did not get a file to open"}}));
    EXPECT_EQ(w.state.firmwareFileName, "");
    expectFlashButtonGone();

    w.ui.clear();
    w.ui.queueFile(std::string());
    SelectFirmwareFile(w.ctx);
    EXPECT_EQ(boxesOf(w.ui), (std::vector<Box>{{kGet, "Did not get a file to open"}}));
}

}  // namespace
}  // namespace kv
