#pragma once
#include <map>
#include <optional>
#include <string>

#include "tests/spooler/linux/CupsWorld.h"

namespace kv::testing {

// The Windows build's programs and a private Wine prefix in the build
// folder to run them in. Every run has WINEDEBUG=-all (unless the caller
// sets it), no Mono or Gecko, and the prefix's own wineserver, which stays
// up a little after the last program so the next one starts fast.
class WineWorld {
public:
    // Why the Windows programs cannot run here, or nothing when they can.
    static std::optional<std::string> missing();

    // Creates the prefix on first use (under a lock: test processes start
    // side by side). False with the reason in startError() on failure.
    bool ready();
    const std::string& startError() const { return startError_; }

    static std::string binFolder();  // the Windows programs
    static std::string prefix();     // the Wine prefix (a Linux path)
    // A Linux path as Windows programs in the prefix name it (Z:\...).
    static std::string windowsPath(const std::string& linuxPath);

    // Runs a Windows program of binFolder() with arguments (each one shell
    // word already) and extra environment, bounded by timeoutSeconds.
    RunResult run(const std::string& program, const std::string& arguments,
                  const std::map<std::string, std::string>& environment = {},
                  int timeoutSeconds = 60);
    // The same on a private X display (Xvfb), for windows.
    RunResult runOnDisplay(const std::string& program, const std::string& arguments,
                           const std::map<std::string, std::string>& environment = {},
                           int timeoutSeconds = 60);
    // The same through a pseudo-terminal, so the program has a console.
    RunResult runOnTerminal(const std::string& program, const std::string& arguments,
                            const std::map<std::string, std::string>& environment = {},
                            int timeoutSeconds = 60);

private:
    std::string commandLine(const std::string& program, const std::string& arguments,
                            const std::map<std::string, std::string>& environment);
    std::string startError_;
};

// In a test: skips with the reason when the Windows programs cannot run
// here, except under CI=true, where that is a failure.
#define KV_REQUIRE_WINE()                                                  \
    do {                                                                   \
        if (const auto why = ::kv::testing::WineWorld::missing()) {        \
            if (::kv::testing::ciRun()) FAIL() << "CI=true, but " << *why; \
            GTEST_SKIP() << *why;                                          \
        }                                                                  \
    } while (false)

bool ciRun();

// gtest's summary of a run: every test passed, none failed.
bool allPassed(const RunResult& r);

}  // namespace kv::testing
