#include "platform/linux/LinuxDeviceIo.h"

#include <fcntl.h>
#include <linux/lp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Ascii.h"
#include "platform/DeviceEnumerator.h"
#include "platform/linux/SysfsUsbEnumerator.h"

// usblp's device-ID request; the driver defines it, no uapi header does.
#ifndef LPIOC_GET_DEVICE_ID
#define LPIOC_GET_DEVICE_ID(len) _IOC(_IOC_READ, 'P', 1, len)
#endif

namespace kv::platform::linux_impl {
namespace fs = std::filesystem;
namespace {

using SteadyClock = std::chrono::steady_clock;

thread_local uint32_t tLastError = 0;

void fail(int code) { tLastError = static_cast<uint32_t>(code); }

constexpr uint32_t kReturnAtOnce = 0xFFFFFFFF;
// lp has no poll of its own (it always reports ready), so a device that
// keeps saying "try again" is retried at this pace rather than in a spin.
constexpr auto kRetryStep = std::chrono::milliseconds(10);
// Stale input: how long a quiet device is watched for bytes on their way,
// and the bound of the whole discarding against one that keeps talking.
constexpr auto kDiscardSettle = std::chrono::milliseconds(50);
constexpr auto kDiscardBound = std::chrono::milliseconds(500);

// "LPT1:".."LPT3:" -> 0..2, ignoring case.
int parallelIndex(const std::string& path) {
    const std::string p = asciiLowerCase(path);
    if (p.size() == 5 && p.starts_with("lpt") && p[4] == ':' && p[3] >= '1' && p[3] <= '3') {
        return p[3] - '1';
    }
    return -1;
}

// "lp7" -> 7, else -1.
int lpNumber(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "lp") != 0) return -1;
    int n = -1;
    const auto [end, ec] = std::from_chars(name.data() + 2, name.data() + name.size(), n);
    return ec == std::errc() && end == name.data() + name.size() ? n : -1;
}

uint64_t saturatedTotal(uint32_t constant, uint32_t multiplier, size_t count) {
    const uint64_t product =
        static_cast<uint64_t>(multiplier) * std::min<uint64_t>(count, 1u << 30);
    return static_cast<uint64_t>(constant) + product;
}

int pollFor(int fd, short events, SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    const int ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 60'000));
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, ms);
    return r;
}

// usblp ends the transfer that was under way when the printer was pulled
// out with EIO, and only the calls after it with ENODEV; a device that
// hangs up within a moment of an EIO is gone, and says so.
constexpr int kHangUpWaitMs = 100;

int deviceError(int fd, int err) {
    if (err != EIO && err != EPROTO) return err;
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, kHangUpWaitMs) == 1 && (p.revents & POLLHUP) ? ENODEV : err;
}

std::optional<std::string> readSmallFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace

std::string parseUsblpDeviceId(const uint8_t* reply, size_t size) {
    if (!reply || size < 2) return {};
    size_t length = (static_cast<size_t>(reply[0]) << 8) | reply[1];
    if (length < 2) return {};
    length = std::min(length, size);
    return std::string(reinterpret_cast<const char*>(reply) + 2, length - 2);
}

std::string deviceIdFromProbe(std::string_view probe) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kKeys{{
        {"MANUFACTURER", "MFG"},
        {"COMMAND SET", "CMD"},
        {"MODEL", "MDL"},
        {"CLASS", "CLS"},
        {"DESCRIPTION", "DES"},
    }};
    std::array<std::optional<std::string>, kKeys.size()> values;
    size_t start = 0;
    while (start < probe.size()) {
        size_t end = probe.find('\n', start);
        if (end == std::string_view::npos) end = probe.size();
        std::string_view line = probe.substr(start, end - start);
        start = end + 1;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        if (!value.empty() && value.back() == ';') value.remove_suffix(1);
        for (size_t i = 0; i < kKeys.size(); ++i) {
            if (key == kKeys[i].first && !values[i]) values[i] = std::string(value);
        }
    }
    std::string id;
    for (size_t i = 0; i < kKeys.size(); ++i) {
        if (!values[i]) continue;
        id.append(kKeys[i].second).append(":").append(*values[i]).append(";");
    }
    return id;
}

LinuxDeviceIo::LinuxDeviceIo(LinuxDeviceIoOptions options) : options_(std::move(options)) {}

LinuxDeviceIo::~LinuxDeviceIo() {
    std::lock_guard lock(mutex_);
    for (const auto& [fd, h] : open_) ::close(fd);
}

std::string LinuxDeviceIo::resolve(const std::string& path) const {
    if (const int lpt = parallelIndex(path); lpt >= 0) {
        return (fs::path(options_.devRoot) / ("lp" + std::to_string(lpt))).string();
    }
    if (path.starts_with("/")) return path;
    if (!parseUsbDevicePath(path)) return {};
    const std::string wanted = asciiLowerCase(path);
    if (const auto printers = listUsblpPrinters(options_.sysRoot, options_.devRoot)) {
        for (const auto& p : *printers) {
            if (p.path == wanted) return p.node;
        }
    }
    return {};
}

