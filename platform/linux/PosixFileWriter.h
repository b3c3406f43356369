#pragma once
#include "platform/FileWriter.h"

namespace kv::platform::linux_impl {

// open(O_CREAT | O_EXCL | O_NOFOLLOW), S_ISREG on the descriptor, the mode
// set whatever the umask, then plain writes.
class PosixFileWriter final : public FileWriter {
public:
    Result<std::unique_ptr<WritableFile>> createNew(const std::string& path) override;
};

}  // namespace kv::platform::linux_impl
