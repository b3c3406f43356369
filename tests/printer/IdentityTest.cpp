#include <gtest/gtest.h>

#include "platform/sim/ScriptedUi.h"
#include "printer/Identity.h"

namespace kv {
namespace {

struct IdCase {
    const char* name;
    std::string deviceId;
    std::string typeName;
    PrinterType printerType;
    std::string firmwareVersion;
    int32_t boardCode;
    bool zor1;
    size_t boxes;
};

void PrintTo(const IdCase& c, std::ostream* os) { *os << c.name; }

class DecodeId : public ::testing::TestWithParam<IdCase> {};

TEST_P(DecodeId, DecodesEveryField) {
    const IdCase& c = GetParam();
    platform::sim::ScriptedUi ui;
    PrinterData pd;
    pd.boardCode =
        LogicBoard::Mv38DualDriver;  // a previous decode; only a version digit may change it
    pd.typeName = "previous";
    pd.deviceId = c.deviceId;
    (void)GetPrinterTypeNameFromID(ui, pd);
    GetFirmwareVersionFromID(ui, pd);
    EXPECT_EQ(pd.typeName, c.typeName);
    EXPECT_EQ(pd.printerType, c.printerType);
    EXPECT_EQ(pd.firmwareVersion, c.firmwareVersion);
    EXPECT_EQ(pd.boardCode, LogicBoard{c.boardCode});
    EXPECT_EQ(pd.isZor1Family, c.zor1);
    ASSERT_EQ(ui.boxes().size(), c.boxes);
    for (const auto& b : ui.boxes()) {
        EXPECT_FALSE(b.caption.has_value());
        EXPECT_EQ(b.text, "Printer model NOT found in ID!");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Identity, DecodeId,
    ::testing::Values(
        IdCase{"Zow", "MFG:KV;MDL:ZOW3004F;FWV:V5.12;", "ZOW3004F", PRINTER_TYPE_FGL, "V5.12", 4,
               false, 0},
        IdCase{"GSitara", "MDL:ABC12G;FWV:V6.01;", "ABC12G", PRINTER_TYPE_G, "V6.01", 5, false, 0},
        IdCase{"Zor12aGapPr", "MDL:ZOR12A;FWV:V1.02)GAP_PR;", "ZOR12A", PRINTER_TYPE_AEA, "V1.02)",
               15, true, 0},
        IdCase{"Zor12aNoMarker", "MDL:ZOR12A;FWV:V1.02;", "ZOR12A", PRINTER_TYPE_AEA, "V1.02", 7,
               true, 0},
        IdCase{"Zor13GapAndPr", "MDL:ZOR13;FWV:V1.0)GAP;X)PR;", "ZOR13", PRINTER_TYPE_FGL, "V1.0)",
               12, true, 0},
        IdCase{"Zor12GapAndPr", "MDL:ZOR12;)PR;FWV:V1;)GAP;", "ZOR12", PRINTER_TYPE_FGL, "V1", 11,
               true, 0},
        IdCase{"Zor13aGapPr", "MDL:ZOR13A;FWV:V2.0)GAP_PR;", "ZOR13A", PRINTER_TYPE_AEA, "V2.0)",
               16, true, 0},
        IdCase{"Zor1Unsupported", "MDL:ZOR1;FWV:V1.00;", "ZOR1", PRINTER_TYPE_FGL, "V1.00", 6, true,
               0},
        IdCase{"Zor1KeepsParen", "MDL:ZOR12;FWV:V1.02)GAP;", "ZOR12", PRINTER_TYPE_FGL, "V1.02)", 9,
               true, 0},
        IdCase{"NonZorKeepsParenAndMore", "MDL:ZOW1;FWV:V2.0)X Y;", "ZOW1", PRINTER_TYPE_FGL,
               "V2.0)X", 1, false, 0},
        IdCase{"VersionZeroLeavesBoard", "MDL:ZOW1;FWV:V0.9;", "ZOW1", PRINTER_TYPE_FGL, "V0.9", 3,
               false, 0},
        IdCase{"NoDigitsLeavesBoard", "MDL:ZOW1;FWV:VX;", "ZOW1", PRINTER_TYPE_FGL, "VX", 3, false,
               0},
        IdCase{"Raster", "MDL:ZOR-38 PT;FWV:V3.1;", "ZOR-38", PRINTER_TYPE_RASTER, "V3.1", 2, false,
               0},
        IdCase{"RasterAnywhereAfterKey", "MDL:X;CMT:ZOR-38;FWV:V3.1;", "ZOR-38",
               PRINTER_TYPE_RASTER, "V3.1", 2, false, 0},
        IdCase{"EmptyModel", "MDL:;FWV:V5.1;", "", PRINTER_TYPE_FGL, "V5.1", 4, false, 0},
        IdCase{"OneLetterA", "MDL:A;FWV:V5.1;", "A", PRINTER_TYPE_AEA, "V5.1", 4, false, 0},
        IdCase{"OneLetterP", "MDL:P;FWV:V5.1;", "P", PRINTER_TYPE_FGL, "V5.1", 4, false, 0},
        IdCase{"EndsAT", "MDL:KV9AT;FWV:V5.1;", "KV9AT", PRINTER_TYPE_AEA, "V5.1", 4, false, 0},
        IdCase{"EndsAP", "MDL:KV9AP;FWV:V5.1;", "KV9AP", PRINTER_TYPE_AEA, "V5.1", 4, false, 0},
        IdCase{"NoFirmwareKey", "MDL:ZOW1;", "ZOW1", PRINTER_TYPE_FGL, "Not found", 3, false, 1},
        IdCase{"NoKeysAtAll", "MFG:KV;", "previous", PRINTER_TYPE_FGL, "Not found", 3, false, 2},
        IdCase{"ModelToEnd", "FWV:V2.1;MDL:ZOW9G", "ZOW9G", PRINTER_TYPE_G, "V2.1", 1, false, 0}),
    [](const ::testing::TestParamInfo<IdCase>& info) { return info.param.name; });

TEST(Identity, TypeNameIsCutToFieldSize) {
    platform::sim::ScriptedUi ui;
    PrinterData pd;
    pd.deviceId = "MDL:" + std::string(2000, 'Q');
    ASSERT_TRUE(GetPrinterTypeNameFromID(ui, pd));
    EXPECT_EQ(pd.typeName.size(), kPrinterTextSize - 1);
}

TEST(Identity, PortTypeNames) {
    PrinterData pd;
    GetPortTypeName(pd, PORT_TYPE_PARALLEL, "");
    EXPECT_EQ(pd.portName, "PARALLEL");
    GetPortTypeName(pd, PORT_TYPE_PARALLEL, "LPT2:");
    EXPECT_EQ(pd.portName, "LPT2:");
    GetPortTypeName(pd, PORT_TYPE_SERIAL, "LPT2:");
    EXPECT_EQ(pd.portName, "SERIAL");
    GetPortTypeName(pd, PORT_TYPE_ETHERNET, "");
    EXPECT_EQ(pd.portName, "ETHERNET");
    for (PortType t : {PORT_TYPE_USB, PORT_TYPE_NONE, static_cast<PortType>(99)}) {
        GetPortTypeName(pd, t, "LPT1:");
        EXPECT_EQ(pd.portName, "USB");
    }
}

TEST(Identity, LocalLanguageTableForEveryBoardCode) {
    // Board codes 0..16 and one outside, for each printer type.
    for (int32_t board = -1; board <= 17; ++board) {
        const std::string fgl = board == 5 ? "FGL-AEA-G" : board == 4 ? "FGL-G" : "FGL";
        const std::string g = board == 5 ? "G-AEA-FGL" : board == 4 ? "G-FGL" : "G";
        const std::string aea = (board == 4 || board == 5)     ? "AEA-FGL-G"
                                : (board == 15 || board == 16) ? "AEA-G"
                                                               : fgl;
        SCOPED_TRACE(board);
        const LogicBoard code{board};
        EXPECT_EQ(languageTextLocal(PRINTER_TYPE_G, code).text, g);
        EXPECT_EQ(languageTextLocal(PRINTER_TYPE_FGL, code).text, fgl);
        EXPECT_EQ(languageTextLocal(PRINTER_TYPE_AEA, code).text, aea);
        EXPECT_EQ(languageTextLocal(PRINTER_TYPE_RASTER, code).text, "RASTER");
        EXPECT_TRUE(languageTextLocal(PRINTER_TYPE_RASTER, code).enablesOptionList);
        EXPECT_FALSE(languageTextLocal(PRINTER_TYPE_FGL, code).enablesOptionList);
        EXPECT_EQ(languageTextLocal(static_cast<PrinterType>(7), code).text, "NOT FOUND");
        EXPECT_EQ(logicBoardTextEthernet(code), board == 0 ? "LOGIC BD I" : "LOGIC BD II ROHS");
    }
}

TEST(Identity, EthernetLanguageTable) {
    EXPECT_EQ(languageTextEthernet(PRINTER_TYPE_G).text, "G");
    EXPECT_EQ(languageTextEthernet(PRINTER_TYPE_FGL).text, "FGL");
    EXPECT_EQ(languageTextEthernet(PRINTER_TYPE_RASTER).text, "RASTER");
    EXPECT_TRUE(languageTextEthernet(PRINTER_TYPE_RASTER).enablesOptionList);
    EXPECT_EQ(languageTextEthernet(PRINTER_TYPE_AEA).text, "NOT FOUND");
    EXPECT_EQ(languageTextEthernet(static_cast<PrinterType>(9)).text, "NOT FOUND");
}

TEST(Identity, LocalLogicBoardTable) {
    const char* expected[] = {"LOGIC BD I",
                              "LOGIC BD II ROHS",
                              "MV38 STANDARD",
                              "MV38 DualDriver",
                              "MVQ Plus",
                              "SITARA",
                              "ZOR1X UNSUPPORTED",
                              "ZOR1X 200dpi (Std)",
                              "ZOR1X 300dpi (Std)",
                              "ZOR1X 200dpi (Adjust)",
                              "ZOR1X 300dpi (Adjust)",
                              "ZOR1X 200dpi (Std Presenter)",
                              "ZOR1X 300dpi (Std Presenter)",
                              "ZOR1X 200dpi (Adjust Presenter)",
                              "ZOR1X 300dpi (Adjust Presenter)",
                              "ZOR1XA 200dpi (Adjust Presenter)",
                              "ZOR1XA 300dpi (Adjust Presenter)"};
    for (int32_t b = 0; b <= 16; ++b) EXPECT_EQ(logicBoardTextLocal(LogicBoard{b}), expected[b]);
    EXPECT_FALSE(logicBoardTextLocal(LogicBoard{-1}).has_value());
    EXPECT_FALSE(logicBoardTextLocal(LogicBoard{17}).has_value());
}

}  // namespace
}  // namespace kv
