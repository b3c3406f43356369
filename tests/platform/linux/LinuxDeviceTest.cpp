#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/DeviceEnumerator.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/SysfsUsbEnumerator.h"
#include "tests/platform/linux/FakeSysfs.h"
#include "tests/support/Files.h"

namespace kv::platform {
namespace {

using linux_impl::LinuxDeviceIo;
using linux_impl::LinuxDeviceIoOptions;
using linux_impl::SysfsUsbEnumerator;
using linux_impl::UsbPrinterNode;
using testing::FakeMachine;
using Bytes = std::vector<uint8_t>;
using Ms = std::chrono::milliseconds;

const std::string kGuid(kUsbDeviceInterfaceGuid);

// Two KV printers with serials, a mouse, a KV printer without serial, and a
// printer of another vendor whose serial a path cannot carry.
struct Machine : FakeMachine {
    Machine() {
        addDevice("1-1", "4b56", "0001", "5A4F5731");
        addInterface("1-1", "usblp", 1);
        addDevice("1-2", "4b56", "0002", "zor1-0042");
        addInterface("1-2", "usblp", 0, false);
        addDevice("1-3", "046d", "c52b", "");
        addInterface("1-3", "usbhid");
        addDevice("1-4", "4b56", "0003", "");
        addInterface("1-4", "usblp", 2);
        addDevice("1-5", "04b8", "0202", "ab cd#1");
        addInterface("1-5", "usblp", 10);
    }
    LinuxDeviceIoOptions options() const {
        LinuxDeviceIoOptions o;
        o.sysRoot = sys().string();
        o.devRoot = dev().string();
        o.procRoot = proc().string();
        return o;
    }
    std::string node(const std::string& rel) const { return (dev() / rel).string(); }
};

const std::string kZow1 = "\\\\?\\usb#vid_4b56&pid_0001#5a4f5731#" + kGuid;
const std::string kZor1 = "\\\\?\\usb#vid_4b56&pid_0002#zor1-0042#" + kGuid;
const std::string kNoSerial = "\\\\?\\usb#vid_4b56&pid_0003#&1-4#" + kGuid;
const std::string kForeign = "\\\\?\\usb#vid_04b8&pid_0202#&1-5#" + kGuid;

// ---------------------------------------------------------------- sysfs walk

TEST(SysfsUsbWalk, ListsUsblpInterfacesInNodeOrder) {
    Machine m;
    const auto printers = linux_impl::listUsblpPrinters(m.sys().string(), m.dev().string());
    ASSERT_TRUE(printers.has_value());
    struct Expect {
        std::string iface, device, node;
        uint16_t vid, pid;
        std::string serial, path;
    };
    const std::vector<Expect> expected{
        {"1-2:1.0", "1-2", m.node("usb/lp0"), 0x4b56, 0x0002, "zor1-0042", kZor1},
        {"1-1:1.0", "1-1", m.node("usb/lp1"), 0x4b56, 0x0001, "5A4F5731", kZow1},
        {"1-4:1.0", "1-4", m.node("usb/lp2"), 0x4b56, 0x0003, "", kNoSerial},
        {"1-5:1.0", "1-5", m.node("usb/lp10"), 0x04b8, 0x0202, "ab cd#1", kForeign},
    };
    ASSERT_EQ(printers->size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const UsbPrinterNode& p = (*printers)[i];
        const Expect& e = expected[i];
        EXPECT_EQ(p.interfaceName, e.iface);
        EXPECT_EQ(p.deviceName, e.device);
        EXPECT_EQ(p.node, e.node);
        EXPECT_EQ(p.vendorId, e.vid);
        EXPECT_EQ(p.productId, e.pid);
        EXPECT_EQ(p.serial, e.serial);
        EXPECT_EQ(p.path, e.path);
    }
}

TEST(SysfsUsbWalk, EnumeratorListsUsbDevicesAndNeverHid) {
    Machine m;
    SysfsUsbEnumerator e(m.sys().string(), m.dev().string());
    const auto hid = e.list(InterfaceClass::Hid);
    ASSERT_TRUE(hid.has_value());
    EXPECT_TRUE(hid->empty());
    const auto usb = e.list(InterfaceClass::UsbDevice);
    ASSERT_TRUE(usb.has_value());
    EXPECT_EQ(*usb, (std::vector<DeviceInterface>{
                        {kZor1, 'U'}, {kZow1, 'U'}, {kNoSerial, 'U'}, {kForeign, 'U'}}));
}

TEST(SysfsUsbWalk, NoUsbBusOrNoUsblpDriver) {
    FakeMachine bare;  // bus/usb exists, no driver folder
    const auto none = linux_impl::listUsblpPrinters(bare.sys().string(), bare.dev().string());
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
    SysfsUsbEnumerator missing((bare.root() / "nothing").string());
    EXPECT_FALSE(missing.list(InterfaceClass::UsbDevice).has_value());
}

TEST(SysfsUsbWalk, InstanceSegment) {
    EXPECT_EQ(linux_impl::usbInstanceSegment("5A4F5731", "1-1"), "5a4f5731");
    EXPECT_EQ(linux_impl::usbInstanceSegment("zor1_A.7-x", "1-1"), "zor1_a.7-x");
    EXPECT_EQ(linux_impl::usbInstanceSegment("", "2-1.4"), "&2-1.4");
    EXPECT_EQ(linux_impl::usbInstanceSegment("a#b", "2-1.4"), "&2-1.4");
    EXPECT_EQ(linux_impl::usbInstanceSegment("a&b", "3-2"), "&3-2");
}

// ---------------------------------------------------------------- paths

TEST(UsbDevicePath, RoundTrip) {
    struct Case {
        uint16_t vid, pid;
        std::string instance;
    };
    const Case cases[] = {
        {0x4b56, 0x0001, "5a4f5731"}, {0xffff, 0x0000, "&1-4"}, {0x0a0b, 0xc0d0, ""}};
    for (const Case& c : cases) {
        const std::string path = makeUsbDevicePath(c.vid, c.pid, c.instance);
        const auto parts = parseUsbDevicePath(path);
        ASSERT_TRUE(parts.has_value()) << path;
        EXPECT_EQ(*parts, (UsbPathParts{c.vid, c.pid, c.instance}));
        std::string upper = path;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(parseUsbDevicePath(upper), parts) << upper;
    }
    EXPECT_EQ(makeUsbDevicePath(0x4B56, 0xABCD, "SER"),
              "\\\\?\\usb#vid_4b56&pid_abcd#ser#" + kGuid);

    const std::string malformed[] = {
        "\\\\?\\hid#vid_4b56&pid_0001#7&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
        "\\\\?\\usb#vid_4b56&pid_0001#5a4f5731",
        "\\\\?\\usb#vid_4b56&pid_0001#5a4f5731#{4d1e55b2-f16f-11cf-88cb-001111000030}",
        "\\\\?\\usb#vid_4b5&pid_0001#5a4f5731#" + kGuid,
        "\\\\?\\usb#vid_4bzz&pid_0001#5a4f5731#" + kGuid,
        "\\\\?\\usb#vid_4b56&pid_0001#a#b#" + kGuid,
        "usb#vid_4b56&pid_0001#5a4f5731#" + kGuid,
        "LPT1:",
    };
    for (const auto& p : malformed) EXPECT_FALSE(parseUsbDevicePath(p).has_value()) << p;
}

TEST(UsbDevicePath, ResolvesToItsNode) {
    Machine m;
    LinuxDeviceIo io(m.options());
    std::string upper = kZow1;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const std::pair<std::string, std::string> cases[] = {
        {kZor1, m.node("usb/lp0")},
        {kZow1, m.node("usb/lp1")},
        {upper, m.node("usb/lp1")},
        {kNoSerial, m.node("usb/lp2")},
        {kForeign, m.node("usb/lp10")},
        {"\\\\?\\usb#vid_4b56&pid_0001#5a4f5732#" + kGuid, ""},
        {"\\\\?\\hid#vid_4b56&pid_0001#7&1#{4d1e55b2-f16f-11cf-88cb-001111000030}", ""},
        {"LPT1:", m.node("lp0")},
        {"lpt3:", m.node("lp2")},
        {"LPT4:", ""},
        {"LPT0:", ""},
        {"/dev/usb/lp7", "/dev/usb/lp7"},
        {"", ""},
    };
    for (const auto& [path, node] : cases) EXPECT_EQ(io.resolve(path), node) << path;
}

// ---------------------------------------------------------------- device ID replies

TEST(UsblpDeviceId, LengthPrefixIsStripped) {
    struct Case {
        Bytes reply;
        std::string text;
    };
    Bytes longReply{0x01, 0x02};
    longReply.resize(0x102 + 10, 'x');
    const Case cases[] = {
        {{0x00, 0x08, 'M', 'D', 'L', ':', 'X', ';'}, "MDL:X;"},
        {{0x00, 0x04, 'A', 'B', 'C', 'D'}, "AB"},  // bytes past the length ignored
        {{0x00, 0xFF, 'A', 'B'}, "AB"},            // length past the reply: bounded
        {{0x00, 0x02, 'A'}, ""},                   // the length counts itself
        {{0x00, 0x01, 'A'}, ""},
        {{0x00, 0x00}, ""},
        {{0x05}, ""},
        {longReply, std::string(0x100, 'x')},  // big-endian
    };
    for (const Case& c : cases) {
        EXPECT_EQ(linux_impl::parseUsblpDeviceId(c.reply.data(), c.reply.size()), c.text);
    }
    EXPECT_EQ(linux_impl::parseUsblpDeviceId(nullptr, 8), "");
}

TEST(ParallelProbeData, BecomesAnIeee1284Id) {
    EXPECT_EQ(linux_impl::deviceIdFromProbe("CLASS:PRINTER;\nMODEL:ZOW3004F;\nMANUFACTURER:KV;\n"
                                            "DESCRIPTION:KV Ticket Printer;\nCOMMAND SET:FGL;\n"),
              "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;DES:KV Ticket Printer;");
    EXPECT_EQ(linux_impl::deviceIdFromProbe("MODEL:ZOW3004F;\n"), "MDL:ZOW3004F;");
    EXPECT_EQ(linux_impl::deviceIdFromProbe("MODEL:A:B;\nVENDOR:x;\nMODEL:second;"), "MDL:A:B;");
    EXPECT_EQ(linux_impl::deviceIdFromProbe(""), "");
    EXPECT_EQ(linux_impl::deviceIdFromProbe("\n\n"), "");
}

// ---------------------------------------------------------------- device I/O on stand-in nodes

TEST(LinuxDeviceIo, ExclusiveOpenLocksSharedOpenDoesNot) {
    Machine m;
    m.addNode("usb/lp1");
    LinuxDeviceIo io(m.options());
    const DeviceHandle first = io.open(kZow1, ShareMode::Exclusive);
    ASSERT_TRUE(first.valid());
    EXPECT_FALSE(io.open(kZow1, ShareMode::Exclusive).valid());
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(EBUSY));
    const DeviceHandle shared = io.open(kZow1, ShareMode::Shared);
    EXPECT_TRUE(shared.valid());
    EXPECT_TRUE(io.close(first));
    const DeviceHandle again = io.open(kZow1, ShareMode::Exclusive);
    EXPECT_TRUE(again.valid());
    EXPECT_TRUE(io.close(again));
    EXPECT_TRUE(io.close(shared));
    EXPECT_FALSE(io.close(shared));
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(EBADF));
}

