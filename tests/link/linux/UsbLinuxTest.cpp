#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Usb.h"
#include "link/UsbConfig.h"
#include "tests/platform/linux/LinuxMachineWorld.h"

namespace kv {
namespace {

// The USB code on the Linux backend, over a stand-in sysfs tree.
struct LinuxUsb : testing::LinuxMachineWorld {
    LinuxUsb() {
        machine.addDevice("1-1", "4b56", "0001", "5a-4f-57-31");
        machine.addInterface("1-1", "usblp", 1);
        machine.addDevice("1-2", "4b56", "0002", "ZOR1-0042");
        machine.addInterface("1-2", "usblp", 0);
        machine.addDevice("1-3", "04b8", "0202", "5a4f5731");  // another maker's printer
        machine.addInterface("1-3", "usblp", 3);
        machine.addDevice("1-4", "4b56", "0003", "");
        machine.addInterface("1-4", "usblp", 2);
        machine.addNode("usb/lp2");
    }
};

TEST(UsbOnLinux, MakersPrintersAreListedAndNamed) {
    LinuxUsb w;
    std::vector<std::string> paths;
    ASSERT_TRUE(
        EnumerateUSBDevicePaths(w.sys, kKvUsbVendorTable.data(), 1, &paths, kUsbPathSlots, false));
    ASSERT_EQ(paths.size(), 3u);

    struct Expect {
        std::string name;
        bool asked;
    };
    const Expect expected[] = {
        {"zor10042", false},  // lp0: ZOR1 serial, lower-cased by the path
        {"ZOW1", false},      // lp1: hexadecimal serial
        {"", true},           // lp2: no serial; its node does not answer an ID
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        w.trace.clear();
        std::string name;
        const bool ok = GetPrinterPNPString(w.sys, paths[i].c_str(), kKvUsbVendorId, name,
                                            kPrinterNameLength, nullptr);
        EXPECT_EQ(name, expected[i].name) << paths[i];
        EXPECT_EQ(ok, !expected[i].name.empty()) << paths[i];
        // A node that opened but refused the ID query is not traced.
        EXPECT_FALSE(w.trace.contains("GetPrinterPNPString\r\n")) << paths[i];
    }
    std::string name;
    EXPECT_TRUE(GetPrinterPNPString(w.sys, paths[2].c_str(), kKvUsbVendorId, name,
                                    kPrinterNameLength, kKvDefaultPrinterName));
    EXPECT_EQ(name, "Corbelline Ticket Printer");
}

TEST(UsbOnLinux, GetPrinterIdFailureNamesTheErrno) {
    LinuxUsb w;
    const auto h =
        w.linuxIo.open("\\\\?\\usb#vid_4b56&pid_0003#&1-4#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
                       platform::ShareMode::Shared);
    ASSERT_TRUE(h.valid());
    PrinterData printer;
    EXPECT_FALSE(GetPrinterID(w.sys, h, printer));
    // ENOTTY: a plain file stands in for the node.
    EXPECT_EQ(w.ui.boxTexts(),
              std::vector<std::string>{"GetPrinterID - Error = 25, IOCTL = 16000C"});
    w.linuxIo.close(h);
}

}  // namespace
}  // namespace kv
