#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "state/Context.h"
#include "link/UsbConfig.h"
#include "link/local/LocalHandles.h"
#include "tests/link/UsbWorld.h"

namespace kv {
namespace {

using platform::CommTimeouts;
using platform::DeviceHandle;
using platform::InterfaceClass;
using platform::ShareMode;
using emulator::SimDeviceEnumerator;
using emulator::SimDeviceOptions;
using testing::parallelModel;
using testing::usbModel;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

struct LocalWorld : testing::UsbWorld {
    AppState state;
    Context ctx{state, sys};
    DeviceHandle handle{77};  // a stale value, to see what the call leaves

    bool getHandle() { return GetPrinterHandle(ctx, handle, state.printerData); }
    bool findParallel() { return findPrinterPARALLEL(ctx, handle, state.printerData); }
    bool probe(int port) { return IsPrinterPARALLEL(sys, handle, port, state.printerData); }
};

Lines emptyPortProbe(const std::string& port) {
    return {"IsPrinterPARALLEL - Entry",
            "\r\n",
            "IsPrinterPARALLEL - Preparing for " + port,
            "\r\n",
            "IsPrinterPARALLEL - Before CreateFile",
            "IsPrinterPARALLEL - After CreateFile",
            "IsPrinterPARALLEL - After CreateFile INVALID_HANDLE_VALUE"};
}

// ---------------------------------------------------------------- GetPrinterHandle

TEST(GetPrinterHandle, UsbIsPreferredOverParallel) {
    LocalWorld w;
    const std::string usb = w.enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "5a4f5731", usbModel());
    w.io.attach("LPT1:", parallelModel());
    w.state.parallelPortName = "USB001";

    EXPECT_TRUE(w.getHandle());
    EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_USB);
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_USB);
    ASSERT_TRUE(w.handle.valid());
    EXPECT_EQ(w.io.openHandles(usb), 1u);
    EXPECT_EQ(w.io.readCalls("LPT1:"), 0u);
    EXPECT_EQ(w.state.parallelPortName, "USB001");
    EXPECT_EQ(w.trace.lines(),
              (Lines{"GetPrinterHandle - Entry", "GetPrinterHandle - Before trying USB printer",
                     "GetPrinterHandle - USB printer found"}));
    // Opened shared: another shared open coexists.
    const auto other = w.io.open(usb, ShareMode::Shared);
    EXPECT_TRUE(other.valid());
}

TEST(GetPrinterHandle, FirstMakerPathThatOpensWinsHidFirst) {
    LocalWorld w;
    const std::string hidDead = SimDeviceEnumerator::hidPath(kKvUsbVendorId, 1, "7&1&0&0000");
    const std::string hidLive = SimDeviceEnumerator::hidPath(kKvUsbVendorId, 1, "7&1&0&0001");
    w.enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "5a4f5731", usbModel());
    w.enumerator.plug(InterfaceClass::Hid, hidDead, usbModel(),
                      SimDeviceOptions{.openFails = true});
    w.enumerator.plug(InterfaceClass::Hid, hidLive, usbModel());

    EXPECT_TRUE(w.getHandle());
    EXPECT_EQ(w.io.openHandles(hidLive), 1u);
    EXPECT_EQ(w.io.openHandles(), 1u);
}

TEST(GetPrinterHandle, UsbPrinterWithoutANameIsNamedByDefaultAndOpened) {
    LocalWorld w;
    // Undecodable serial and a device that does not answer its ID.
    const std::string usb = w.enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "odd", usbModel(),
                                                        SimDeviceOptions{.deviceIdFails = true});
    EXPECT_TRUE(w.getHandle());
    EXPECT_EQ(w.io.openHandles(usb), 1u);
    EXPECT_EQ(w.io.deviceIdQueries(usb), 1u);
}

