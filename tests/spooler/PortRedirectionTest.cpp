#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "spooler/PortRedirection.h"
#include "tests/spooler/SpoolerTestWorld.h"

namespace kv {
namespace {

using platform::kPrinterAttributeWorkOffline;
using platform::kPrinterStatusOffline;
using testing::queue;
using testing::SpoolerWorld;

constexpr const char* kNotLocal = "Printer not USB or parallel, NOT moving to FILE: !\r\n";

TEST(DriverTables, KvNamesInOrderEndedByEnd) {
    EXPECT_EQ(kvDriverNames[0], "KV ZOP2002F PT");
    EXPECT_EQ(kvDriverNames[7], "KV ZOW3004F PT");
    EXPECT_EQ(kvDriverNames[24], "Generic / Text Only");
    EXPECT_EQ(kvDriverNames[43], "KV ZOR13A PT");
    EXPECT_EQ(kvDriverNames[44], "end");
    for (size_t i = 45; i < kvDriverNames.size(); ++i) EXPECT_TRUE(kvDriverNames[i].empty());
    EXPECT_EQ(kvDriverNames.size(), 100u);
    EXPECT_EQ(filePortName, "FILE:");
}

struct SwitchCase {
    const char* what;
    std::string port;
    std::string driver;
    uint32_t status;
    uint32_t attributes;
    bool switched;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.what; }

class OneQueue : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(OneQueue, SwitchedOnlyWhenEveryRuleAllowsAndRestored) {
    const SwitchCase& c = GetParam();
    SpoolerWorld w;
    w.spooler.addQueue(queue("Q", c.port, c.driver, c.status, c.attributes));

    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_TRUE(w.state.portsMoved);
    EXPECT_EQ(w.portOf("Q"), c.switched ? "FILE:" : c.port);
    EXPECT_EQ(w.printer.parallelPortName, c.switched ? c.port : "");
    EXPECT_EQ(
        classifyQueue(queue("Q", c.port, c.driver, c.status, c.attributes)) == QueueVerdict::Switch,
        c.switched);
    // The kept record is untouched, the working copy carries the dummy port.
    EXPECT_EQ((*w.state.savedQueueInfo)[0].portName, c.port);
    EXPECT_EQ((*w.state.workingQueueInfo)[0].portName, c.switched ? "FILE:" : c.port);

    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.portOf("Q"), c.port);
    EXPECT_EQ(w.spooler.queue("Q")->location, "loc:" + c.port);
    EXPECT_EQ(w.spooler.writes().size(), c.switched ? 2u : 0u);
    EXPECT_FALSE(w.state.portsMoved);
    EXPECT_FALSE(w.state.savedQueueInfo.has_value());
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_EQ(w.spooler.openHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, OneQueue,
    ::testing::Values(
        SwitchCase{"usb_kv", "USB001", "KV ZOW3004F PT", 0, 0, true},
        SwitchCase{"lpt_generic", "LPT1:", "Generic / Text Only", 0, 0, true},
        SwitchCase{"usb_excluded", "USB001", "KV ZOR12A", 0, 0, false},
        SwitchCase{"usb_excluded_bpp", "USB001", "KV ZOR13A BPP", 0, 0, false},
        SwitchCase{"usb_not_excluded_pt", "USB001", "KV ZOR12A PT", 0, 0, true},
        SwitchCase{"usb_kv_inside_longer_name", "USB003", "Maker KV ZOR38 v2", 0, 0, true},
        SwitchCase{"usb_kv_lower_case_driver", "USB001", "kv zow3004f pt", 0, 0, false},
        SwitchCase{"network_kv", "IP_192.0.2.5", "KV ZOW3004F PT", 0, 0, false},
        SwitchCase{"file_kv", "FILE:", "KV ZOW3004F PT", 0, 0, false},
        SwitchCase{"lower_case_usb_port", "usb001", "KV ZOW3004F PT", 0, 0, false},
        SwitchCase{"offline_status", "USB001", "KV ZOW3004F PT", kPrinterStatusOffline, 0, false},
        SwitchCase{"work_offline", "LPT2:", "KV ZOW3004F PT", 0, kPrinterAttributeWorkOffline,
                   false},
        SwitchCase{"other_status_bits", "USB001", "KV ZOW3004F PT", 0x7F, 0x3FF, true},
        SwitchCase{"usb_other_driver", "USB002", "Acme LaserJet 9", 0, 0, false}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(SetPortsToFile, TraceOfASwitchedUsbQueueAndItsRestore) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("KV1", "USB001", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    RestorePortsToOriginal(w.sys, w.state);

    std::vector<std::string> expected = {
        "SetPortsToFile - Entry\r\n",
        "============== SetPortsToFile - Printer to file = KV1, port = USB001\r\n",
        "USB001 - KV1 - Found USB port, move\r\n",
        "isPrinterKV\r\n",
        "KV ZOW3004F PT",
    };
    for (size_t i = 0; i < 8; ++i)
        expected.push_back("Testing - " + std::string(kvDriverNames[i]) + "\r\n");
    for (const char* line :
         {"Found KV printer\r\n", "Moving KV printer to file\r\n",
          "Moving KV printer to file - Passed!\r\n", "RestorePortsToOriginal - Entry\r\n",
          "RestorePortsToOriginal - Printer = KV1\r\n",
          "RestorePortsToOriginal - Original port name USB001\r\n"}) {
        expected.push_back(line);
    }
    EXPECT_EQ(w.trace.lines(), expected);
    EXPECT_EQ(w.spooler.writes(), (std::vector<std::string>{"KV1 -> FILE:", "KV1 -> USB001"}));
}

TEST(SetPortsToFile, TraceOfQueuesThatAreKept) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("Net", "IP_1", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("Off", "USB001", "KV ZOW3004F PT", kPrinterStatusOffline));
    w.spooler.addQueue(queue("Stop", "LPT1:", "KV ZOW3004F PT", 0, kPrinterAttributeWorkOffline));
    w.spooler.addQueue(queue("Excl", "USB002", "KV ZOR12A"));
    w.spooler.addQueue(queue("Other", "USB003", "Acme"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));

    std::vector<std::string> expected = {
        "SetPortsToFile - Entry\r\n",
        "============== SetPortsToFile - Printer to file = Net, port = IP_1\r\n",
        kNotLocal,
        "============== SetPortsToFile - Printer to file = Off, port = USB001\r\n",
        "USB001 - Off - Found USB port, move\r\n",
        "USB001 - Off - Printer offline status, do not move\r\n",
        kNotLocal,
        "============== SetPortsToFile - Printer to file = Stop, port = LPT1:\r\n",
        "LPT1: - Stop - Found parallel port, move\r\n",
        "LPT1: - Stop - Printer offline, do not move\r\n",
        kNotLocal,
        "============== SetPortsToFile - Printer to file = Excl, port = USB002\r\n",
        "USB002 - Excl - Found USB port, move\r\n",
        "============== SetPortsToFile - Printer to file = Other, port = USB003\r\n",
        "USB003 - Other - Found USB port, move\r\n",
        "isPrinterKV\r\n",
        "Acme",
    };
    for (std::string_view name : kvDriverNames) {
        if (name == "end") break;
        expected.push_back("Testing - " + std::string(name) + "\r\n");
    }
    expected.push_back("isPrinterKV did not find KV printer\r\n");
    expected.push_back("Printer was USB or parallel but NOT KV, NOT moving to FILE:!\r\n");
    EXPECT_EQ(w.trace.lines(), expected);
    EXPECT_TRUE(w.spooler.writes().empty());
    // Nothing switched: no journal either.
    EXPECT_TRUE(w.journal.history().empty());
}

TEST(SetPortsToFile, PortNamingBothUsbAndLptTracesBothLines) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("Q", "USB_LPT", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_TRUE(w.trace.contains("USB_LPT - Q - Found USB port, move\r\n"));
    EXPECT_TRUE(w.trace.contains("USB_LPT - Q - Found parallel port, move\r\n"));
    EXPECT_EQ(w.portOf("Q"), "FILE:");
}

TEST(SetPortsToFile, SecondCallSwitchesNothingAndEmptiesParallelPortName) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "LPT1:", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.printer.parallelPortName, "LPT1:");
    w.trace.clear();