TEST(LinuxDeviceIo, OpenFailures) {
    Machine m;
    LinuxDeviceIo io(m.options());
    EXPECT_FALSE(io.open("\\\\?\\usb#vid_4b56&pid_0009#x#" + kGuid, ShareMode::Shared).valid());
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(io.open(kZow1, ShareMode::Shared).valid());  // listed, but no node
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(io.open("LPT2:", ShareMode::Exclusive).valid());
}

TEST(LinuxDeviceIo, WritesReachTheNodeAndReadsComeBack) {
    Machine m;
    const auto node = m.addNode("usb/lp0");
    LinuxDeviceIo io(m.options());
    const DeviceHandle h = io.open(kZor1, ShareMode::Shared);
    ASSERT_TRUE(h.valid());
    const Bytes data{0x1B, 'I', 'S', 0x00, 0xFF};
    size_t taken = 0;
    EXPECT_TRUE(io.write(h, data.data(), data.size(), taken));
    EXPECT_EQ(taken, data.size());
    EXPECT_TRUE(io.close(h));
    EXPECT_EQ(testing::readFile(node), std::string(data.begin(), data.end()));

    const DeviceHandle r = io.open(kZor1, ShareMode::Shared);
    Bytes buffer(3);
    size_t obtained = 0;
    EXPECT_TRUE(io.read(r, buffer.data(), buffer.size(), obtained));
    EXPECT_EQ(obtained, 3u);
    EXPECT_EQ(buffer, Bytes(data.begin(), data.begin() + 3));
    io.close(r);
    EXPECT_FALSE(io.read(r, buffer.data(), buffer.size(), obtained));
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(EBADF));
}

