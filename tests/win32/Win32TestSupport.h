#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kv::testing {

// A variable of this process's environment, if set and not empty. The
// Linux-side driver (tests/wine) passes what it set up this way.
std::optional<std::string> environment(const char* name);

// This test program's own path, and its folder with a trailing backslash.
std::string selfPath();
std::string folderOfSelf();

struct ProcessResult {
    bool finished = false;  // false: did not end within the bound, killed
    uint32_t code = 0;
    std::string out;  // stdout and stderr together
};

// Runs a program with extra environment variables, its output captured,
// and waits at most timeoutMs for it to end.
ProcessResult runProcess(const std::string& program, const std::string& arguments,
                         const std::map<std::string, std::string>& extraEnvironment,
                         uint32_t timeoutMs = 30000);

// kvtest_helper.exe, beside this program: the children the tests start.
std::string helperPath();

// The value after "key=" on a line of text, up to the line's end.
std::optional<std::string> field(const std::string& text, const std::string& key);

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // With a trailing backslash.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Milliseconds of the steady clock, for measuring a bound.
int64_t nowMs();

}  // namespace kv::testing
