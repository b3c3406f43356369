#pragma once
#include "platform/FileWriter.h"

namespace kv::platform::win32 {

// CreateFileA with CREATE_NEW (a name already there, a link among them, is
// refused); only a disk file is kept, then WriteFile.
class Win32FileWriter final : public FileWriter {
public:
    Result<std::unique_ptr<WritableFile>> createNew(const std::string& path) override;
};

}  // namespace kv::platform::win32
