// The sleep inhibitor against a real dbus-daemon on a private bus, with a
// small stand-in for logind that records the Inhibit call and sees the
// lock's file descriptor closed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/LogindSleepInhibitor.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace kv::platform {
namespace {

using linux_impl::LogindSleepInhibitor;

bool ciRun() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// A dbus-daemon of its own, on a socket in `dir`, anyone allowed to own
// any name and call anything.
class PrivateBus {
public:
    explicit PrivateBus(const testing::TempDir& dir) {
        const std::string config = dir.file("bus.conf");
        std::ofstream(config)
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>system</type>\n"
               "<listen>unix:path="
            << dir.file("bus")
            << "</listen>\n"
               "<auth>EXTERNAL</auth>\n"
               "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
               "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy>\n"
               "</busconfig>\n";
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::string configArg = "--config-file=" + config;
        std::vector<char*> argv{const_cast<char*>("dbus-daemon"), configArg.data(),
                                const_cast<char*>("--nofork"),
                                const_cast<char*>("--print-address=1"), nullptr};
        const int spawned =
            ::posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            pid_ = -1;
            ::close(out[0]);
            return;
        }
        // The address comes once the daemon listens.
        pollfd p{out[0], POLLIN, 0};
        std::string line;
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) == 1) {
            char buffer[256];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            line.append(buffer, static_cast<size_t>(n));
        }
        ::close(out[0]);
        if (const size_t end = line.find('\n'); end != std::string::npos) {
            address_ = line.substr(0, end);
        }
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

// logind as far as Inhibit goes: owns org.freedesktop.login1, answers
// Inhibit with the write end of a pipe and watches the read end, whose
// hang-up is the caller's release.
class LogindStandIn {
public:
    struct Call {
        std::string what, who, why, mode;
    };

    bool start(const std::string& address) {
        if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 ||
            sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0) {
            return false;
        }
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Inhibit", "ssss", "h", &LogindStandIn::inhibit,
                          SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        if (sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", vtable, this) < 0 ||
            sd_bus_request_name(bus_, "org.freedesktop.login1", 0) < 0) {
            return false;
        }
        loop_ = std::thread([this] { run(); });
        return true;
    }
    ~LogindStandIn() {
        stop_ = true;
        if (loop_.joinable()) loop_.join();
        for (int fd : held_) ::close(fd);
        if (bus_) sd_bus_flush_close_unref(bus_);
    }

    std::vector<Call> calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // Waits until `count` locks in all were let go.
    bool waitReleased(size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return released_ >= count; });
    }
    size_t released() {
        std::lock_guard lock(mutex_);
        return released_;
    }

private:
    static int inhibit(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* me = static_cast<LogindStandIn*>(self);
        const char *what, *who, *why, *mode;
        if (sd_bus_message_read(m, "ssss", &what, &who, &why, &mode) < 0) return -EINVAL;
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
        {
            std::lock_guard lock(me->mutex_);
            me->calls_.push_back({what, who, why, mode});
            me->held_.push_back(ends[0]);
        }
        // The reply carries a copy; the caller's is then the only writer.
        const int r = sd_bus_reply_method_return(m, "h", ends[1]);
        ::close(ends[1]);
        return r;
    }

    void run() {
        while (!stop_) {
            while (sd_bus_process(bus_, nullptr) > 0) {
            }
            std::vector<pollfd> fds{
                {sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0}};
            {
                std::lock_guard lock(mutex_);
                for (int fd : held_) fds.push_back({fd, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
            std::lock_guard lock(mutex_);
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLHUP | POLLERR))) continue;
                ::close(fds[i].fd);
                std::erase(held_, fds[i].fd);
                ++released_;
                changed_.notify_all();
            }
        }
    }

    sd_bus* bus_ = nullptr;
    std::thread loop_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Call> calls_;
    std::vector<int> held_;
    size_t released_ = 0;
};

class LogindInhibitor : public ::testing::Test {
protected:
    void SetUp() override {
        bus_ = std::make_unique<PrivateBus>(dir_);
        if (bus_->address().empty()) {
            if (ciRun()) FAIL() << "dbus-daemon did not start";
            GTEST_SKIP() << "no dbus-daemon here (Debian package dbus-daemon)";
        }
        const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (old) oldAddress_ = old;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_->address().c_str(), 1);
    }
    void TearDown() override {
        if (oldAddress_) {
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", oldAddress_->c_str(), 1);
        } else {
            ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        }
    }

    testing::TempDir dir_;
    std::unique_ptr<PrivateBus> bus_;
    std::optional<std::string> oldAddress_;
};

TEST_F(LogindInhibitor, BlocksSleepTheLidAndIdleUntilReleased) {
    LogindStandIn logind;
    ASSERT_TRUE(logind.start(bus_->address()));
    {
        LogindSleepInhibitor inhibitor;
        const auto first = inhibitor.acquire("kvflash", "Updating printer firmware");
        ASSERT_TRUE(first) << first.reason();
        // Held once, however often asked.
        const auto again = inhibitor.acquire("kvflash", "Updating printer firmware");
        ASSERT_TRUE(again) << again.reason();
        const auto calls = logind.calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].what, "shutdown:sleep:idle:handle-lid-switch");
        EXPECT_EQ(calls[0].who, "kvflash");
        EXPECT_EQ(calls[0].why, "Updating printer firmware");
        EXPECT_EQ(calls[0].mode, "block");
        EXPECT_EQ(logind.released(), 0u);

        inhibitor.release();
        EXPECT_TRUE(logind.waitReleased(1));
        inhibitor.release();  // nothing held: harmless

        // Taken again, and let go when the program ends.
        const auto retaken = inhibitor.acquire("kvflash", "Updating printer firmware");
        ASSERT_TRUE(retaken) << retaken.reason();
        EXPECT_EQ(logind.calls().size(), 2u);
    }
    EXPECT_TRUE(logind.waitReleased(2));
}

TEST_F(LogindInhibitor, ABusWithoutLogindHoldsNothingAndSaysWhy) {
    LogindSleepInhibitor inhibitor;
    const auto refused = inhibitor.acquire("kvflash", "Updating printer firmware");
    EXPECT_FALSE(refused);
    const std::string& error = refused.reason();
    EXPECT_NE(error.find("logind did not grant the lock"), std::string::npos) << error;
    inhibitor.release();
}

TEST(LogindInhibitorWithoutBus, NoSystemBusHoldsNothingAndSaysWhy) {
    testing::TempDir dir;
    const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::optional<std::string> oldAddress =
        old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.file("no-bus")).c_str(), 1);
    LogindSleepInhibitor inhibitor;
    const auto started = std::chrono::steady_clock::now();
    const auto refused = inhibitor.acquire("kvflash", "Updating printer firmware");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.reason().empty());
    if (oldAddress) {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", oldAddress->c_str(), 1);
    } else {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
}

}  // namespace
}  // namespace kv::platform