TEST(LinuxDeviceIo, DeviceIdQueries) {
    Machine m;
    m.addNode("usb/lp1");
    m.addNode("lp0");
    m.addNode("lp1");
    m.addNode("lp2");
    m.write(m.proc() / "sys/dev/parport/parport0/autoprobe",
            "CLASS:PRINTER;\nMODEL:ZOW3004F;\nMANUFACTURER:KV;\n");
    m.write(m.proc() / "sys/dev/parport/parport1/autoprobe", "");
    m.write(m.proc() / "sys/dev/parport/parport1/autoprobe0", "MODEL:DAISY;\n");
    LinuxDeviceIo io(m.options());

    struct Case {
        std::string path;
        bool ok;
        std::string id;
        int error;
    };
    const Case cases[] = {
        {"LPT1:", true, "MFG:KV;MDL:ZOW3004F;CLS:PRINTER;", 0},
        {"LPT2:", true, "MDL:DAISY;", 0},
        {"LPT3:", false, "", ENOENT},
        {kZow1, false, "", ENOTTY},  // a plain file refuses the usblp request
    };
    for (const Case& c : cases) {
        const DeviceHandle h = io.open(c.path, ShareMode::Exclusive);
        ASSERT_TRUE(h.valid()) << c.path;
        Bytes buffer(kDeviceIdCapacity);
        size_t obtained = 99;
        EXPECT_EQ(io.queryDeviceId(h, buffer.data(), buffer.size(), obtained), c.ok) << c.path;
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + obtained), c.id) << c.path;
        if (!c.ok) {
            EXPECT_EQ(io.lastError(), static_cast<uint32_t>(c.error)) << c.path;
        }
        io.close(h);
    }
    // Bounded by the caller's capacity.
    const DeviceHandle h = io.open("LPT1:", ShareMode::Shared);
    Bytes small(6);
    size_t obtained = 0;
    EXPECT_TRUE(io.queryDeviceId(h, small.data(), small.size(), obtained));
    EXPECT_EQ(std::string(small.begin(), small.end()), "MFG:KV");
    io.close(h);
}

