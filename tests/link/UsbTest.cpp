#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Usb.h"
#include "link/UsbConfig.h"
#include "tests/link/UsbWorld.h"

namespace kv {
namespace {

using platform::InterfaceClass;
using emulator::SimDeviceEnumerator;
using testing::UsbWorld;
using testing::rawUsbPath;
using testing::usbModel;

const std::string kMakers = "vid_4b56&pid_0001";
constexpr const char* kQueriedId = "MFG:KV;CMD:FGL;MDL:QUERIED;CLS:PRINTER;";

struct Named {
    bool ok;
    std::string name;
};

Named pnp(UsbWorld& w, const std::string& path, const char* defaultName = nullptr,
          uint32_t outLen = kPrinterNameLength, uint32_t vendor = kKvUsbVendorId) {
    std::string out = "left over";
    const bool ok = GetPrinterPNPString(w.sys, path.c_str(), vendor, out, outLen, defaultName);
    return {ok, out};
}

std::vector<std::string> enumerate(UsbWorld& w, uint8_t maxPaths = kUsbPathSlots,
                                   bool anyClass = false) {
    std::vector<std::string> paths;
    EXPECT_TRUE(
        EnumerateUSBDevicePaths(w.sys, kKvUsbVendorTable.data(), 1, &paths, maxPaths, anyClass));
    return paths;
}

// ---------------------------------------------------------------- printer names

TEST(GetPrinterPNPString, SerialSegmentNamesThePrinterOrTheDeviceIsAsked) {
    struct Case {
        std::string serial;
        std::string name;
        bool queried;
    };
    const Case cases[] = {
        {"5a4f5731", "ZOW1", false},
        {"5a-4f-57-31", "ZOW1", false},
        {"-5a4f-", "ZO", false},
        {"5A4F5731", "ZOW1", false},        // hexadecimal digits in either case
        {"5a4f573", "QUERIED", true},       // odd digit count
        {"5a4-f57", "QUERIED", true},       // '-' inside a pair
        {"5a_4f", "QUERIED", true},         // neither digit, letter nor '-'
        {"5a4g", "QUERIED", true},          // no hexadecimal digit
        {"5a00", "QUERIED", true},          // a NUL inside the name
        {"", "QUERIED", true},              // empty segment
        {"---", "QUERIED", true},           // nothing decoded
        {"zor1-ab-12", "zor1ab12", false},  // ZOR1: letters and digits as they are
        {"zor1ab.12", "QUERIED", true},
        {"ZOR1AB12", "QUERIED", true},  // "zor1" is matched in lower case only
    };
    for (const Case& c : cases) {
        UsbWorld w;
        const std::string path = rawUsbPath(kMakers, c.serial);
        w.io.attach(path, usbModel(kQueriedId));
        const Named n = pnp(w, path);
        EXPECT_TRUE(n.ok) << c.serial;
        EXPECT_EQ(n.name, c.name) << c.serial;
        EXPECT_EQ(w.io.deviceIdQueries(path), c.queried ? 1u : 0u) << c.serial;
        EXPECT_EQ(w.trace.count("GetPrinterPNPString\r\n"), c.queried ? 1u : 0u) << c.serial;
        EXPECT_EQ(w.io.openHandles(), 0u) << c.serial;
    }
}

TEST(GetPrinterPNPString, HalfDecodedSerialLeavesNothingBehind) {
    UsbWorld w;
    const std::string path = rawUsbPath(kMakers, "5a4f573");
    w.io.attach(path, usbModel(), emulator::SimDeviceOptions{.deviceIdFails = true});
    EXPECT_EQ(pnp(w, path).name, "");
    EXPECT_FALSE(pnp(w, path).ok);
    EXPECT_EQ(pnp(w, path, "Fallback").name, "Fallback");
}

TEST(GetPrinterPNPString, OutLenBoundsEveryKindOfName) {
    struct Case {
        std::string serial;
        std::string deviceId;
        uint32_t outLen;
        const char* defaultName;
        std::string name;
    };
    const Case cases[] = {
        {"5a4f5731", kQueriedId, 4, nullptr, "ZO"},              // 4 characters consumed
        {"5a4f5731", kQueriedId, 3, nullptr, "QU"},              // half pair: asked, outLen - 1
        {"zor1abcdef", kQueriedId, 6, nullptr, "zor1ab"},        // copied up to outLen
        {"", "MDL:ZOW3004F", 150, nullptr, "ZOW3004F"},          // runs to the end
        {"", "MFG:KV;MDL:ZOW3004F", 5, nullptr, "ZOW3"},         // ... bounded by outLen - 1
        {"", "MDL:A;MDL:B;", 150, nullptr, "A"},                 // first occurrence
        {"", "MFG:KV;CLS:PRINTER;", 150, "Default", "Default"},  // no model
        {"", "MFG:KV;MDL:;", 150, nullptr, ""},
        {"", std::string("MFG:KV;\0MDL:HIDDEN;", 19), 150, nullptr, ""},  // text ends at NUL
        {"", "MDL:X;", 150, "Corbelline Ticket Printer", "X"},
        {"", "MFG:KV;", 10, "Corbelline Ticket Printer", "Corbelline"},  // default, bounded
    };
    for (const Case& c : cases) {
        UsbWorld w;
        const std::string path = rawUsbPath(kMakers, c.serial);
        w.io.attach(path, usbModel(c.deviceId));
        const Named n = pnp(w, path, c.defaultName, c.outLen);
        EXPECT_EQ(n.name, c.name) << c.serial << " / " << c.deviceId;
        EXPECT_EQ(n.ok, !c.name.empty()) << c.serial << " / " << c.deviceId;
    }
}

TEST(GetPrinterPNPString, PathsWithoutANameOfTheirOwnGetTheDefaultWithoutDeviceAccess) {
    const std::string hid = SimDeviceEnumerator::hidPath(kKvUsbVendorId, 1, "7&2a9e0c55&0&0000");
    const std::string foreign = rawUsbPath("vid_04b8&pid_0202", "5a4f5731");
    struct Case {
        std::string path;
        uint32_t vendor;
    };
    const Case cases[] = {
        {hid, kKvUsbVendorId},
        {foreign, 0x04b8},
        {foreign, kKvUsbVendorId},  // the path decides, not the caller's claim
        {rawUsbPath(kMakers, "5a4f5731"), 0x04b8},
    };
    for (const Case& c : cases) {
        UsbWorld w;
        w.io.attach(c.path, usbModel(kQueriedId));
        const Named withDefault = pnp(w, c.path, kKvDefaultPrinterName, 150, c.vendor);
        EXPECT_TRUE(withDefault.ok) << c.path;
        EXPECT_EQ(withDefault.name, "Corbelline Ticket Printer") << c.path;
        const Named without = pnp(w, c.path, nullptr, 150, c.vendor);
        EXPECT_FALSE(without.ok) << c.path;
        EXPECT_EQ(without.name, "") << c.path;
        EXPECT_EQ(w.io.deviceIdQueries(c.path), 0u) << c.path;
    }
}

TEST(GetPrinterPNPString, AskingTheDeviceNeedsItToOpenAloneAndAnswer) {
    const std::string path = rawUsbPath(kMakers, "");
    {
        // Already open elsewhere: the query's non-shared open is refused.
        UsbWorld w;
        w.io.attach(path, usbModel(kQueriedId));
        const auto other = w.io.open(path, platform::ShareMode::Shared);
        EXPECT_EQ(pnp(w, path, "Default").name, "Default");
        EXPECT_EQ(w.io.deviceIdQueries(path), 0u);
        EXPECT_EQ(w.io.openHandles(path), 1u);
        w.io.close(other);
    }
    {
        UsbWorld w;  // nothing attached at the path
        EXPECT_FALSE(pnp(w, path).ok);
    }
    {
        // "usb#" with no segment after it: the device is asked.
        UsbWorld w;
        const std::string bare = "\\\\?\\usb#" + kMakers;
        w.io.attach(bare, usbModel(kQueriedId));
        EXPECT_EQ(pnp(w, bare).name, "QUERIED");
    }
}

TEST(GetPrinterPNPString, RefusesMissingArguments) {
    UsbWorld w;
    std::string out = "kept";
    EXPECT_FALSE(GetPrinterPNPString(w.sys, nullptr, kKvUsbVendorId, out, 150, "Default"));
    const std::string path = rawUsbPath(kMakers, "5a4f5731");
    EXPECT_FALSE(GetPrinterPNPString(w.sys, path.c_str(), kKvUsbVendorId, out, 0, "Default"));
    EXPECT_EQ(out, "kept");
}

// ---------------------------------------------------------------- enumeration

TEST(EnumerateUSBDevicePaths, NoDevicesLeavesTheListEmpty) {
    UsbWorld w;
    EXPECT_TRUE(enumerate(w).empty());
    EXPECT_EQ(w.enumerator.listCalls(InterfaceClass::Hid), 1u);
    EXPECT_EQ(w.enumerator.listCalls(InterfaceClass::UsbDevice), 1u);
    EXPECT_FALSE(EnumerateUSBDevicePaths(w.sys, kKvUsbVendorTable.data(), 1, nullptr, 30, false));
}

TEST(EnumerateUSBDevicePaths, HidFirstThenUsbDevicesOfTheMakerOnly) {
    UsbWorld w;
    auto& e = w.enumerator;
    const std::string hidMaker = SimDeviceEnumerator::hidPath(kKvUsbVendorId, 2, "7&1&0&0000");
    const std::string usbPrinter = rawUsbPath(kMakers, "5a4f5731");
    const std::string usbOtherClass = rawUsbPath("vid_4b56&pid_0003", "zor10001");
    const std::string usbNoClass = rawUsbPath("vid_4b56&pid_0004", "31");
    e.add(InterfaceClass::UsbDevice, rawUsbPath("vid_04b8&pid_0202", "1"), 'U');
    e.add(InterfaceClass::UsbDevice, "not a device path", 'U');
    e.add(InterfaceClass::UsbDevice, usbOtherClass, 'P');
    e.add(InterfaceClass::UsbDevice, platform::DeviceInterface{std::nullopt, 'U'});
    e.add(InterfaceClass::UsbDevice, usbNoClass, std::nullopt);
    e.add(InterfaceClass::UsbDevice, "\\\\?\\USB#VID_4B56&PID_0001#X#{A5DCBF10}", 'U');
    e.add(InterfaceClass::UsbDevice, usbPrinter, 'U');
    e.add(InterfaceClass::Hid, SimDeviceEnumerator::hidPath(0x046d, 0xc52b, "1"), 'H');
    e.add(InterfaceClass::Hid, hidMaker, std::nullopt);  // HID is never filtered by class

    EXPECT_EQ(enumerate(w), (std::vector<std::string>{hidMaker, usbPrinter}));
    EXPECT_EQ(enumerate(w, kUsbPathSlots, true),
              (std::vector<std::string>{hidMaker, usbOtherClass, usbNoClass, usbPrinter}));
}

TEST(EnumerateUSBDevicePaths, StopsAtMaxPathsAndAtTwoHundredInterfaces) {
    {
        UsbWorld w;
        for (int i = 0; i < 35; ++i) {
            w.enumerator.add(InterfaceClass::UsbDevice, rawUsbPath(kMakers, std::to_string(i)),
                             'U');
        }
        const auto paths = enumerate(w);
        ASSERT_EQ(paths.size(), 30u);
        EXPECT_EQ(paths.back(), rawUsbPath(kMakers, "29"));
        EXPECT_TRUE(enumerate(w, 0).empty());
    }
    {
        UsbWorld w;
        for (int i = 0; i < 199; ++i) {
            w.enumerator.add(InterfaceClass::UsbDevice,
                             rawUsbPath("vid_04b8&pid_0202", std::to_string(i)), 'U');
        }
        const std::string at199 = rawUsbPath(kMakers, "199");
        const std::string at200 = rawUsbPath(kMakers, "200");
        w.enumerator.add(InterfaceClass::UsbDevice, at199, 'U');
        w.enumerator.add(InterfaceClass::UsbDevice, at200, 'U');
        EXPECT_EQ(enumerate(w), std::vector<std::string>{at199});
    }
}

TEST(EnumerateUSBDevicePaths, AClassThatCannotBeListedAddsNothing) {
    UsbWorld w;
    const std::string hid = SimDeviceEnumerator::hidPath(kKvUsbVendorId, 2, "1");
    const std::string usb = rawUsbPath(kMakers, "31");
    w.enumerator.add(InterfaceClass::Hid, hid, 'H');
    w.enumerator.add(InterfaceClass::UsbDevice, usb, 'U');
    w.enumerator.setListFails(InterfaceClass::Hid, true);
    EXPECT_EQ(enumerate(w), std::vector<std::string>{usb});
    w.enumerator.setListFails(InterfaceClass::Hid, false);
    w.enumerator.setListFails(InterfaceClass::UsbDevice, true);
    EXPECT_EQ(enumerate(w), std::vector<std::string>{hid});
}

TEST(EnumerateUSBDevicePaths, VendorTableEntriesAreSixteenBitAndAPathIsStoredOnce) {
    UsbWorld w;
    const std::string usb = rawUsbPath(kMakers, "31");
    w.enumerator.add(InterfaceClass::UsbDevice, usb, 'U');
    const uint32_t table[] = {0x00014B56, kKvUsbVendorId, 0x04b8};
    std::vector<std::string> paths;
    EXPECT_TRUE(EnumerateUSBDevicePaths(w.sys, table, 3, &paths, 30, false));
    EXPECT_EQ(paths, std::vector<std::string>{usb});
    paths.clear();
    EXPECT_TRUE(EnumerateUSBDevicePaths(w.sys, table + 2, 1, &paths, 30, false));
    EXPECT_TRUE(paths.empty());
}

TEST(EnumerateUSBDevicePaths, APluggedPrinterIsListedAndOpens) {
    UsbWorld w;
    const std::string path = w.enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "5A4F5731", usbModel());
    EXPECT_EQ(path, rawUsbPath(kMakers, "5a4f5731"));
    EXPECT_EQ(enumerate(w), std::vector<std::string>{path});
    const auto h = w.io.open(path, platform::ShareMode::Shared);
    EXPECT_TRUE(h.valid());
    w.io.close(h);
    w.enumerator.unplug(path);
    EXPECT_TRUE(enumerate(w).empty());
    EXPECT_FALSE(w.io.open(path, platform::ShareMode::Shared).valid());
}

// ---------------------------------------------------------------- device ID

TEST(GetPrinterID, StoresTheIdAndPauses) {
    UsbWorld w;
    const std::string path = w.enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "31", usbModel());
    const auto h = w.io.open(path, platform::ShareMode::Shared);
    PrinterData printer;
    EXPECT_TRUE(GetPrinterID(w.sys, h, printer));
    EXPECT_EQ(printer.deviceId, "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;");
    EXPECT_EQ(w.clock.pauses(), std::vector<uint32_t>{250});
    EXPECT_TRUE(w.ui.boxes().empty());
}

