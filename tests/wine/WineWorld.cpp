#include "tests/wine/WineWorld.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kv::testing {

namespace fs = std::filesystem;

bool ciRun() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

bool allPassed(const RunResult& r) {
    return r.code == 0 && r.out.find("[  PASSED  ]") != std::string::npos &&
           r.out.find("[  FAILED  ]") == std::string::npos;
}

std::string WineWorld::binFolder() { return KVFLASH_WINDOWS_BIN; }
std::string WineWorld::prefix() { return KVFLASH_WINE_PREFIX; }

std::string WineWorld::windowsPath(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::optional<std::string> WineWorld::missing() {
    if (kv::testing::run("command -v wine && command -v wineserver").code != 0) {
        return std::string("Wine is not installed (Debian packages wine, wine64)");
    }
    if (kv::testing::run("command -v xvfb-run && command -v script").code != 0) {
        return std::string("xvfb-run or script is missing (Debian packages xvfb, bsdutils)");
    }
    if (!fs::exists(fs::path(binFolder()) / "kvtest_win32.exe")) {
        return "the Windows build has no test program at " + binFolder() +
               " (cmake --preset windows && cmake --build --preset windows)";
    }
    return std::nullopt;
}

namespace {

// For every command after it in the same shell line.
// Programs run without a window see no display, whatever display the suite
// was started from; those with one get Xvfb's (runOnDisplay).
const std::string kNoDisplay = "unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM; ";

std::string baseEnvironment() {
    return "export WINEPREFIX=" + shellWord(WineWorld::prefix()) +
           " WINEDLLOVERRIDES='mscoree,mshtml=' WINEDEBUG=${WINEDEBUG:--all}; ";
}

}  // namespace

bool WineWorld::ready() {
    const fs::path root = prefix();
    fs::create_directories(root.parent_path());
    const std::string lockPath = root.string() + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        startError_ = "cannot lock " + lockPath;
        if (lock >= 0) ::close(lock);
        return false;
    }
    const fs::path marker = root / "kvflash-ready";
    if (!fs::exists(marker)) {
        // Windows without a window manager around it still gets a caption:
        // Wine draws its own frames when it does not hand them to one.
        const RunResult made =
            kv::testing::run(kNoDisplay + baseEnvironment() +
                                 "wineboot -i && wine reg add 'HKCU\\Software\\Wine\\X11 Driver' "
                                 "/v Managed /d N /f && wineserver -w",
                             180);
        if (made.code != 0 || kv::testing::run("grep -q '\"Managed\"=\"N\"' " +
                                               shellWord((root / "user.reg").string()))
                                      .code != 0) {
            startError_ =
                "wineboot failed (" + std::to_string(made.code) + "): " + made.out + made.err;
            ::close(lock);
            return false;
        }
        // Parallel ports exist only where a test links one.
        std::error_code ignored;
        for (const char* port : {"lpt1", "lpt2", "lpt3"}) {
            fs::remove(root / "dosdevices" / port, ignored);
        }
        kv::testing::run("touch " + shellWord(marker.string()));
    }
    // Idles 30 s after the last program before it goes by itself.
    kv::testing::run(baseEnvironment() + "wineserver -p30");
    ::close(lock);
    return true;
}

std::string WineWorld::commandLine(const std::string& program, const std::string& arguments,
                                   const std::map<std::string, std::string>& environment) {
    std::string line = baseEnvironment();
    for (const auto& [name, value] : environment) line += name + "=" + shellWord(value) + " ";
    return line + "wine " + shellWord(binFolder() + "/" + program) + " " + arguments;
}

RunResult WineWorld::run(const std::string& program, const std::string& arguments,
                         const std::map<std::string, std::string>& environment,
                         int timeoutSeconds) {
    return kv::testing::run(kNoDisplay + commandLine(program, arguments, environment),
                            timeoutSeconds);
}

RunResult WineWorld::runOnDisplay(const std::string& program, const std::string& arguments,
                                  const std::map<std::string, std::string>& environment,
                                  int timeoutSeconds) {
    // Wine's desktop keeps the display of the session that started it: a
    // session of its own, before and after, so no other run shares it.
    const std::string endSession = baseEnvironment() + "wineserver -k; wineserver -w; ";
    RunResult r = kv::testing::run(endSession + "xvfb-run -a -s '-screen 0 1024x768x24' sh -c " +
                                       shellWord(commandLine(program, arguments, environment)),
                                   timeoutSeconds);
    kv::testing::run(endSession);
    return r;
}

RunResult WineWorld::runOnTerminal(const std::string& program, const std::string& arguments,
                                   const std::map<std::string, std::string>& environment,
                                   int timeoutSeconds) {
    return kv::testing::run(kNoDisplay + "script -qec " +
                                shellWord(commandLine(program, arguments, environment)) +
                                " /dev/null",
                            timeoutSeconds);
}

}  // namespace kv::testing
