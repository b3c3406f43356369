#include "tests/wine/Emulator.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "tests/spooler/linux/CupsWorld.h"

namespace kv::testing {

Emulator::Emulator(const std::string& arguments) {
    static std::atomic<unsigned> counter{0};
    out_ = std::filesystem::temp_directory_path() /
           ("kvtest-emu-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    const std::string out = shellWord(out_.string());
    // Its first line on stdout is the port it took.
    const RunResult r =
        run(std::string(KVPRINTER_EMU) + " --listen 127.0.0.1:0 " + arguments + " >" + out + " 2>" +
            out + ".err & echo $!; until [ -s " + out + " ]; do sleep 0.02; done");
    pid_ = std::atoi(r.out.c_str());
    port_ = std::atoi(run("head -n1 " + out).out.c_str());
}

Emulator::~Emulator() {
    stop();
    std::error_code ignored;
    std::filesystem::remove(out_, ignored);
    std::filesystem::remove(out_.string() + ".err", ignored);
}

std::string Emulator::stop() {
    if (pid_ <= 0) return {};
    ::kill(pid_, SIGTERM);
    run("while kill -0 " + std::to_string(pid_) + " 2>/dev/null; do sleep 0.02; done", 10);
    pid_ = 0;
    return run("cat " + shellWord(out_.string())).out;
}

}  // namespace kv::testing