TEST(LinuxDeviceIo, TimeoutsBelongToTheHandle) {
    Machine m;
    m.addNode("usb/lp1");
    m.addNode("lp0");
    LinuxDeviceIo io(m.options());
    const CommTimeouts set{.readIntervalTimeout = 1,
                           .readTotalTimeoutMultiplier = 2,
                           .readTotalTimeoutConstant = 3,
                           .writeTotalTimeoutMultiplier = 4,
                           .writeTotalTimeoutConstant = 15000};

    const DeviceHandle usb = io.open(kZow1, ShareMode::Shared);
    CommTimeouts got{.readIntervalTimeout = 9};
    EXPECT_TRUE(io.getCommTimeouts(usb, got));
    EXPECT_EQ(got, CommTimeouts{});
    EXPECT_TRUE(io.setCommTimeouts(usb, set));
    EXPECT_TRUE(io.getCommTimeouts(usb, got));
    EXPECT_EQ(got, set);
    io.close(usb);
    const DeviceHandle reopened = io.open(kZow1, ShareMode::Shared);
    EXPECT_TRUE(io.getCommTimeouts(reopened, got));
    EXPECT_EQ(got, CommTimeouts{});
    io.close(reopened);

    // On a parallel port the write time-out goes to the lp driver, which a
    // plain file refuses: the handle keeps its former values.
    const DeviceHandle lpt = io.open("LPT1:", ShareMode::Shared);
    EXPECT_FALSE(io.setCommTimeouts(lpt, set));
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ENOTTY));
    EXPECT_TRUE(io.getCommTimeouts(lpt, got));
    EXPECT_EQ(got, CommTimeouts{});
    CommTimeouts readOnly = set;
    readOnly.writeTotalTimeoutConstant = 0;  // nothing for the driver
    EXPECT_TRUE(io.setCommTimeouts(lpt, readOnly));
    EXPECT_TRUE(io.getCommTimeouts(lpt, got));
    EXPECT_EQ(got, readOnly);
    io.close(lpt);
    EXPECT_FALSE(io.getCommTimeouts(lpt, got));
}