TEST(GetPrinterHandle, NothingAttached) {
    LocalWorld w;
    w.enumerator.add(InterfaceClass::UsbDevice,
                     testing::rawUsbPath("vid_4b56&pid_0001", "5a4f5731"), 'U');  // not present
    w.state.activePortType = PORT_TYPE_ETHERNET;
    w.state.parallelPortName = "LPT1:";

    EXPECT_FALSE(w.getHandle());
    EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_NONE);
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_PARALLEL);
    EXPECT_FALSE(w.handle.valid());
    EXPECT_EQ(w.state.parallelPortName, "");
    EXPECT_EQ(w.io.openHandles(), 0u);

    Lines expected{"GetPrinterHandle - Entry", "GetPrinterHandle - Before trying USB printer",
                   "GetPrinterHandle - USB printer NOT found",
                   "GetPrinterHandle - Before trying parallel printer",
                   "findPrinterPARALLEL - Entry"};
    for (const char* port : kParallelPortNames) {
        const Lines probe = emptyPortProbe(port);
        expected.insert(expected.end(), probe.begin(), probe.end());
    }
    expected.push_back("GetPrinterHandle - parallel printer NOT found");
    EXPECT_EQ(w.trace.lines(), expected);
    EXPECT_TRUE(w.ui.boxes().empty());
}

TEST(GetPrinterHandle, ParallelPrinterWhenNoUsbPrinterOpens) {
    LocalWorld w;
    w.enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "5a4f5731", usbModel(),
                                SimDeviceOptions{.openFails = true});
    w.io.attach("LPT2:", parallelModel());

    EXPECT_TRUE(w.getHandle());
    EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_PARALLEL);
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_PARALLEL);
    EXPECT_EQ(w.io.openHandles("LPT2:"), 1u);
    EXPECT_EQ(w.io.openHandles(), 1u);
    EXPECT_TRUE(w.trace.containsInOrder({"GetPrinterHandle - USB printer NOT found",
                                         "findPrinterPARALLEL - Entry",
                                         "IsPrinterPARALLEL - Preparing for LPT2:",
                                         "Parallel CTO = rit 0 rttc 0 rttm 0 wttc 0 wttm 0",
                                         "GetPrinterHandle - parallel printer found"}));
    EXPECT_EQ(w.io.deviceTimeouts("LPT2:").writeTotalTimeoutConstant, 15000u);
}

// ---------------------------------------------------------------- findPrinterPARALLEL

TEST(FindPrinterParallel, WriteTimeoutIsRaisedToAtLeast15000) {
    struct Case {
        uint32_t before;
        uint32_t after;
    };
    const Case cases[] = {{0, 15000}, {14999, 15000}, {15000, 15000}, {60000, 60000}};
    for (const Case& c : cases) {
        LocalWorld w;
        const CommTimeouts initial{.readIntervalTimeout = 1,
                                   .readTotalTimeoutMultiplier = 2,
                                   .readTotalTimeoutConstant = 3,
                                   .writeTotalTimeoutMultiplier = 4,
                                   .writeTotalTimeoutConstant = c.before};
        w.io.attach("LPT1:", parallelModel());
        w.io.setDeviceTimeouts("LPT1:", initial);
        // A set that is not needed is not made: it would fail here.
        if (c.before >= 15000) {
            w.io.setOptions("LPT1:", SimDeviceOptions{.setTimeoutsFails = true});
        }

        EXPECT_TRUE(w.findParallel()) << c.before;
        CommTimeouts expected = initial;
        expected.writeTotalTimeoutConstant = c.after;
        EXPECT_EQ(w.io.deviceTimeouts("LPT1:"), expected) << c.before;
        EXPECT_TRUE(w.trace.contains("Parallel CTO = rit 1 rttc 3 rttm 2 wttc " +
                                     std::to_string(c.before) + " wttm 4"))
            << c.before;
        EXPECT_TRUE(w.ui.boxes().empty()) << c.before;
        EXPECT_EQ(w.state.activePortType, PORT_TYPE_PARALLEL);
    }
}

