#include "tests/support/HostPlatform.h"

#include <winsock2.h>
#include <windows.h>

#include <csignal>

#include "platform/win32/ConsoleCtrlTermination.h"
#include "platform/win32/MutexInstanceLock.h"
#include "platform/win32/Win32FileReader.h"
#include "platform/win32/Win32FileWriter.h"
#include "platform/win32/Win32KeyFolders.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/WinsockNetwork.h"

namespace kv::testing {

namespace win = platform::win32;

namespace {

// The executable's folder search of the system, for a program placed where
// the test says: Windows has no "started as", only GetModuleFileNameA,
// which names the test program itself.
class PlacedFiles final : public platform::Files {
public:
    explicit PlacedFiles(std::string path) : path_(std::move(path)) {}
    std::string executablePath() override {
        return path_.empty() ? files_.executablePath() : path_;
    }
    std::vector<std::string> binFilesIn(const std::string& folder) override {
        return files_.binFilesIn(folder);
    }
    char folderSeparator() const override { return files_.folderSeparator(); }
    platform::Result<void> fileToOpen(const std::string& path) override {
        return files_.fileToOpen(path);
    }

private:
    std::string path_;
    win::Win32Files files_;
};

}  // namespace

std::unique_ptr<platform::Network> makeHostNetwork(platform::NetworkBounds bounds) {
    // One startup for the test program's whole life, as a server keeps it:
    // servers and peers of a test use the network without a startup of
    // their own, and a link's own startup/cleanup pair leaves it up.
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;  // a failed startup shows as every socket call failing
    return std::make_unique<win::WinsockNetwork>(bounds);
}

std::unique_ptr<platform::InstanceLock> makeHostInstanceLock(const std::string& folder) {
    // The mutex is the session's; the folder makes it a name of its own, so
    // test programs side by side (and a real KV tool) do not meet. A
    // backslash would name a kernel object namespace.
    std::string name = "KV_TOOLS@" + folder;
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return std::make_unique<win::MutexInstanceLock>(name);
}

std::unique_ptr<platform::Files> makeHostFiles(const std::string& argv0) {
    return std::make_unique<PlacedFiles>(argv0);
}

std::unique_ptr<platform::FileReader> makeHostFileReader() {
    return std::make_unique<win::Win32FileReader>();
}

std::unique_ptr<platform::FileWriter> makeHostFileWriter() {
    return std::make_unique<win::Win32FileWriter>();
}

std::unique_ptr<platform::KeyFolders> makeHostKeyFolders(const std::string& systemFolder) {
    return std::make_unique<win::Win32KeyFolders>(systemFolder);
}

bool runningAsRoot() { return false; }

std::unique_ptr<platform::TerminationSignals> makeHostTerminationSignals() {
    return std::make_unique<win::ConsoleCtrlTermination>();
}

void requestHostTermination(int signalNumber) {
    // Ctrl+C is SIGINT; Ctrl+Break is what the other end requests arrive as.
    (void)::GenerateConsoleCtrlEvent(signalNumber == SIGINT ? CTRL_C_EVENT : CTRL_BREAK_EVENT, 0);
}

std::optional<std::string> missingHostTermination() {
    DWORD mode = 0;
    if (::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode)) return std::nullopt;
    return std::string("no console to raise Ctrl+C in (run the program on a terminal)");
}

}  // namespace kv::testing