TEST(GetPrinterID, KeepsAtMost1023Characters) {
    UsbWorld w;
    const std::string longId = "MDL:" + std::string(1500, 'x') + ";";
    const std::string path = w.enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "31", usbModel(longId));
    const auto h = w.io.open(path, platform::ShareMode::Shared);
    PrinterData printer;
    EXPECT_TRUE(GetPrinterID(w.sys, h, printer));
    EXPECT_EQ(printer.deviceId, longId.substr(0, 1023));
}

TEST(GetPrinterID, FailureShowsTheErrorBoxAndKeepsTheId) {
    struct Case {
        bool validHandle;
        std::string box;
    };
    const Case cases[] = {
        {true, "GetPrinterID - Error = 5, IOCTL = 16000C"},   // the device does not answer
        {false, "GetPrinterID - Error = 9, IOCTL = 16000C"},  // not an open handle
    };
    for (const Case& c : cases) {
        UsbWorld w;
        w.io.attach("LPT1:", usbModel(), emulator::SimDeviceOptions{.deviceIdFails = true});
        const auto h = c.validHandle ? w.io.open("LPT1:", platform::ShareMode::Shared)
                                     : platform::DeviceHandle::invalid();
        PrinterData printer;
        printer.deviceId = "earlier";
        EXPECT_FALSE(GetPrinterID(w.sys, h, printer));
        EXPECT_EQ(printer.deviceId, "earlier");
        ASSERT_EQ(w.ui.boxes().size(), 1u);
        EXPECT_EQ(w.ui.boxes()[0].text, c.box);
        EXPECT_FALSE(w.ui.boxes()[0].caption.has_value());
        EXPECT_EQ(w.ui.boxes()[0].buttons, platform::BoxButtons::Ok);
        EXPECT_TRUE(w.clock.pauses().empty());
    }
}

}  // namespace
}  // namespace kv
