#pragma once
#include "platform/FileReader.h"

namespace kv::platform::linux_impl {

// open(O_NONBLOCK) and fstat's S_ISREG on the descriptor, then plain reads.
class PosixFileReader final : public FileReader {
public:
    Result<std::unique_ptr<ReadableFile>> openRegular(const std::string& path) override;
};

}  // namespace kv::platform::linux_impl