    EXPECT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.printer.parallelPortName, "");
    EXPECT_EQ(w.trace.lines(), (std::vector<std::string>{
                                   "SetPortsToFile - Entry\r\n",
                                   "SetPortsToFile - Returning because ports already moved\r\n"}));
    EXPECT_EQ(w.spooler.writes().size(), 1u);
}

TEST(SetPortsToFile, ParallelPortNameHoldsTheLastSwitchedPortCutTo99) {
    SpoolerWorld w;
    const std::string longPort = "USB" + std::string(200, 'x');
    w.spooler.addQueue(queue("A", "LPT1:", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("B", longPort, "KV ZOR22G"));
    w.spooler.addQueue(queue("C", "USB009", "Acme"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.printer.parallelPortName, longPort.substr(0, 99));
}

TEST(RestorePortsToOriginal, WithoutSwitchOnlyTracesEntryAndClearsFlag) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.state.portsMoved = true;
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.trace.lines(), (std::vector<std::string>{"RestorePortsToOriginal - Entry\r\n"}));
    EXPECT_FALSE(w.state.portsMoved);
    EXPECT_TRUE(w.spooler.writes().empty());
}

TEST(RestorePortsToOriginal, QueueWithoutANameGetsNoPrinterLine) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("", "IP_2", "Acme"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    w.trace.clear();
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.trace.lines(),
              (std::vector<std::string>{"RestorePortsToOriginal - Entry\r\n",
                                        "RestorePortsToOriginal - Original port name IP_2\r\n"}));
}

