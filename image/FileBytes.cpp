#include "image/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kv {
namespace {

std::string lastErrorText() {
    return errno ? std::string(std::strerror(errno)) : std::string("I/O error");
}

}  // namespace

FileBytes readFileBytes(const std::string& path, uint64_t maxBytes) {
    namespace fs = std::filesystem;
    FileBytes result;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) {
        result.reason = ec ? ec.message() : "no such file";
        return result;
    }
    if (!fs::is_regular_file(st)) {
        result.reason = "not a regular file";
        return result;
    }
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        result.reason = ec.message();
        return result;
    }
    result.size = size;
    if (size > maxBytes) {
        result.status = FileBytes::Status::TooLarge;
        return result;
    }

    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.reason = lastErrorText();
        return result;
    }
    // Read up to one byte past the limit: the file may have grown since it
    // was measured.
    result.bytes.reserve(static_cast<size_t>(size));
    constexpr size_t kChunk = 1 << 20;
    std::vector<char> chunk(kChunk);
    uint64_t total = 0;
    while (true) {
        const uint64_t left = maxBytes - total;  // total never exceeds maxBytes here
        const size_t want = left >= kChunk ? kChunk : static_cast<size_t>(left + 1);
        in.read(chunk.data(), static_cast<std::streamsize>(want));
        const size_t got = static_cast<size_t>(in.gcount());
        total += got;
        if (total > maxBytes) {
            result.status = FileBytes::Status::TooLarge;
            result.size = std::max<uint64_t>(result.size, total);
            result.bytes.clear();
            result.bytes.shrink_to_fit();
            return result;
        }
        result.bytes.insert(result.bytes.end(), chunk.data(), chunk.data() + got);
        if (in.eof()) break;
        if (!in) {
            result.bytes.clear();
            result.reason = lastErrorText();
            return result;
        }
    }
    result.size = total;
    result.status = FileBytes::Status::Ok;
    return result;
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* reason) {
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
    }
    if (out) return true;
    if (reason) *reason = lastErrorText();
    return false;
}

}  // namespace kv
