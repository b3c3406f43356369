#pragma once
#include <filesystem>
#include <string>

namespace kv::testing {

// kvprinter-emu of the Linux build, serving on a free loopback port until
// stop() or the end of the object.
class Emulator {
public:
    explicit Emulator(const std::string& arguments = {});
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    int port() const { return port_; }
    // Ends it with SIGTERM; its exit summary.
    std::string stop();

private:
    std::filesystem::path out_;
    int pid_ = 0;
    int port_ = 0;
};

}  // namespace kv::testing
