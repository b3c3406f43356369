#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/Win32DeviceIo.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::DeviceHandle;
using platform::ShareMode;
using platform::win32::Win32DeviceIo;
using platform::win32::Win32DeviceIoOptions;

constexpr uint32_t kReadBoundMs = 200;
constexpr uint32_t kWriteBoundMs = 300;

// The device side of a named pipe: what a printer would be to the handle.
class PipeDevice {
public:
    explicit PipeDevice(const std::string& name) : name_("\\\\.\\pipe\\" + name) {
        pipe_ = ::CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE, 1, 4096, 4096, 0, nullptr);
    }
    ~PipeDevice() {
        if (pipe_ != INVALID_HANDLE_VALUE) ::CloseHandle(pipe_);
    }
    const std::string& path() const { return name_; }
    bool ok() const { return pipe_ != INVALID_HANDLE_VALUE; }

    bool send(const std::string& bytes) {
        OVERLAPPED o{};
        o.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD n = 0;
        BOOL done = ::WriteFile(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &o);
        if (!done && ::GetLastError() == ERROR_IO_PENDING) {
            done = ::WaitForSingleObject(o.hEvent, 5000) == WAIT_OBJECT_0;
        }
        done = done && ::GetOverlappedResult(pipe_, &o, &n, FALSE) && n == bytes.size();
        ::CloseHandle(o.hEvent);
        return done;
    }
    std::string receive(size_t count) {
        std::string got(count, '\0');
        OVERLAPPED o{};
        o.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD n = 0;
        BOOL done = ::ReadFile(pipe_, got.data(), static_cast<DWORD>(count), nullptr, &o);
        if (!done && ::GetLastError() == ERROR_IO_PENDING) {
            if (::WaitForSingleObject(o.hEvent, 5000) != WAIT_OBJECT_0) ::CancelIoEx(pipe_, &o);
        }
        ::GetOverlappedResult(pipe_, &o, &n, TRUE);
        ::CloseHandle(o.hEvent);
        got.resize(n);
        return got;
    }

private:
    std::string name_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
};

std::string uniqueName(const char* what) {
    return std::string("kvtest-") + what + "-" + std::to_string(::GetCurrentProcessId());
}

Win32DeviceIoOptions shortBounds() {
    Win32DeviceIoOptions o;
    o.defaultReadBoundMs = kReadBoundMs;
    o.defaultWriteBoundMs = kWriteBoundMs;
    return o;
}

// A pipe stands in for a printer: bytes both ways, reads and writes that
// end at their bounds when the device stays silent or takes nothing, and
// the device-ID request refused as a pipe refuses it.
TEST(Win32DeviceIo, TalksToADeviceWithBoundedReadsAndWrites) {
    PipeDevice device(uniqueName("device"));
    ASSERT_TRUE(device.ok());
    Win32DeviceIo io(shortBounds());
    const DeviceHandle h = io.open(device.path(), ShareMode::Exclusive);
    ASSERT_TRUE(h.valid()) << io.lastError();

    const std::string request = "\x1bIS";
    size_t taken = 0;
    ASSERT_TRUE(
        io.write(h, reinterpret_cast<const uint8_t*>(request.data()), request.size(), taken));
    EXPECT_EQ(taken, request.size());
    EXPECT_EQ(device.receive(request.size()), request);

    ASSERT_TRUE(device.send("S0001"));
    uint8_t reply[1024] = {};
    size_t obtained = 0;
    ASSERT_TRUE(io.read(h, reply, sizeof reply, obtained));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), obtained), "S0001");

    // Nothing pending: the read returns empty at its bound.
    int64_t start = nowMs();
    ASSERT_TRUE(io.read(h, reply, sizeof reply, obtained));
    int64_t took = nowMs() - start;
    EXPECT_EQ(obtained, 0u);
    EXPECT_GE(took, kReadBoundMs - 10);
    EXPECT_LT(took, kReadBoundMs + 1500);

    // A pipe knows no device-ID request: ERROR_NOT_SUPPORTED (50).
    EXPECT_FALSE(io.queryDeviceId(h, reply, sizeof reply, obtained));
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(obtained, 0u);

    // The device takes nothing more: the write ends at its bound, failed,
    // with what went out counted.
    const std::vector<uint8_t> image(1u << 20, 0xA5);
    start = nowMs();
    EXPECT_FALSE(io.write(h, image.data(), image.size(), taken));
    took = nowMs() - start;
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ERROR_TIMEOUT));
    EXPECT_LT(taken, image.size());
    EXPECT_GE(took, kWriteBoundMs - 10);
    EXPECT_LT(took, kWriteBoundMs + 1500);

    platform::CommTimeouts timeouts;
    EXPECT_FALSE(io.getCommTimeouts(h, timeouts));
    EXPECT_TRUE(io.close(h));
    EXPECT_FALSE(io.close(h));
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

TEST(Win32DeviceIo, ExclusiveOpenKeepsOthersOutAndMissingDevicesFail) {
    PipeDevice device(uniqueName("exclusive"));
    ASSERT_TRUE(device.ok());
    Win32DeviceIo io(shortBounds());
    const DeviceHandle first = io.open(device.path(), ShareMode::Exclusive);
    ASSERT_TRUE(first.valid()) << io.lastError();
    // One instance of the pipe: a second opener finds it busy.
    EXPECT_FALSE(io.open(device.path(), ShareMode::Shared).valid());
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ERROR_PIPE_BUSY));
    io.close(first);
    EXPECT_FALSE(
        io.open("\\\\.\\pipe\\kvtest-nobody-" + uniqueName("x"), ShareMode::Shared).valid());
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

// LPT1 as the Linux side made it: dosdevices\lpt1 pointing at a FIFO it
// reads. A read finds nothing in its bound; a write goes through; the
// device-ID request fails as on a pipe; an LPT port without a device is
// not there at all.
TEST(Win32DeviceIoLpt, ParallelPortNamesReachTheDeviceTheyStandFor) {
    const auto marker = environment("KVTEST_LPT1_MARKER");
    if (!marker) GTEST_SKIP() << "needs dosdevices\\lpt1 on a FIFO of the Linux side (tests/wine)";
    Win32DeviceIo io(shortBounds());
    const DeviceHandle h = io.open("LPT1:", ShareMode::Exclusive);
    ASSERT_TRUE(h.valid()) << io.lastError();
    uint8_t reply[1024] = {};
    size_t obtained = 0;
    const int64_t start = nowMs();
    ASSERT_TRUE(io.read(h, reply, sizeof reply, obtained));
    EXPECT_EQ(obtained, 0u);
    EXPECT_LT(nowMs() - start, kReadBoundMs + 1500);
    EXPECT_FALSE(io.queryDeviceId(h, reply, sizeof reply, obtained));
    std::printf("\ndeviceid-error=%u\n", io.lastError());
    size_t taken = 0;
    ASSERT_TRUE(
        io.write(h, reinterpret_cast<const uint8_t*>(marker->data()), marker->size(), taken));
    EXPECT_EQ(taken, marker->size());
    io.close(h);

    EXPECT_FALSE(io.open("LPT3:", ShareMode::Exclusive).valid());
    EXPECT_EQ(io.lastError(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace kv::testing
