#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "printer/discovery/EthernetDiscovery.h"
#include "tests/support/LoopbackPrinter.h"
#include "tests/support/SimWorld.h"

namespace kv::ethtest {
namespace {

using platform::Control;
using Bytes = std::vector<uint8_t>;

// A printer emulator on a loopback port and the application around it.
struct FindWorld : testing::SimWorld {
    explicit FindWorld(std::string deviceId) : peer(config(std::move(deviceId)), &clock) {
        network.setBounds({1000, 300, 1000});
        peer.typeInto(state);
        state.printerCount = 7;  // left alone
        state.activePortType = PORT_TYPE_USB;
    }
    static emulator::PrinterConfig config(std::string deviceId) {
        emulator::PrinterConfig c;
        c.deviceId = std::move(deviceId);
        return c;
    }
    bool find() { return findEthernetPrinter(ctx, controls, state.printerData); }

    testing::LoopbackPrinter peer;
    emulator::PrinterModel& model = peer.model;
};

constexpr Control kProgramFields[] = {Control::programStatusText, Control::programStateText,
                                      Control::programGroup, Control::programStateLabel,
                                      Control::programStatusLabel};

TEST(FindEthernetPrinter, FieldsByTheEthernetRules) {
    struct Case {
        std::string deviceId;
        std::string printer, language, board, version;
        bool optionList;
    };
    const std::vector<Case> cases = {
        // A type name ending in A: AEA, which has no Ethernet language text
        // (locally the same printer shows a board-dependent AEA text).
        {"MFG:KV;MDL:ZOW2002A;CLS:PRINTER;FWV:V5.12;", "ZOW2002A", "NOT FOUND", "LOGIC BD II ROHS",
         "V5.12", false},
        {"MFG:KV;MDL:ZOW3004G;FWV:V1.20;", "ZOW3004G", "G", "LOGIC BD I", "V1.20", false},
        {"MFG:KV;MDL:ZOW3004F;FWV:V3.01;", "ZOW3004F", "FGL", "LOGIC BD II ROHS", "V3.01", false},
        {"MFG:KV;MDL:KV ZOR-38;FWV:V6.00;", "ZOR-38", "RASTER", "LOGIC BD II ROHS", "V6.00", true},
        {"MFG:KV;MDL:ZOR12A;FWV:V1.05(0)GAP_PR;", "ZOR12A", "NOT FOUND", "LOGIC BD II ROHS",
         "V1.05(0)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deviceId);
        FindWorld w(c.deviceId);
        EXPECT_TRUE(w.find());
        EXPECT_EQ(w.controls.text(Control::printerModelText), c.printer);
        EXPECT_EQ(w.controls.text(Control::portText), "ETHERNET");
        EXPECT_EQ(w.controls.text(Control::languageText), c.language);
        EXPECT_EQ(w.controls.text(Control::logicBoardText), c.board);
        EXPECT_EQ(w.controls.text(Control::currentVersionText), c.version);
        EXPECT_EQ(w.controls.enabled(Control::optionList), c.optionList);
        EXPECT_FALSE(w.controls.visible(Control::optionList));
        EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready");
        EXPECT_EQ(w.state.activePortType, PORT_TYPE_ETHERNET);
        EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_ETHERNET);
        EXPECT_EQ(w.state.printerData.portName, "ETHERNET");
        EXPECT_EQ(w.state.printerCount, 7) << "the local count is left alone";
        // Program controls opened: the Flash button waits for a file.
        EXPECT_FALSE(w.controls.enabled(Control::flashButton));
        for (Control f : kProgramFields) EXPECT_TRUE(w.controls.enabled(f));
        // ID and status only, no ESC I C; the socket is closed again.
        EXPECT_EQ(w.model.received(), Bytes({'<', 'S', 'A', '0', '8', '>', '<', 'S', 'S', '>'}));
        EXPECT_EQ(w.network.openCount(), 0u);
        EXPECT_TRUE(w.trace.contains("After finding Ethernet port type = 3"));
        EXPECT_TRUE(w.ui.boxes().empty());
    }
}

TEST(FindEthernetPrinter, StatusLineAndPauses) {
    FindWorld w("MFG:KV;MDL:ZOW3004F;FWV:V3.01;");
    EXPECT_TRUE(w.find());
    EXPECT_EQ(
        w.controls.textsOf(Control::statusText),
        (std::vector<std::string>{"Probing for printers - Operation may take up to 30 seconds",
                                  "Found Printer - Printer ready"}));
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{300, 200}));
}

TEST(FindEthernetPrinter, Failures) {
    struct Case {
        std::string name;
        std::function<void(FindWorld&)> arrange;
        std::vector<std::string> boxes;
        std::string status;
        bool connected;
    };
    const std::vector<Case> cases = {
        {"not ready",
         [](FindWorld& w) {
             auto c = w.model.config();
             c.statusByte4 = 0x02;
             w.model.setConfig(c);
         },
         {},
         "Found Printer - Printer NOT ready",
         true},
        {"busy",
         [](FindWorld& w) {
             auto c = w.model.config();
             c.statusByte4 = 0x20;
             w.model.setConfig(c);
         },
         {},
         "Found Printer - Printer NOT ready",
         true},
        {"silent printer",
         [](FindWorld& w) {
             auto c = w.model.config();
             c.silent = true;
             w.model.setConfig(c);
         },
         {"Can't get printer ID"},
         "Found Printer - Printer NOT ready",
         true},
        {"connect fails",
         [](FindWorld& w) {
             platform::sim::FaultNetwork::Faults f;
             f.connectFails = true;
             w.network.setFaults(f);
         },
         {},
         "Did not find Ethernet attached printer",
         false},
        {"nobody listens",
         [](FindWorld& w) { w.peer.server->stop(); },
         {},
         "Did not find Ethernet attached printer",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FindWorld w("MFG:KV;MDL:ZOW3004F;FWV:V3.01;");
        w.controls.preset(Control::flashButton, {"", true, true});
        w.controls.preset(Control::findEthernetButton, {"", false, true});
        w.controls.preset(Control::ethernetGroup, {"", false, true});
        c.arrange(w);
        EXPECT_FALSE(w.find());
        EXPECT_EQ(w.ui.boxTexts(), c.boxes);
        EXPECT_EQ(w.controls.text(Control::statusText), c.status);
        EXPECT_EQ(w.network.openCount(), 0u);
        if (c.connected) {
            EXPECT_EQ(w.state.activePortType, PORT_TYPE_ETHERNET);
            EXPECT_FALSE(w.controls.enabled(Control::flashButton));
            for (Control f : kProgramFields) EXPECT_FALSE(w.controls.enabled(f));
        } else {
            EXPECT_EQ(w.state.activePortType, PORT_TYPE_USB) << "no link was made";
            EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_NONE);
            EXPECT_TRUE(w.controls.enabled(Control::findEthernetButton));
            EXPECT_TRUE(w.controls.enabled(Control::ethernetGroup));
            EXPECT_TRUE(w.controls.enabled(Control::flashButton)) << "program controls untouched";
        }
    }
}

}  // namespace
}  // namespace kv::ethtest
