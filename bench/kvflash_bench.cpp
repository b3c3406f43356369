// kvflash-bench: what a transfer costs per block beyond its bytes.
//
// The Ethernet data phase of kvflash (ProgramFlashEthernet with the terminal
// front end's real controls, the real trace and the real network) and a raw
// stream of the same blocks (send() in a loop) go to the same printer on
// loopback, a pair at a time; each pair prints both times, their ratio and
// the overhead per block, and the median of the pairs ends the report. The
// local transfer (ProgramFlash) is measured the same way on a simulated USB
// printer. The pauses of both run in virtual time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/DiscardingPrinter.h"
#include "bench/TimedControls.h"
#include "emulator/PrinterModel.h"
#include "emulator/sim/SimDeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"
#include "flash/EthernetFlash.h"
#include "flash/LocalFlash.h"
#include "image/FirmwareImage.h"
#include "link/Ethernet.h"
#include "link/UsbConfig.h"
#include "main/LinuxHost.h"
#include "main/SimulatedMachine.h"
#include "platform/sim/ScriptedUi.h"
#include "printer/discovery/Discovery.h"
#include "state/Context.h"
#include "ui/console/ConsoleDialogControls.h"

namespace {

using namespace kv;
using Seconds = double;

constexpr size_t kBlock = 8192;

struct Settings {
    size_t megabytes = 48;
    size_t pairs = 5;
    std::string out = "/dev/null";  // where the terminal's event lines go
    bool local = true;
};

std::vector<uint8_t> testImage(size_t bytes) {
    std::vector<uint8_t> image(bytes);
    uint32_t x = 2463534242u;
    for (uint8_t& b : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    const char marker[] = "FWV:V5.20;";
    std::memcpy(image.data() + 16, marker, sizeof marker - 1);
    return image;
}

Seconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The same blocks with nothing around them: send() until each is gone.
Seconds rawEthernet(uint16_t port, const std::vector<uint8_t>& image) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("kvflash-bench: connect");
        std::exit(1);
    }
    const auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < image.size(); at += kBlock) {
        const size_t block = std::min(kBlock, image.size() - at);
        for (size_t done = 0; done < block;) {
            const ssize_t n = ::send(fd, image.data() + at + done, block - done, MSG_NOSIGNAL);
            if (n <= 0) {
                std::perror("kvflash-bench: send");
                std::exit(1);
            }
            done += static_cast<size_t>(n);
        }
    }
    const Seconds taken = since(start);
    ::close(fd);
    return taken;
}

// The simulated machine (its pauses in virtual time) beside the machine's
// own trace, network and threads, with the terminal front end's controls,
// timed, and boxes answered by script.
struct BenchWorld {
    explicit BenchWorld(std::FILE* out)
        : machine({}), console(out, ui::ConsoleDialogControls::templateStates()) {
        host.wireInto(sys);
        machine.wireInto(sys);
        wireFrontEnd(ctx, ui, controls);
    }

    entry::LinuxHost host{false, ""};
    entry::SimulatedMachine machine;
    platform::sim::ScriptedUi ui;
    ui::ConsoleDialogControls console;
    bench::TimedControls controls{console};
    platform::Services sys;
    AppState state;
    Context ctx{state, sys};
};

// kvflash's Ethernet worker on a fresh connection: its data phase.
Seconds kvflashEthernet(uint16_t port, const std::vector<uint8_t>& image, std::FILE* out) {
    BenchWorld w(out);
    AppState& state = w.state;
    PrinterData& printer = state.printerData;
    platform::SocketHandle socket;
    if (!openSocket(w.sys, socket, "127", "0", "0", "1", std::to_string(port), printer)) {
        std::fprintf(stderr, "kvflash-bench: no connection to the printer\n");
        std::exit(1);
    }
    // The re-probe after the reset finds nobody at once; it is not timed.
    state.ipAddressText = {"127", "0", "0", "1"};
    state.portNumberText = std::to_string(bench::closedLoopbackPort());

    FlashJob& job = state.flashJob;
    job.socket = socket;
    job.controls = &w.controls;
    job.image = std::make_shared<FirmwareImage>(makeFirmwareImage(image));
    job.printer = &printer;
    job.state = &state;
    job.sys = &w.sys;
    state.flashInProgress = true;
    ProgramFlashEthernet(&job);
    w.sys.network().close(socket);
    return w.controls.seconds();
}

// A simulated USB printer (an MVQ Plus board: 8192-byte blocks) on the
// bench's machine.
struct LocalWorld : BenchWorld {
    explicit LocalWorld(std::FILE* out) : BenchWorld(out) {
        emulator::PrinterConfig c;
        c.link = emulator::LinkKind::Usb;
        c.deviceId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
        path = machine.enumerator.plugUsbPrinter(
            kKvUsbVendorId, 1, "5a4f573330303446",
            std::make_shared<emulator::PrinterModel>(c, &machine.clock));
    }
    std::string path;
};