TEST(SetPortsToFile, NoQueueAtAllShowsNoDriverBoxAndCountsAsMoved) {
    for (bool unreachable : {false, true}) {
        SCOPED_TRACE(unreachable ? "unreachable" : "empty");
        SpoolerWorld w;
        w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
        if (unreachable) {
            w.spooler.setUnreachable(true);
        } else {
            w.spooler.setListEmpty(true);
        }
        EXPECT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
        EXPECT_EQ(w.ui.boxTexts(), (std::vector<std::string>{kNoPrinterDriverText}));
        EXPECT_FALSE(w.ui.boxes()[0].caption.has_value());
        EXPECT_TRUE(w.state.portsMoved);
        EXPECT_EQ(
            w.trace.contains("EnumeratePrinters - the simulated spooler is not reachable\r\n"),
            unreachable);
        RestorePortsToOriginal(w.sys, w.state);
        EXPECT_FALSE(w.state.portsMoved);
        EXPECT_TRUE(w.spooler.writes().empty());
    }
}

TEST(SetPortsToFile, RecordsThatCannotBeHeldFailTheCall) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.setListOutOfMemory(true);
    EXPECT_FALSE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.ui.boxTexts(), (std::vector<std::string>{kNoMemoryText}));
    EXPECT_FALSE(w.state.portsMoved);
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.portOf("A"), "USB001");
}