LinuxDeviceIo::Kind LinuxDeviceIo::kindOf(const std::string& node, int& parallelPort) const {
    const fs::path p(node);
    const fs::path dev(options_.devRoot);
    const int n = lpNumber(p.filename().string());
    parallelPort = -1;
    if (n < 0) return Kind::Other;
    if (p.parent_path() == dev) {
        parallelPort = n;
        return Kind::Parallel;
    }
    if (p.parent_path() == dev / "usb") return Kind::Usb;
    return Kind::Other;
}

DeviceHandle LinuxDeviceIo::open(const std::string& path, ShareMode share) {
    const std::string node = resolve(path);
    if (node.empty()) {
        fail(ENOENT);
        return DeviceHandle::invalid();
    }
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(errno);
        return DeviceHandle::invalid();
    }
    if (share == ShareMode::Exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        fail(err == EWOULDBLOCK ? EBUSY : err);
        return DeviceHandle::invalid();
    }
    Open h;
    h.kind = kindOf(node, h.parallelPort);
    std::lock_guard lock(mutex_);
    open_[fd] = h;
    return DeviceHandle{fd};
}

bool LinuxDeviceIo::lookup(DeviceHandle handle, Open& out) {
    std::lock_guard lock(mutex_);
    auto it = handle.valid() ? open_.find(static_cast<int>(handle.value)) : open_.end();
    if (it == open_.end()) {
        fail(EBADF);
        return false;
    }
    out = it->second;
    return true;
}

bool LinuxDeviceIo::read(DeviceHandle handle, uint8_t* buffer, size_t capacity, size_t& obtained) {
    obtained = 0;
    Open h;
    if (!lookup(handle, h)) return false;
    if (!buffer || capacity == 0) return true;
    const int fd = static_cast<int>(handle.value);
    const CommTimeouts& t = h.timeouts;

    uint64_t boundMs = options_.defaultReadBoundMs;
    if (t.readTotalTimeoutConstant != 0 || t.readTotalTimeoutMultiplier != 0) {
        boundMs =
            saturatedTotal(t.readTotalTimeoutConstant, t.readTotalTimeoutMultiplier, capacity);
    } else if (t.readIntervalTimeout == kReturnAtOnce) {
        boundMs = 0;
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(boundMs);

    bool readySaid = false;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, capacity);
        if (n > 0) {
            obtained = static_cast<size_t>(n);
            return true;
        }
        if (n == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(deviceError(fd, errno));
            return false;
        }
        if (SteadyClock::now() >= deadline) return true;
        if (readySaid)
            std::this_thread::sleep_for(
                std::min<SteadyClock::duration>(kRetryStep, deadline - SteadyClock::now()));
        const int r = pollFor(fd, POLLIN, deadline);
        if (r < 0 && errno != EINTR) {
            fail(errno);
            return false;
        }
        if (r == 0) return true;
        readySaid = r > 0;
    }
}

