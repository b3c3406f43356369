#pragma once
#include <sys/types.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kv::testing {

// The build folder ctest passes in (its programs under bin/); empty outside ctest.
inline std::string buildDir() {
    const char* dir = std::getenv("KVFLASH_BUILD_DIR");
    return dir ? dir : "";
}

// The display variables a program would take as a desktop to open a window
// on. Tests clear them for programs they run, whatever the terminal the
// suite is run from has set.
inline const std::vector<std::string> kDisplayVariables = {"DISPLAY", "WAYLAND_DISPLAY",
                                                           "QT_QPA_PLATFORM"};

// The same for a shell command line: put it in front of the program.
inline constexpr const char* kWithoutDisplay =
    "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

// A program run as a child process: this environment without the display
// variables, plus `environment`; stdin from /dev/null, stdout and stderr
// into files in `folder`. Killed when still running at the end.
class ChildProcess {
public:
    // Output::Pipe: stdout goes into the smallest pipe the system allows
    // (one page), which only readOutUntil and waitFor drain. A child that
    // writes more waits for the test, so the test decides how far it gets
    // between two of its lines.
    enum class Output { File, Pipe };

    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment, const std::string& folder,
                 Output output = Output::File);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int signalNumber);
    // Waits at most `bound` for it to end: its exit code (128 + the signal
    // it died of), or nothing while it still runs.
    std::optional<int> waitFor(std::chrono::milliseconds bound);
    // Output::Pipe: reads on until a line starting with `prefix` has come;
    // false when the output ended or `bound` ran out first.
    bool readOutUntil(const std::string& prefix, std::chrono::milliseconds bound);
    // Its stdout: the file, or what was read from the pipe so far.
    std::string out() const;
    std::string err() const;

private:
    // One read from the pipe into outRead_, waiting at most `ms`; false at
    // its end.
    bool readSome(int ms);

    pid_t pid_ = -1;
    int pidfd_ = -1;
    int outPipe_ = -1;
    std::string outRead_;
    std::optional<int> code_;
    std::string outPath_;
    std::string errPath_;
};

}  // namespace kv::testing