TEST(SetPortsToFile, QueueThatWillNotOpenShowsBothBoxesAndThePassGoesOn) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("B", "USB002", "KV ZOW3004F PT"));
    w.spooler.setFailOpen("A");
    EXPECT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.ui.boxTexts(),
              (std::vector<std::string>{"SetPortToFile - Could not open printer A, (Win7 ignore)",
                                        "SetPrinter - A failed, (Win7 ignore)"}));
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_EQ(w.portOf("B"), "FILE:");
    EXPECT_TRUE(w.trace.contains("Moving KV printer to file - Passed!\r\n"));

    // The restore tries the unopened queue again, since its working port changed.
    w.spooler.setFailOpen("A", false);
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_EQ(w.portOf("B"), "USB002");
    EXPECT_EQ(w.ui.boxes().size(), 2u);
    EXPECT_FALSE(w.journal.content().has_value());
}

TEST(SetPortsToFile, RefusedChangeShowsSetPrinterBoxOnly) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("B", "LPT1:", "KV ZOW3004F PT"));
    w.spooler.setRefuseSet("A");
    EXPECT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.ui.boxTexts(), (std::vector<std::string>{"SetPrinter - A failed, (Win7 ignore)"}));
    EXPECT_TRUE(w.trace.contains("SetPortToFile - change refused by a test switch\r\n"));
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_EQ(w.portOf("B"), "FILE:");
    EXPECT_EQ(w.printer.parallelPortName, "LPT1:");
}

TEST(SetPortsToFile, QueueGoneOfflineSinceTheListingIsLeftAlone) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.setGoOfflineAfterListing("A");
    EXPECT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_TRUE(w.spooler.writes().empty());
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_EQ((*w.state.workingQueueInfo)[0].portName, "USB001");
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_TRUE(w.spooler.writes().empty());
    EXPECT_FALSE(w.journal.content().has_value());
}

TEST(SetPortToFile, KeepStatusWritesEvenAnOfflineQueue) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT", kPrinterStatusOffline));
    platform::QueueRecord record = *w.spooler.queue("A");
    EXPECT_TRUE(SetPortToFile(w.sys, record, true, false));
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_TRUE(SetPortToFile(w.sys, record, true, true));
    EXPECT_EQ(w.portOf("A"), "FILE:");
}

TEST(SetPortsToFile, SwitchHoldsTheQueueAndRestoreReleasesIt) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_TRUE(w.spooler.held("A"));
    EXPECT_EQ(classifyQueue(*w.spooler.queue("A")), QueueVerdict::NotUsbOrParallel);
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_FALSE(w.spooler.held("A"));
    EXPECT_EQ(w.spooler.queue("A")->attributes, 0u);
}

TEST(SetPortsToFile, AfterTheExitRestoreNothingIsSwitchedAgain) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    restoreQueuesForExit(w.sys, w.state);
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_TRUE(w.trace.contains("SetPortsToFile - Returning because the program is ending\r\n"));
}

TEST(Verdicts, EveryRuleHasItsOwnText) {
    EXPECT_EQ(classifyQueue(queue("Q", "IP_1", "KV ZOR38")), QueueVerdict::NotUsbOrParallel);
    EXPECT_EQ(classifyQueue(queue("Q", "USB1", "KV ZOR38", kPrinterStatusOffline)),
              QueueVerdict::OfflineStatus);
    EXPECT_EQ(classifyQueue(queue("Q", "USB1", "KV ZOR38", 0, kPrinterAttributeWorkOffline)),
              QueueVerdict::WorkOffline);
    EXPECT_EQ(classifyQueue(queue("Q", "USB1", "KV ZOR13A BTP")), QueueVerdict::ExcludedDriver);
    EXPECT_EQ(classifyQueue(queue("Q", "USB1", "Acme")), QueueVerdict::NotKvDriver);
    std::set<std::string_view> texts;
    for (QueueVerdict v :
         {QueueVerdict::Switch, QueueVerdict::NotUsbOrParallel, QueueVerdict::OfflineStatus,
          QueueVerdict::WorkOffline, QueueVerdict::ExcludedDriver, QueueVerdict::NotKvDriver}) {
        texts.insert(verdictText(v));
    }
    EXPECT_EQ(texts.size(), 6u);
}

}  // namespace
}  // namespace kv
