#pragma once
#include <string>
#include <vector>

#include "platform/FileReader.h"
#include "platform/KeyFolders.h"
#include "platform/TrustedKeys.h"

namespace kv {

using platform::MinisignKey;
using platform::TrustedKey;
using platform::TrustedKeys;

// Reads the trusted keys: the *.pub files of the system's folder, of
// `extraFolder` (KVFLASH_TRUSTED_KEYS: an absolute path, added, never
// replacing the system's) and of `moreFolders` (kvimage --keys). Fails
// closed: any *.pub turns checking on, and one that is not trusted (cannot
// be read, does not parse, or in the system folder can be changed by
// others) goes into badFiles with why.
TrustedKeys loadTrustedKeys(platform::FileReader& files, platform::KeyFolders& folders,
                            const std::string& extraFolder,
                            const std::vector<std::string>& moreFolders = {});

// One key file's text parsed, for the demo key of --simulate; throws when
// it does not parse (it is the program's own).
TrustedKey builtInKey(const std::string& text, const std::string& name);

}  // namespace kv
