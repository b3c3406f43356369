#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "state/Context.h"
#include "link/local/LocalHandles.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "tests/platform/linux/LinuxMachineWorld.h"

namespace kv {
namespace {

// GetPrinterHandle on the Linux backend over a stand-in machine tree; reads
// return at once so an empty device costs no waiting.
struct LinuxLocal : testing::LinuxMachineWorld {
    LinuxLocal() : LinuxMachineWorld(0) {}
};

TEST(GetPrinterHandleOnLinux, OpensTheFirstUsblpNodeThatOpens) {
    LinuxLocal w;
    // lp0 is listed but has no node; lp1 opens.
    w.machine.addDevice("1-2", "4b56", "0002", "zor1-0042");
    w.machine.addInterface("1-2", "usblp", 0);
    w.machine.addDevice("1-1", "4b56", "0001", "5a4f5731");
    w.machine.addInterface("1-1", "usblp", 1);
    const auto node = w.machine.addNode("usb/lp1");

    platform::DeviceHandle h;
    ASSERT_TRUE(GetPrinterHandle(w.ctx, h, w.state.printerData));
    EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_USB);
    const uint8_t byte = 0x42;
    size_t taken = 0;
    EXPECT_TRUE(w.linuxIo.write(h, &byte, 1, taken));
    EXPECT_TRUE(w.linuxIo.close(h));
    std::ifstream in(node, std::ios::binary);
    EXPECT_EQ(in.get(), 0x42);
}

TEST(GetPrinterHandleOnLinux, SilentParallelPortsAreNoPrinter) {
    LinuxLocal w;
    w.machine.addNode("lp0");  // opens, gives nothing to read
    platform::DeviceHandle h{5};
    EXPECT_FALSE(GetPrinterHandle(w.ctx, h, w.state.printerData));
    EXPECT_FALSE(h.valid());
    EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_NONE);
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_PARALLEL);
    EXPECT_TRUE(w.trace.contains("IsPrinterPARALLEL - After CreateFile found valid handle"));
    EXPECT_TRUE(
        w.trace.contains("GetPrinterStatusData - After read command to get status bytes - FAILED"));
}

}  // namespace
}  // namespace kv
