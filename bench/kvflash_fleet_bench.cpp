// What a fleet run costs: the real kvflash --fleet (and --scan) as a child
// process against emulated printers served from this process on loopback
// addresses, in real time. Not a test: run it by hand (see docs/development.md).
//
//   kvflash-fleet-bench [--printers N] [--image-kib K] [--scan]
//
// Prints the wall time of a run of one printer and of N, their ratio, the
// child's peak resident memory and thread count, and for each pause of the
// printer's flash the largest stretch over every printer (the printer's side
// of the link timestamps each request and the image's first and last byte).
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "image/FileBytes.h"
#include "platform/Clock.h"
#include "platform/linux/PosixNetwork.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using kv::emulator::PrinterModel;
using kv::emulator::TcpServer;

double msSince(Clock::time_point t0, Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - t0).count();
}

// One emulated printer and the times its side saw.
struct Printer {
    Printer(kv::platform::Network& net, kv::platform::Clock& clock, const std::string& address) {
        kv::emulator::PrinterConfig config;
        config.keepBytes = 0;  // hashed only: the bench's memory is not the point
        model = std::make_unique<PrinterModel>(config, &clock);
        TcpServer::Options o;
        o.address = address;
        o.port = 10001;
        o.log = [this](const std::string& line) { note(line); };
        server = std::make_unique<TcpServer>(*model, net, o);
        ok = server->start();
    }
    void note(const std::string& line) {
        const auto now = Clock::now();
        std::lock_guard lock(mutex);
        if (line.find("ESC *FR") != std::string::npos ||
            line.find("FlashRequest") != std::string::npos) {
            flashRequest = now;
        } else if (line.find("<SA15>") != std::string::npos) {
            flashEnter = now;
            // Image bytes are those after the request.
            lastBytes = server->bytesReceived();
        } else if (line.find("connection opened") != std::string::npos && dataEnd) {
            if (!reconnect) reconnect = now;
        }
    }
    // Polled: the first and last time image bytes came.
    void poll(Clock::time_point now) {
        const uint64_t bytes = server->bytesReceived();
        std::lock_guard lock(mutex);
        if (!flashEnter || reconnect) return;
        if (bytes != lastBytes) {
            if (!dataStart && flashEnter) dataStart = now;
            lastBytes = bytes;
            lastChange = now;
            dataEnd.reset();
        } else if (dataStart && !dataEnd && msSince(*lastChange, now) > 500) {
            dataEnd = lastChange;
        }
    }
    std::unique_ptr<PrinterModel> model;
    std::unique_ptr<TcpServer> server;
    bool ok = false;
    std::mutex mutex;
    std::optional<Clock::time_point> flashRequest, flashEnter, dataStart, dataEnd, reconnect,
        lastChange;
    uint64_t lastBytes = 0;
};

struct ChildRun {
    int code = -1;
    double wallMs = 0;
    long maxRssKib = 0;
    int maxThreads = 0;
};

// Runs kvflash with `args`, output to /dev/null, sampling its threads.
ChildRun runKvflash(const std::string& program, std::vector<std::string> args,
                    const std::function<void()>& whileRunning) {
    std::vector<char*> argv;
    args.insert(args.begin(), program);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildRun r;
    pid_t pid = 0;
    const auto t0 = Clock::now();
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) return r;
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            r.wallMs = msSince(t0, Clock::now());
            r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            r.maxRssKib = usage.ru_maxrss;
            return r;
        }
        std::ifstream st("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(st, line);) {
            if (line.rfind("Threads:", 0) == 0)
                r.maxThreads = std::max(r.maxThreads, std::atoi(line.c_str() + 8));
        }
        if (whileRunning) whileRunning();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string address(int net, int host) {
    return "127.77." + std::to_string(net) + "." + std::to_string(host);
}

}  // namespace