// Find Printer, then Flash Printer NOW with the image in `file`.
Seconds kvflashLocal(const std::string& file, std::FILE* out) {
    LocalWorld w(out);
    refreshPrinterList(w.ctx, w.state.printerData);
    w.state.firmwareFileName = file;
    if (!FlashPrinterNow(w.ctx, w.controls, w.state.printerData) ||
        !w.state.workerSignal.waitForWorkerEnd()) {
        std::fprintf(stderr, "kvflash-bench: the local flash did not run\n");
        std::exit(1);
    }
    return w.controls.seconds();
}

// The same blocks written to the same simulated printer, in flash mode.
Seconds rawLocal(const std::vector<uint8_t>& image) {
    LocalWorld w(stdout);
    emulator::SimDeviceIo& io = w.machine.io;
    const platform::DeviceHandle handle = io.open(w.path, platform::ShareMode::Exclusive);
    std::vector<uint8_t> reply(1024);
    size_t n = 0;
    for (const char* request : {"\x1B*FR", "\x1BIA\x0F"}) {
        (void)io.write(handle, reinterpret_cast<const uint8_t*>(request), 4, n);
        (void)io.read(handle, reply.data(), reply.size(), n);
    }
    const auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < image.size(); at += kBlock) {
        const size_t block = std::min(kBlock, image.size() - at);
        for (size_t done = 0; done < block; done += n) {
            if (!io.write(handle, image.data() + at + done, block - done, n) || n == 0) {
                std::fprintf(stderr, "kvflash-bench: raw write failed\n");
                std::exit(1);
            }
        }
    }
    const Seconds taken = since(start);
    (void)io.close(handle);
    return taken;
}

struct Pair {
    Seconds raw = 0;
    Seconds kvflash = 0;
    double overheadUs(size_t blocks) const { return (kvflash - raw) * 1e6 / double(blocks); }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char* what, const std::vector<Pair>& pairs, size_t blocks) {
    std::vector<double> overheads;
    std::printf("%s, %zu blocks of %zu bytes:\n", what, blocks, kBlock);
    for (size_t i = 0; i < pairs.size(); ++i) {
        const Pair& p = pairs[i];
        overheads.push_back(p.overheadUs(blocks));
        std::printf(
            "  pair %zu: raw %.3f s, kvflash %.3f s, raw/kvflash %.2f, overhead %.2f us per "
            "block\n",
            i + 1, p.raw, p.kvflash, p.raw / p.kvflash, overheads.back());
    }
    const auto [low, high] = std::minmax_element(overheads.begin(), overheads.end());
    std::printf("  median overhead %.2f us per block (%.2f to %.2f)\n", median(overheads), *low,
                *high);
}

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--megabytes" && v) {
            s.megabytes = std::strtoul(v, nullptr, 10);
            ++i;
        } else if (a == "--pairs" && v) {
            s.pairs = std::strtoul(v, nullptr, 10);
            ++i;
        } else if (a == "--events" && v) {
            s.out = v;
            ++i;
        } else if (a == "--no-local") {
            s.local = false;
        } else {
            return false;
        }
    }
    return s.megabytes > 0 && s.pairs > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse(argc, argv, settings)) {
        std::fputs(
            "usage: kvflash-bench [--megabytes N (48)] [--pairs N (5)] [--events FILE "
            "(/dev/null; - for stdout)] [--no-local]\n",
            stderr);
        return 2;
    }
    std::FILE* out = settings.out == "-" ? stdout : std::fopen(settings.out.c_str(), "w");
    if (!out) {
        std::perror(settings.out.c_str());
        return 1;
    }
    const std::vector<uint8_t> image = testImage(settings.megabytes * 1000 * 1000);
    const size_t blocks = (image.size() + kBlock - 1) / kBlock;

    bench::DiscardingPrinter printer;
    std::vector<Pair> ethernet(settings.pairs);
    for (size_t i = 0; i < settings.pairs; ++i) {
        // Alternating which goes first, so neither always finds the caches warm.
        if (i % 2 == 0) {
            ethernet[i].raw = rawEthernet(printer.port(), image);
            ethernet[i].kvflash = kvflashEthernet(printer.port(), image, out);
        } else {
            ethernet[i].kvflash = kvflashEthernet(printer.port(), image, out);
            ethernet[i].raw = rawEthernet(printer.port(), image);
        }
    }
    report("Ethernet data phase", ethernet, blocks);

    if (settings.local) {
        char file[] = "/tmp/kvflash-bench-XXXXXX";
        const int fd = ::mkstemp(file);
        if (fd < 0 ||
            ::write(fd, image.data(), image.size()) != static_cast<ssize_t>(image.size())) {
            std::perror("kvflash-bench: image file");
            return 1;
        }
        ::close(fd);
        std::vector<Pair> local(settings.pairs);
        for (size_t i = 0; i < settings.pairs; ++i) {
            local[i].raw = rawLocal(image);
            local[i].kvflash = kvflashLocal(file, out);
        }
        ::unlink(file);
        report("Local transfer on the simulated USB printer", local, blocks);
    }
    if (out != stdout) std::fclose(out);
    return 0;
}
