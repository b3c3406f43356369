#include "platform/linux/PosixFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/RegularFile.h"
#include "platform/linux/StateFolder.h"

namespace kv::platform::linux_impl {

namespace {

constexpr mode_t kReadableByAll = 0644;

class PosixWritableFile final : public WritableFile {
public:
    explicit PosixWritableFile(Descriptor fd) : fd_(std::move(fd)) {}

    Result<void> append(std::string_view bytes) override {
        if (!writeWhole(fd_.get(), bytes)) return Failure{std::strerror(errno)};
        return {};
    }

private:
    Descriptor fd_;
};

}  // namespace

Result<std::unique_ptr<WritableFile>> PosixFileWriter::createNew(const std::string& path) {
    RegularFile file =
        openRegular(path, O_WRONLY | O_CREAT | O_EXCL | O_APPEND, Links::Refused, kReadableByAll);
    if (!file.fd.valid()) {
        return Failure{file.error != 0 ? std::strerror(file.error) : "not a regular file"};
    }
    // The umask may have taken bits off; people read these files.
    if (::fchmod(file.fd.get(), kReadableByAll) != 0) return Failure{std::strerror(errno)};
    return std::make_unique<PosixWritableFile>(std::move(file.fd));
}

}  // namespace kv::platform::linux_impl