// A FIFO stands in for a device that answers nothing and takes only so much.
TEST(LinuxDeviceIo, ASilentDeviceNeverHangsARead) {
    Machine m;
    const auto node = m.addNode("usb/lp1", true);
    ASSERT_FALSE(node.empty()) << "mkfifo failed";
    auto options = m.options();
    options.defaultReadBoundMs = 60;
    LinuxDeviceIo io(options);
    const DeviceHandle h = io.open(kZow1, ShareMode::Exclusive);
    ASSERT_TRUE(h.valid());
    Bytes buffer(64);

    struct Case {
        CommTimeouts timeouts;
        Ms atLeast, below;
    };
    const Case cases[] = {
        {{}, Ms(55), Ms(2000)},                                  // default bound
        {{.readTotalTimeoutConstant = 120}, Ms(115), Ms(2000)},  // the handle's total
        {{.readTotalTimeoutMultiplier = 2}, Ms(123), Ms(2000)},  // 2 ms x 64 bytes
        {{.readIntervalTimeout = 0xFFFFFFFF}, Ms(0), Ms(40)},    // at once
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(io.setCommTimeouts(h, c.timeouts));
        size_t obtained = 99;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(io.read(h, buffer.data(), buffer.size(), obtained));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(obtained, 0u);
        EXPECT_GE(took, c.atLeast);
        EXPECT_LT(took, c.below);
    }

    // Data that arrives is read.
    {
        std::ofstream other(node, std::ios::binary);
        other << "S00";
    }
    size_t obtained = 0;
    ASSERT_TRUE(io.setCommTimeouts(h, {.readTotalTimeoutConstant = 1000}));
    EXPECT_TRUE(io.read(h, buffer.data(), buffer.size(), obtained));
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + obtained), "S00");
    io.close(h);
}

TEST(LinuxDeviceIo, AWriteTheDeviceDoesNotTakeTimesOut) {
    Machine m;
    ASSERT_FALSE(m.addNode("usb/lp1", true).empty()) << "mkfifo failed";
    LinuxDeviceIo io(m.options());
    const DeviceHandle h = io.open(kZow1, ShareMode::Exclusive);
    ASSERT_TRUE(h.valid());
    ASSERT_TRUE(io.setCommTimeouts(h, {.writeTotalTimeoutConstant = 300}));
    const Bytes image(4 << 20, 0x5A);
    size_t taken = 0;
    // A block the device took, as usblp takes one before sending it...
    ASSERT_TRUE(io.write(h, image.data(), 100, taken));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(io.write(h, image.data(), image.size(), taken));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_GT(taken, 0u);  // the FIFO's buffer took a part
    EXPECT_LT(taken, image.size());
    EXPECT_GE(took, Ms(295));
    EXPECT_LT(took, Ms(3000));
    // ...then one stuck: the close does not wait for the stuck one again.
    const auto closing = std::chrono::steady_clock::now();
    EXPECT_TRUE(io.close(h));
    EXPECT_LT(std::chrono::steady_clock::now() - closing, Ms(150));
}

