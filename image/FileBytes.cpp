#include "image/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace kv {
namespace {

std::string lastErrorText() {
    return errno ? std::string(std::strerror(errno)) : std::string("I/O error");
}

}  // namespace

FileBytes readFilePieces(platform::FileReader& files, const std::string& path, uint64_t maxBytes,
                         const FilePieceTaker& take) {
    FileBytes result;
    const auto opened = files.openRegular(path);
    if (!opened) {
        result.reason = opened.reason();
        return result;
    }
    platform::ReadableFile& file = **opened;
    result.size = file.size();
    if (result.size > maxBytes) {
        result.status = FileBytes::Status::TooLarge;
        return result;
    }
    // Read up to one byte past the limit: the file may have grown since it
    // was opened.
    constexpr size_t kChunk = 1 << 20;
    std::vector<uint8_t> chunk(kChunk);
    uint64_t total = 0;
    while (true) {
        const uint64_t left = maxBytes - total;  // total never exceeds maxBytes here
        const size_t want = left >= kChunk ? kChunk : static_cast<size_t>(left + 1);
        const auto read = file.read(chunk.data(), want);
        if (!read) {
            result.reason = read.reason();
            return result;
        }
        const size_t got = *read;
        if (got == 0) break;
        total += got;
        if (total > maxBytes) {
            result.status = FileBytes::Status::TooLarge;
            result.size = std::max<uint64_t>(result.size, total);
            return result;
        }
        take(chunk.data(), got, file.size());
    }
    result.size = total;
    result.status = FileBytes::Status::Ok;
    return result;
}

FileBytes readFileBytes(platform::FileReader& files, const std::string& path, uint64_t maxBytes) {
    std::vector<uint8_t> bytes;
    FileBytes result =
        readFilePieces(files, path, maxBytes, [&](const uint8_t* piece, size_t n, uint64_t size) {
            if (bytes.empty()) bytes.reserve(static_cast<size_t>(size));
            bytes.insert(bytes.end(), piece, piece + n);
        });
    if (result.status == FileBytes::Status::Ok) result.bytes = std::move(bytes);
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