TEST(FindPrinterParallel, TimeoutFailuresAreShownButTheSearchSucceeds) {
    struct Case {
        SimDeviceOptions options;
        std::string box;
        bool traced;
    };
    const Case cases[] = {
        {SimDeviceOptions{.getTimeoutsFails = true}, "Parallel GetCommTimeouts failed", false},
        {SimDeviceOptions{.setTimeoutsFails = true}, "Parallel SetCommTimeouts failed", true},
    };
    for (const Case& c : cases) {
        LocalWorld w;
        w.io.attach("LPT3:", parallelModel(), c.options);
        EXPECT_TRUE(w.findParallel()) << c.box;
        EXPECT_TRUE(w.handle.valid()) << c.box;
        ASSERT_EQ(w.ui.boxes().size(), 1u) << c.box;
        EXPECT_EQ(w.ui.boxes()[0].text, c.box);
        EXPECT_FALSE(w.ui.boxes()[0].caption.has_value());
        EXPECT_EQ(w.trace.contains("Parallel CTO = rit 0 rttc 0 rttm 0 wttc 0 wttm 0"), c.traced);
    }
}

TEST(FindPrinterParallel, ShortStatusGetsAZeroByteAndTheSearchMovesOn) {
    LocalWorld w;
    w.io.attach("LPT1:", nullptr);
    w.io.queueRead("LPT1:", {'S', '0', '0', 0x00});
    w.io.attach("LPT2:", parallelModel());

    EXPECT_TRUE(w.findParallel());
    EXPECT_EQ(w.io.written("LPT1:"), Bytes{0x00});
    EXPECT_EQ(w.io.openHandles("LPT1:"), 0u);
    EXPECT_EQ(w.io.openHandles("LPT2:"), 1u);
    EXPECT_FALSE(w.trace.contains("IsPrinterPARALLEL - Preparing for LPT3:"));
}

TEST(FindPrinterParallel, NoPrinterLeavesAnInvalidHandleAndNothingOpen) {
    LocalWorld w;
    w.io.attach("LPT1:", nullptr);  // opens, answers nothing
    w.io.attach("LPT2:", parallelModel(), SimDeviceOptions{.readFails = true});
    EXPECT_FALSE(w.findParallel());
    EXPECT_FALSE(w.handle.valid());
    EXPECT_EQ(w.io.openHandles(), 0u);
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_PARALLEL);
    EXPECT_TRUE(w.io.written("LPT2:").empty());
    EXPECT_TRUE(w.ui.boxes().empty());
}

// ---------------------------------------------------------------- IsPrinterPARALLEL

TEST(IsPrinterParallel, PortNumbersOtherThanTwoAndThreeProbeLpt1) {
    struct Case {
        int number;
        std::string port;
    };
    const Case cases[] = {{0, "LPT1:"},  {1, "LPT1:"}, {4, "LPT1:"},
                          {-1, "LPT1:"}, {2, "LPT2:"}, {3, "LPT3:"}};
    for (const Case& c : cases) {
        LocalWorld w;
        for (const char* port : kParallelPortNames) w.io.attach(port, parallelModel());
        EXPECT_TRUE(w.probe(c.number)) << c.number;
        EXPECT_EQ(w.io.openHandles(c.port), 1u) << c.number;
        EXPECT_EQ(w.io.openHandles(), 1u) << c.number;
        EXPECT_TRUE(w.trace.contains("IsPrinterPARALLEL - Preparing for " + c.port)) << c.number;
    }
}