// usblp keeps a read outstanding, so the node holds what the printer sent
// before anyone asked; that is dropped ahead of a request. lp holds nothing
// ahead (a read there is a reverse transfer of its own), so nothing is read.
TEST(LinuxDeviceIo, StaleInputIsDroppedOnlyWhereTheDriverReadsAhead) {
    struct Case {
        std::string path;
        const char* node;
        size_t dropped;
    };
    const std::string sent = "S00\x01\x02late";
    for (const Case& c : {Case{kZor1, "usb/lp0", sent.size()}, Case{"LPT1:", "lp0", 0}}) {
        SCOPED_TRACE(c.node);
        Machine m;
        const auto node = m.addNode(c.node, true);
        ASSERT_FALSE(node.empty());
        LinuxDeviceIo io(m.options());
        const DeviceHandle h = io.open(c.path, ShareMode::Shared);
        ASSERT_TRUE(h.valid()) << io.lastError();
        CommTimeouts atOnce;
        atOnce.readIntervalTimeout = 0xFFFFFFFF;
        ASSERT_TRUE(io.setCommTimeouts(h, atOnce));
        std::ofstream(node, std::ios::binary) << sent << std::flush;

        EXPECT_EQ(io.discardStaleInput(h), c.dropped);
        Bytes buffer(64);
        size_t obtained = 0;
        EXPECT_TRUE(io.read(h, buffer.data(), buffer.size(), obtained));
        EXPECT_EQ(obtained, sent.size() - c.dropped);
        EXPECT_EQ(io.discardStaleInput(DeviceHandle{}), 0u);
        io.close(h);
    }
}

// ---------------------------------------------------------------- real devices

TEST(LinuxDeviceIoOnRealNodes, UsbPrinterAnswersItsDeviceId) {
    const auto printers = linux_impl::listUsblpPrinters();
    if (!printers || printers->empty()) {
        GTEST_SKIP() << "no USB printer bound to usblp (/dev/usb/lp*) on this machine";
    }
    LinuxDeviceIo io;
    for (const auto& p : *printers) {
        EXPECT_EQ(io.resolve(p.path), p.node);
        const DeviceHandle h = io.open(p.path, ShareMode::Exclusive);
        if (!h.valid() && io.lastError() == static_cast<uint32_t>(EBUSY)) {
            std::cout << p.node << " is in use elsewhere; not queried\n";
            continue;
        }
        if (!h.valid()) {
            ADD_FAILURE() << p.node << ": open failed, errno " << io.lastError();
            continue;
        }
        Bytes id(kDeviceIdCapacity);
        size_t obtained = 0;
        EXPECT_TRUE(io.queryDeviceId(h, id.data(), id.size(), obtained)) << p.node;
        std::cout << p.node << " " << p.path
                  << " ID: " << std::string(id.begin(), id.begin() + obtained) << "\n";
        io.close(h);
    }
}

// Read-only: the port's driver time-out is left as the machine has it.
TEST(LinuxDeviceIoOnRealNodes, ParallelPortOpensAndShowsItsProbe) {
    if (!std::filesystem::exists("/dev/lp0")) {
        GTEST_SKIP() << "no parallel port (/dev/lp0) on this machine";
    }
    LinuxDeviceIo io;
    const DeviceHandle h = io.open("LPT1:", ShareMode::Exclusive);
    if (!h.valid() && io.lastError() == static_cast<uint32_t>(EBUSY)) {
        GTEST_SKIP() << "/dev/lp0 is in use elsewhere";
    }
    ASSERT_TRUE(h.valid()) << "errno " << io.lastError();
    CommTimeouts t;
    EXPECT_TRUE(io.getCommTimeouts(h, t));
    Bytes id(kDeviceIdCapacity);
    size_t obtained = 0;
    if (io.queryDeviceId(h, id.data(), id.size(), obtained)) {
        std::cout << "LPT1: probe ID: " << std::string(id.begin(), id.begin() + obtained) << "\n";
    } else {
        std::cout << "LPT1: no probe data, errno " << io.lastError() << "\n";
    }
    io.close(h);
}

}  // namespace
}  // namespace kv::platform