int main(int argc, char** argv) {
    int printers = 50;
    int imageKib = 64;
    bool scan = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--printers" && i + 1 < argc)
            printers = std::atoi(argv[++i]);
        else if (a == "--image-kib" && i + 1 < argc)
            imageKib = std::atoi(argv[++i]);
        else if (a == "--scan")
            scan = true;
        else {
            std::fprintf(stderr,
                         "usage: kvflash-fleet-bench [--printers N] [--image-kib K] [--scan]\n");
            return 2;
        }
    }
    const std::string bin = std::string(KVFLASH_BIN_DIR);
    const std::string kvflash = bin + "/kvflash";
    char folder[] = "/tmp/kvflash-fleet-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("KVFLASH_STATE_DIR", folder, 1);
    setenv("KVFLASH_LOCK_DIR", folder, 1);
    const std::string image = std::string(folder) + "/FMVQ_V5.20.bin";
    {
        std::vector<uint8_t> bytes(static_cast<size_t>(imageKib) * 1024, 0x5A);
        const std::string marker = "FWV:V5.20;";
        std::copy(marker.begin(), marker.end(), bytes.begin() + 16);
        std::string why;
        if (!kv::writeFileBytes(image, bytes, &why)) return 1;
    }
    kv::platform::linux_impl::PosixNetwork net;
    kv::platform::RealClock clock;

    if (scan) {
        // A /24 with 20 printers; the other 234 addresses refuse.
        std::vector<std::unique_ptr<Printer>> found;
        for (int h = 1; h <= 20; ++h)
            found.push_back(std::make_unique<Printer>(net, clock, address(3, h * 12)));
        const ChildRun r = runKvflash(kvflash, {"--scan", address(3, 1) + "-254"}, {});
        std::printf("scan of 254 addresses, 20 printers: %.0f ms, exit %d\n", r.wallMs, r.code);
        return 0;
    }

    auto fleet = [&](int net3, int count) {
        std::vector<std::unique_ptr<Printer>> all;
        std::vector<std::string> args{"--fleet", address(net3, 1) + "-" + std::to_string(count)};
        for (int h = 1; h <= count; ++h)
            all.push_back(std::make_unique<Printer>(net, clock, address(net3, h)));
        for (const char* a : {"--image", "", "--yes", "--canary", "0", "--parallel", ""}) {
            args.push_back(*a                         ? a
                           : args.back() == "--image" ? image
                                                      : std::to_string(std::min(count, 256)));
        }
        const ChildRun r = runKvflash(kvflash, args, [&] {
            const auto now = Clock::now();
            for (auto& p : all) p->poll(now);
        });
        return std::make_pair(r, std::move(all));
    };
    const auto [one, onePrinter] = fleet(1, 1);
    const auto [many, all] = fleet(2, printers);
    // The fixed pauses between what the printer sees: ESC *FR to <SA15>
    // (0.1 s), <SA15> to the first image byte (0.5 + 1 + 15 s and the reply),
    // the last image byte to the re-identification (1 + 25 s).
    double stretch[3] = {-1e9, -1e9, -1e9};
    int complete = 0;
    for (auto& p : all) {
        std::lock_guard lock(p->mutex);
        if (!p->flashRequest || !p->flashEnter || !p->dataStart || !p->dataEnd || !p->reconnect) {
            if (complete == 0 && std::getenv("KVBENCH_DEBUG")) {
                std::fprintf(stderr, "incomplete: FR %d SA15 %d data %d/%d reconnect %d\n",
                             bool(p->flashRequest), bool(p->flashEnter), bool(p->dataStart),
                             bool(p->dataEnd), bool(p->reconnect));
            }
            continue;
        }
        ++complete;
        stretch[0] = std::max(stretch[0], msSince(*p->flashRequest, *p->flashEnter) - 100);
        stretch[1] = std::max(stretch[1], msSince(*p->flashEnter, *p->dataStart) - 16500);
        stretch[2] = std::max(stretch[2], msSince(*p->dataEnd, *p->reconnect) - 26000);
    }
    std::printf(
        "image %d KiB; one printer: %.1f s (exit %d); %d printers: %.1f s (exit %d); ratio %.3f\n",
        imageKib, one.wallMs / 1000, one.code, printers, many.wallMs / 1000, many.code,
        many.wallMs / one.wallMs);
    std::printf("peak RSS %ld KiB (image %d KiB), threads at most %d (bound %d)\n", many.maxRssKib,
                imageKib, many.maxThreads, 2 * std::min(printers, 256) + 8);
    std::printf(
        "timelines of %d printers; largest stretch (negative: shorter than the pause): FR->SA15 "
        "%.0f ms, SA15->data %.0f ms, "
        "data->re-identify %.0f ms\n",
        complete, stretch[0], stretch[1], stretch[2]);
    return 0;
}
