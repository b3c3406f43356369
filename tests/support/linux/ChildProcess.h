#pragma once
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kv::testing {

// The display variables a program would take as a desktop to open a window
// on. Tests clear them for programs they run, whatever the terminal the
// suite is run from has set.
inline const std::vector<std::string> kDisplayVariables = {"DISPLAY", "WAYLAND_DISPLAY",
                                                           "QT_QPA_PLATFORM"};

// The same for a shell command line: put it in front of the program.
inline constexpr const char* kWithoutDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

// A program run as a child process: this environment without the display
// variables, plus `environment`; stdin from /dev/null, stdout and stderr
// into files in `folder`. Killed when still running at the end.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment, const std::string& folder);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int signalNumber);
    // Waits at most `bound` for it to end: its exit code (128 + the signal
    // it died of), or nothing while it still runs.
    std::optional<int> waitFor(std::chrono::milliseconds bound);
    std::string out() const;
    std::string err() const;

private:
    pid_t pid_ = -1;
    int pidfd_ = -1;
    std::optional<int> code_;
    std::string outPath_;
    std::string errPath_;
};

}  // namespace kv::testing