TEST(IsPrinterParallel, FoundPrinterIsReopenedSharedAfterItsTraceAndPause) {
    LocalWorld w;
    w.io.attach("LPT1:", parallelModel());
    EXPECT_TRUE(w.probe(1));
    EXPECT_TRUE(w.trace.containsInOrder(
        {"IsPrinterPARALLEL - Entry", "\r\n", "IsPrinterPARALLEL - Preparing for LPT1:", "\r\n",
         "IsPrinterPARALLEL - Before CreateFile", "IsPrinterPARALLEL - After CreateFile",
         "IsPrinterPARALLEL - After CreateFile found valid handle", "\r\n",
         "GetPrinterStatusData - Entry "
         "****************************************************",
         "IsPrinterPARALLEL - After status read - GOOD GetPrinterStatusData", "\r\n"}));
    EXPECT_EQ(w.trace.lines().back(), "\r\n");
    EXPECT_EQ(w.clock.pauses().back(), kParallelReopenPauseMs);
    EXPECT_TRUE(w.io.written("LPT1:").empty());  // the status read asks nothing
    const auto second = w.io.open("LPT1:", ShareMode::Shared);
    EXPECT_TRUE(second.valid());
}

TEST(IsPrinterParallel, ProbeIsExclusive) {
    LocalWorld w;
    w.io.attach("LPT1:", parallelModel());
    const auto holder = w.io.open("LPT1:", ShareMode::Shared);
    EXPECT_FALSE(w.probe(1));
    EXPECT_TRUE(w.trace.contains("IsPrinterPARALLEL - After CreateFile INVALID_HANDLE_VALUE"));
    EXPECT_EQ(w.io.readCalls("LPT1:"), 0u);
    w.io.close(holder);
}

TEST(IsPrinterParallel, EmptyReadReplaysTheCachedStatusOfAnEarlierParallelDiscovery) {
    LocalWorld w;
    w.io.attach("LPT1:", nullptr);
    PrinterData& p = w.state.printerData;
    const Bytes cached{'S', '0', '0', 0x00, 0x00};
    std::copy(cached.begin(), cached.end(), p.lastStatus.begin());
    p.lastStatusLength = 5;
    p.portType = PORT_TYPE_USB;
    EXPECT_FALSE(w.probe(1));  // off a parallel record the empty read fails
    EXPECT_TRUE(w.io.written("LPT1:").empty());
    p.portType = PORT_TYPE_PARALLEL;
    EXPECT_TRUE(w.probe(1));
}

// A device world whose second open of one path fails.
class ReopenFails final : public platform::DeviceIo {
public:
    ReopenFails(platform::DeviceIo& inner, std::string path)
        : inner_(inner), path_(std::move(path)) {}
    DeviceHandle open(const std::string& path, ShareMode share) override {
        if (path == path_ && ++opens_ == 2) return DeviceHandle::invalid();
        return inner_.open(path, share);
    }
    bool read(DeviceHandle h, uint8_t* b, size_t c, size_t& o) override {
        return inner_.read(h, b, c, o);
    }
    bool write(DeviceHandle h, const uint8_t* d, size_t l, size_t& t) override {
        return inner_.write(h, d, l, t);
    }
    bool queryDeviceId(DeviceHandle h, uint8_t* b, size_t c, size_t& o) override {
        return inner_.queryDeviceId(h, b, c, o);
    }
    bool getCommTimeouts(DeviceHandle h, CommTimeouts& t) override {
        return inner_.getCommTimeouts(h, t);
    }
    bool setCommTimeouts(DeviceHandle h, const CommTimeouts& t) override {
        return inner_.setCommTimeouts(h, t);
    }
    bool close(DeviceHandle h) override { return inner_.close(h); }
    uint32_t lastError() const override { return inner_.lastError(); }

private:
    platform::DeviceIo& inner_;
    std::string path_;
    int opens_ = 0;
};

TEST(IsPrinterParallel, APortLostBeforeTheReopenIsNoPrinter) {
    LocalWorld w;
    w.io.attach("LPT1:", parallelModel());
    w.io.attach("LPT2:", parallelModel());
    ReopenFails flaky(w.io, "LPT1:");
    w.sys.wired.deviceIo = &flaky;

    EXPECT_TRUE(w.findParallel());
    EXPECT_EQ(w.io.openHandles("LPT1:"), 0u);
    EXPECT_EQ(w.io.openHandles("LPT2:"), 1u);
    EXPECT_TRUE(w.ui.boxes().empty());
}

}  // namespace
}  // namespace kv
