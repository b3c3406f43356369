#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace kv::fleet {

// One printer's file under --log-dir: its trace and transcript, a line at a
// time, written as they come (nothing held in memory) and bounded in size:
// past kMaxBytes lines are only counted, and the count is the last line.
class PrinterLog {
public:
    static constexpr uint64_t kMaxBytes = 1024 * 1024;

    // Opens (appending) `folder`/A.B.C.D_PORT.log; a log that cannot be
    // opened writes nothing, and `error` says why.
    PrinterLog(const std::string& folder, const std::string& fileStem);
    ~PrinterLog();
    PrinterLog(const PrinterLog&) = delete;
    PrinterLog& operator=(const PrinterLog&) = delete;

    bool open() const { return file_ != nullptr; }
    const std::string& error() const { return error_; }
    void write(std::string_view line);

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string error_;
    uint64_t written_ = 0;
    uint64_t dropped_ = 0;
};

// Makes `folder` (and its parents) and writes a probe file in it, so a
// folder that cannot hold the logs is refused before any printer is touched.
// Empty when it can; otherwise why not.
std::string prepareLogFolder(const std::string& folder);

}  // namespace kv::fleet
