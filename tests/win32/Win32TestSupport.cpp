#include "tests/win32/Win32TestSupport.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace kv::testing {

std::optional<std::string> environment(const char* name) {
    std::vector<char> value(32768);
    const DWORD n = ::GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0 || n >= value.size()) return std::nullopt;
    return std::string(value.data(), n);
}

std::string selfPath() {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

ProcessResult runProcess(const std::string& program, const std::string& arguments,
                         const std::map<std::string, std::string>& extraEnvironment,
                         uint32_t timeoutMs) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    // The child inherits this process's environment with the extras set.
    std::map<std::string, std::optional<std::string>> previous;
    for (const auto& [name, value] : extraEnvironment) {
        previous[name] = environment(name.c_str());
        ::SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\" " + arguments;
    const BOOL started = ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                                          TRUE, 0, nullptr, nullptr, &startup, &process);
    for (const auto& [name, value] : previous) {
        ::SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
    }
    ::CloseHandle(writeEnd);
    if (!started) {
        ::CloseHandle(readEnd);
        return result;
    }

    std::string out;
    std::thread reader([&] {
        char buffer[4096];
        DWORD n = 0;
        while (::ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
            out.append(buffer, n);
    });
    if (::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
    } else {
        ::TerminateProcess(process.hProcess, 255);
        ::WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    result.code = code;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    reader.join();  // ends once every copy of the write end is gone
    ::CloseHandle(readEnd);
    result.out = out;
    return result;
}

std::string folderOfSelf() {
    const std::string self = selfPath();
    return self.substr(0, self.find_last_of('\\') + 1);
}

std::string helperPath() { return folderOfSelf() + "kvtest_helper.exe"; }

std::optional<std::string> field(const std::string& text, const std::string& key) {
    const std::string marker = key + "=";
    size_t at = 0;
    while ((at = text.find(marker, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n') {
            const size_t start = at + marker.size();
            const size_t end = text.find_first_of("\r\n", start);
            return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
        at += marker.size();
    }
    return std::nullopt;
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    for (;;) {
        path_ = std::string(temp) + "kvtest-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(counter++) + "\\";
        if (::CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kv::testing
