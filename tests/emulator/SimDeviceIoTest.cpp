#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "emulator/PrinterModel.h"
#include "emulator/sim/SimDeviceIo.h"

namespace kv::platform {
namespace {

using emulator::SimDeviceIo;
using emulator::SimDeviceOptions;
using emulator::SimErrors;
using Bytes = std::vector<uint8_t>;

const std::string kUsb =
    "\\\\?\\usb#vid_1234&pid_0001#5a4f5731#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

std::shared_ptr<emulator::PrinterModel> usbPrinter(emulator::PrinterConfig config = {}) {
    config.link = emulator::LinkKind::Usb;
    return std::make_shared<emulator::PrinterModel>(config);
}

Bytes readOnce(DeviceIo& io, DeviceHandle h, size_t capacity, bool* ok = nullptr) {
    Bytes buffer(capacity);
    size_t got = 99;
    const bool result = io.read(h, buffer.data(), buffer.size(), got);
    if (ok) *ok = result;
    buffer.resize(got);
    return buffer;
}

bool writeAll(DeviceIo& io, DeviceHandle h, const Bytes& data, size_t* taken = nullptr) {
    size_t t = 99;
    const bool ok = io.write(h, data.data(), data.size(), t);
    if (taken) *taken = t;
    return ok;
}

TEST(SimDeviceIo, OpensOnlyAttachedDevicesIgnoringCase) {
    SimDeviceIo io;
    io.attach("LPT1:", nullptr);
    EXPECT_FALSE(io.open("LPT2:", ShareMode::Shared).valid());
    EXPECT_EQ(io.lastError(), SimErrors::notFound);
    const DeviceHandle h = io.open("lpt1:", ShareMode::Shared);
    EXPECT_TRUE(h.valid());
    EXPECT_EQ(io.openHandles("LPT1:"), 1u);
    EXPECT_TRUE(io.close(h));
    EXPECT_FALSE(io.close(h));
    EXPECT_EQ(io.lastError(), SimErrors::badHandle);
    EXPECT_EQ(io.openHandles(), 0u);
}

TEST(SimDeviceIo, SharingRules) {
    struct Case {
        ShareMode first;
        ShareMode second;
        bool secondOpens;
    };
    const Case cases[] = {
        {ShareMode::Shared, ShareMode::Shared, true},
        {ShareMode::Shared, ShareMode::Exclusive, false},
        {ShareMode::Exclusive, ShareMode::Shared, false},
        {ShareMode::Exclusive, ShareMode::Exclusive, false},
    };
    for (const Case& c : cases) {
        SimDeviceIo io;
        io.attach("LPT1:", nullptr);
        io.attach("LPT2:", nullptr);
        const DeviceHandle first = io.open("LPT1:", c.first);
        ASSERT_TRUE(first.valid());
        const DeviceHandle second = io.open("LPT1:", c.second);
        EXPECT_EQ(second.valid(), c.secondOpens);
        if (!c.secondOpens) {
            EXPECT_EQ(io.lastError(), SimErrors::busy);
        }
        // another device is not affected
        EXPECT_TRUE(io.open("LPT2:", ShareMode::Exclusive).valid());
        // after closing, the refused open succeeds
        if (second.valid()) io.close(second);
        io.close(first);
        EXPECT_TRUE(io.open("LPT1:", c.second).valid());
    }
}

TEST(SimDeviceIo, OpenCanBeMadeToFail) {
    SimDeviceIo io;
    SimDeviceOptions o;
    o.openFails = true;
    io.attach(kUsb, usbPrinter(), o);
    EXPECT_FALSE(io.open(kUsb, ShareMode::Shared).valid());
    EXPECT_EQ(io.lastError(), SimErrors::notFound);
}

TEST(SimDeviceIo, ScriptedReadsComeInBurstsAndEmptyReadsReturnAtOnce) {
    SimDeviceIo io;
    SimDeviceOptions o;
    o.readBurst = 4;
    io.attach("LPT1:", nullptr, o);
    io.queueRead("LPT1:", {1, 2, 3, 4, 5, 6});
    io.queueRead("LPT1:", {7});
    const DeviceHandle h = io.open("LPT1:", ShareMode::Shared);
    EXPECT_EQ(readOnce(io, h, 16), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(readOnce(io, h, 1), (Bytes{5}));
    EXPECT_EQ(readOnce(io, h, 16), (Bytes{6}));  // a chunk ends a read
    EXPECT_EQ(readOnce(io, h, 16), (Bytes{7}));
    bool ok = false;
    EXPECT_TRUE(readOnce(io, h, 16, &ok).empty());
    EXPECT_TRUE(ok);
    EXPECT_EQ(io.readCalls("LPT1:"), 5u);

    o.silentReads = 2;
    io.setOptions("LPT1:", o);
    io.queueRead("LPT1:", {8});
    EXPECT_TRUE(readOnce(io, h, 16).empty());
    EXPECT_TRUE(readOnce(io, h, 16).empty());
    EXPECT_EQ(readOnce(io, h, 16), (Bytes{8}));
    EXPECT_EQ(io.options("LPT1:").silentReads, 0u);
}

TEST(SimDeviceIo, InjectedFailuresReportAnError) {
    SimDeviceIo io;
    SimDeviceOptions o;
    o.readFails = true;
    o.writeFails = true;
    o.deviceIdFails = true;
    o.getTimeoutsFails = true;
    o.setTimeoutsFails = true;
    const auto printer = usbPrinter();
    io.attach(kUsb, printer, o);
    const DeviceHandle h = io.open(kUsb, ShareMode::Exclusive);
    bool ok = true;
    EXPECT_TRUE(readOnce(io, h, 16, &ok).empty());
    EXPECT_FALSE(ok);
    EXPECT_EQ(io.lastError(), SimErrors::ioFailure);
    size_t taken = 99;
    EXPECT_FALSE(writeAll(io, h, {0x1B, 0x49, 0x43}, &taken));
    EXPECT_EQ(taken, 0u);
    EXPECT_TRUE(io.written(kUsb).empty());
    EXPECT_TRUE(printer->received().empty());
    std::array<uint8_t, 64> id{};
    size_t got = 99;
    EXPECT_FALSE(io.queryDeviceId(h, id.data(), id.size(), got));
    EXPECT_EQ(got, 0u);
    CommTimeouts t;
    EXPECT_FALSE(io.getCommTimeouts(h, t));
    EXPECT_FALSE(io.setCommTimeouts(h, t));
}

TEST(SimDeviceIo, ShortWritesTakeOnlyPartAndRecordWhatWasTaken) {
    SimDeviceIo io;
    SimDeviceOptions o;
    o.writeLimit = 2;
    const auto printer = usbPrinter();
    io.attach(kUsb, printer, o);
    const DeviceHandle h = io.open(kUsb, ShareMode::Shared);
    size_t taken = 0;
    EXPECT_TRUE(writeAll(io, h, {0x1B, 0x49, 0x43}, &taken));
    EXPECT_EQ(taken, 2u);
    EXPECT_EQ(io.written(kUsb), (Bytes{0x1B, 0x49}));
    EXPECT_EQ(printer->received(), (Bytes{0x1B, 0x49}));
    EXPECT_EQ(io.writeCalls(kUsb), 1u);
}

TEST(SimDeviceIo, KeepsWhatWasWrittenOnlyUpToItsBound) {
    SimDeviceIo io;
    SimDeviceOptions o;
    o.keepWritten = 5;
    const auto printer = usbPrinter();
    io.attach(kUsb, printer, o);
    const DeviceHandle h = io.open(kUsb, ShareMode::Shared);
    size_t taken = 0;
    EXPECT_TRUE(writeAll(io, h, {1, 2, 3}, &taken));
    EXPECT_TRUE(writeAll(io, h, {4, 5, 6}, &taken));
    EXPECT_TRUE(writeAll(io, h, {7}, &taken));
    // Every byte still reaches the printer and is taken.
    EXPECT_EQ(taken, 1u);
    EXPECT_EQ(printer->receivedCount(), 7u);
    EXPECT_EQ(io.written(kUsb), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(io.writeCalls(kUsb), 3u);
}

TEST(SimDeviceIo, RequestsReachTheModelAndItsRepliesComeBack) {
    SimDeviceIo io;
    emulator::PrinterConfig config;
    config.statusAtPowerUp = false;
    config.statusStaysPending = false;
    const auto printer = usbPrinter(config);
    io.attach(kUsb, printer);
    const DeviceHandle h = io.open(kUsb, ShareMode::Shared);
    EXPECT_TRUE(readOnce(io, h, 1024).empty());  // nothing pending: at once, empty
    ASSERT_TRUE(writeAll(io, h, {0x1B, 0x49, 0x53}));
    const Bytes reply = readOnce(io, h, 1024);
    ASSERT_GE(reply.size(), 5u);
    EXPECT_EQ(reply[0], 'S');
    EXPECT_EQ(io.written(kUsb), (Bytes{0x1B, 0x49, 0x53}));
}

TEST(SimDeviceIo, DeviceIdComesFromTheModelBoundedByTheBuffer) {
    SimDeviceIo io;
    emulator::PrinterConfig config;
    config.deviceId = "MFG:KV;MDL:ZOW1;";
    io.attach(kUsb, usbPrinter(config));
    io.attach("LPT3:", nullptr);
    const DeviceHandle h = io.open(kUsb, ShareMode::Shared);
    std::array<uint8_t, 1024> id{};
    size_t got = 0;
    ASSERT_TRUE(io.queryDeviceId(h, id.data(), id.size(), got));
    EXPECT_EQ(std::string(id.begin(), id.begin() + got), "MFG:KV;MDL:ZOW1;");
    ASSERT_TRUE(io.queryDeviceId(h, id.data(), 6, got));
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(io.deviceIdQueries(kUsb), 2u);
    // a port with no printer behind it does not answer
    const DeviceHandle empty = io.open("LPT3:", ShareMode::Shared);
    EXPECT_FALSE(io.queryDeviceId(empty, id.data(), id.size(), got));
}

TEST(SimDeviceIo, TimeoutsBelongToTheDevice) {
    SimDeviceIo io;
    io.attach("LPT1:", nullptr);
    CommTimeouts initial;
    initial.readTotalTimeoutConstant = 500;
    io.setDeviceTimeouts("LPT1:", initial);
    DeviceHandle h = io.open("LPT1:", ShareMode::Shared);
    CommTimeouts t;
    ASSERT_TRUE(io.getCommTimeouts(h, t));
    EXPECT_EQ(t, initial);
    t.writeTotalTimeoutConstant = 15000;
    ASSERT_TRUE(io.setCommTimeouts(h, t));
    io.close(h);
    h = io.open("LPT1:", ShareMode::Shared);
    CommTimeouts again;
    ASSERT_TRUE(io.getCommTimeouts(h, again));
    EXPECT_EQ(again.writeTotalTimeoutConstant, 15000u);
    EXPECT_EQ(io.deviceTimeouts("LPT1:"), again);
}

TEST(SimDeviceIo, UnpluggedDeviceFailsItsHandles) {
    SimDeviceIo io;
    io.attach(kUsb, usbPrinter());
    const DeviceHandle h = io.open(kUsb, ShareMode::Exclusive);
    io.detach(kUsb);
    bool ok = true;
    readOnce(io, h, 8, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(io.lastError(), SimErrors::gone);
    EXPECT_FALSE(io.open(kUsb, ShareMode::Shared).valid());
    // plugged in again: a new device, the stale handle stays dead and does
    // not block the new one
    io.attach(kUsb, usbPrinter());
    EXPECT_TRUE(io.open(kUsb, ShareMode::Exclusive).valid());
    EXPECT_FALSE(writeAll(io, h, {0x00}));
    EXPECT_TRUE(io.close(h));
}

TEST(SimDeviceIo, InvalidHandleIsRefused) {
    SimDeviceIo io;
    bool ok = true;
    readOnce(io, DeviceHandle::invalid(), 8, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(io.lastError(), SimErrors::badHandle);
}

TEST(SimDeviceIo, LastErrorIsPerThread) {
    SimDeviceIo io;
    EXPECT_FALSE(io.open("LPT1:", ShareMode::Shared).valid());
    uint32_t other = 1;
    std::thread([&] { other = io.lastError(); }).join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(io.lastError(), SimErrors::notFound);
}

TEST(SimDeviceIo, HandlesAreUsableFromTwoThreadsAtOnce) {
    SimDeviceIo io;
    const auto printer = usbPrinter();
    io.attach(kUsb, printer);
    io.attach("LPT1:", nullptr);
    const DeviceHandle usb = io.open(kUsb, ShareMode::Shared);
    const DeviceHandle lpt = io.open("LPT1:", ShareMode::Shared);
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            writeAll(io, usb, {0x1B, 0x49, 0x53});
            readOnce(io, usb, 1024);
        }
    });
    for (int i = 0; i < 200; ++i) {
        writeAll(io, lpt, {0x00});
        const DeviceHandle extra = io.open("LPT1:", ShareMode::Shared);
        io.close(extra);
    }
    worker.join();
    EXPECT_EQ(io.written(kUsb).size(), 600u);
    EXPECT_EQ(io.written("LPT1:").size(), 200u);
    EXPECT_EQ(io.openHandles(), 2u);
}

TEST(SimDeviceIo, RecordsCanBeCleared) {
    SimDeviceIo io;
    io.attach("LPT1:", nullptr);
    const DeviceHandle h = io.open("LPT1:", ShareMode::Shared);
    writeAll(io, h, {1, 2, 3});
    readOnce(io, h, 4);
    io.clearRecords("LPT1:");
    EXPECT_TRUE(io.written("LPT1:").empty());
    EXPECT_EQ(io.writeCalls("LPT1:") + io.readCalls("LPT1:"), 0u);
    EXPECT_THROW(io.written("LPT9:"), std::out_of_range);
}

}  // namespace
}  // namespace kv::platform
