#include "fleet/PrinterLog.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kv::fleet {

PrinterLog::PrinterLog(const std::string& folder, const std::string& fileStem) {
    const std::string path = folder + "/" + fileStem + ".log";
    file_ = std::fopen(path.c_str(), "ab");
    if (!file_) error_ = path + ": " + std::strerror(errno);
}

PrinterLog::~PrinterLog() {
    if (!file_) return;
    if (dropped_ > 0) {
        std::fprintf(file_, "(%llu more lines not kept: the log is full)\n",
                     static_cast<unsigned long long>(dropped_));
    }
    std::fclose(file_);
}

void PrinterLog::write(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (!file_) return;
    if (written_ + line.size() + 1 > kMaxBytes) {
        ++dropped_;
        return;
    }
    written_ += line.size() + 1;
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
}

std::string prepareLogFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return ec.message();
    if (!fs::is_directory(folder, ec)) return "not a folder";
    const std::string probe = folder + "/.kvflash-log-probe";
    std::FILE* file = std::fopen(probe.c_str(), "ab");
    if (!file) return std::strerror(errno);
    std::fclose(file);
    std::remove(probe.c_str());
    return "";
}

}  // namespace kv::fleet