bool LinuxDeviceIo::write(DeviceHandle handle, const uint8_t* data, size_t length, size_t& taken) {
    taken = 0;
    Open h;
    if (!lookup(handle, h)) return false;
    if (!data || length == 0) return true;
    const int fd = static_cast<int>(handle.value);
    const CommTimeouts& t = h.timeouts;

    uint64_t boundMs = options_.defaultWriteBoundMs;
    if (t.writeTotalTimeoutConstant != 0 || t.writeTotalTimeoutMultiplier != 0) {
        boundMs =
            saturatedTotal(t.writeTotalTimeoutConstant, t.writeTotalTimeoutMultiplier, length);
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(boundMs);

    bool readySaid = false;
    bool ok = true;
    while (taken < length) {
        const ssize_t n = ::write(fd, data + taken, length - taken);
        if (n > 0) {
            taken += static_cast<size_t>(n);
            readySaid = false;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(deviceError(fd, errno));
            ok = false;
            break;
        }
        if (SteadyClock::now() >= deadline) {
            fail(ETIMEDOUT);
            ok = false;
            break;
        }
        if (readySaid)
            std::this_thread::sleep_for(
                std::min<SteadyClock::duration>(kRetryStep, deadline - SteadyClock::now()));
        const int r = pollFor(fd, POLLOUT, deadline);
        if (r < 0 && errno != EINTR) {
            fail(errno);
            ok = false;
            break;
        }
        readySaid = r > 0;
    }
    // A write that timed out is stuck, and the blocks taken before it wait
    // behind it; waiting for them again at close would only double the wait.
    if (!ok || taken > 0) {
        std::lock_guard lock(mutex_);
        if (auto it = open_.find(fd); it != open_.end()) it->second.unsettledWrite = ok;
    }
    return ok;
}

bool LinuxDeviceIo::queryDeviceId(DeviceHandle handle, uint8_t* buffer, size_t capacity,
                                  size_t& obtained) {
    obtained = 0;
    Open h;
    if (!lookup(handle, h)) return false;
    std::string id;
    if (h.kind == Kind::Parallel) {
        const fs::path port = fs::path(options_.procRoot) / "sys" / "dev" / "parport" /
                              ("parport" + std::to_string(h.parallelPort));
        bool any = false;
        for (const char* name :
             {"autoprobe", "autoprobe0", "autoprobe1", "autoprobe2", "autoprobe3"}) {
            if (const auto probe = readSmallFile(port / name)) {
                any = true;
                id = deviceIdFromProbe(*probe);
                if (!id.empty()) break;
            }
        }
        if (id.empty()) {
            fail(any ? ENODATA : ENOENT);
            return false;
        }
    } else {
        std::array<uint8_t, kDeviceIdCapacity + 2> reply{};
        if (::ioctl(static_cast<int>(handle.value), LPIOC_GET_DEVICE_ID(reply.size()),
                    reply.data()) < 0) {
            fail(errno);
            return false;
        }
        id = parseUsblpDeviceId(reply.data(), reply.size());
    }
    if (buffer) {
        obtained = std::min(capacity, id.size());
        std::copy_n(id.begin(), obtained, buffer);
    }
    return true;
}

bool LinuxDeviceIo::getCommTimeouts(DeviceHandle handle, CommTimeouts& timeouts) {
    Open h;
    if (!lookup(handle, h)) return false;
    timeouts = h.timeouts;
    return true;
}

bool LinuxDeviceIo::setCommTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) {
    Open h;
    if (!lookup(handle, h)) return false;
    const int fd = static_cast<int>(handle.value);
    // lp refuses a zero time-out; 0 then only means "no bound of the
    // handle's own" for our writes and leaves the driver's value.
    const uint32_t ms = timeouts.writeTotalTimeoutConstant;
    if (h.kind == Kind::Parallel && ms != 0) {
        int64_t span[2] = {ms / 1000, static_cast<int64_t>(ms % 1000) * 1000};
        if (::ioctl(fd, LPSETTIMEOUT_NEW, span) != 0) {
            timeval tv{};
            tv.tv_sec = ms / 1000;
            tv.tv_usec = static_cast<suseconds_t>(ms % 1000) * 1000;
            if (::ioctl(fd, LPSETTIMEOUT_OLD, &tv) != 0) {
                fail(errno);
                return false;
            }
        }
    }
    std::lock_guard lock(mutex_);
    auto it = open_.find(fd);
    if (it == open_.end()) {
        fail(EBADF);
        return false;
    }
    it->second.timeouts = timeouts;
    return true;
}

size_t LinuxDeviceIo::discardStaleInput(DeviceHandle handle) {
    Open h;
    if (!lookup(handle, h) || h.kind != Kind::Usb) return 0;
    const int fd = static_cast<int>(handle.value);
    const auto deadline = SteadyClock::now() + kDiscardBound;
    std::array<uint8_t, 1024> scratch{};
    size_t dropped = 0;
    while (SteadyClock::now() < deadline) {
        const ssize_t n = ::read(fd, scratch.data(), scratch.size());
        if (n > 0) {
            dropped += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // Gone or failing: the request's own write will say so.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
        // Nothing held (or a zero-length packet): wait a moment for what is
        // already on its way.
        if (pollFor(fd, POLLIN, std::min(deadline, SteadyClock::now() + kDiscardSettle)) <= 0)
            break;
    }
    return dropped;
}

bool LinuxDeviceIo::close(DeviceHandle handle) {
    Open h;
    {
        std::lock_guard lock(mutex_);
        auto it = handle.valid() ? open_.find(static_cast<int>(handle.value)) : open_.end();
        if (it == open_.end()) {
            fail(EBADF);
            return false;
        }
        h = it->second;
        open_.erase(it);
    }
    const int fd = static_cast<int>(handle.value);
    // usblp takes a non-blocking write at once and sends it later; closing
    // cancels what is still in flight, so let it go out first (bounded).
    if (h.unsettledWrite) {
        const CommTimeouts& t = h.timeouts;
        const uint64_t boundMs = t.writeTotalTimeoutConstant != 0 ? t.writeTotalTimeoutConstant
                                                                  : options_.defaultWriteBoundMs;
        pollFor(fd, POLLOUT, SteadyClock::now() + std::chrono::milliseconds(boundMs));
    }
    ::close(fd);
    return true;
}

uint32_t LinuxDeviceIo::lastError() const { return tLastError; }

}  // namespace kv::platform::linux_impl
