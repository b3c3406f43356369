#pragma once
#include <string>
#include <vector>

#include "platform/Result.h"

namespace kv::platform {

// The folders of the public keys an image must be signed by.
class KeyFolders {
public:
    virtual ~KeyFolders() = default;
    // The system's folder of them (Linux /etc/kvflash/trusted-keys, Windows
    // %ProgramData%\kvflash\trusted-keys found through the known-folder
    // call); empty when the system does not say.
    virtual std::string systemFolder() = 0;
    // The paths of the folder's *.pub entries, whatever they are (the file
    // reader judges each), in name order. A missing folder has none; one
    // that cannot be listed fails with the reason.
    virtual Result<std::vector<std::string>> keyFilesIn(const std::string& folder) = 0;
    // Succeeds when no one but the administrators can change the file or
    // folder: on Linux owned by root and writable by neither group nor
    // others; on Windows, writable by administrators and the system alone.
    virtual Result<void> closedToOthers(const std::string& path) = 0;
};

}  // namespace kv::platform
