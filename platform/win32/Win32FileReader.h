#pragma once
#include "platform/FileReader.h"

namespace kv::platform::win32 {

// CreateFileA with read sharing; only a disk file is taken (GetFileType on
// the handle: no pipe, console or device), then ReadFile.
class Win32FileReader final : public FileReader {
public:
    Result<std::unique_ptr<ReadableFile>> openRegular(const std::string& path) override;
};

}  // namespace kv::platform::win32
