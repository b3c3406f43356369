#include "image/TrustedKeyFiles.h"

#include <filesystem>
#include <stdexcept>

#include "image/FileBytes.h"
#include "image/Minisign.h"

namespace kv {
namespace {

void readKeyFile(platform::FileReader& files, const std::string& path, TrustedKeys& trust) {
    const FileBytes file = readFileBytes(files, path, kMinisignFileLimit);
    std::string why;
    if (file.status == FileBytes::Status::TooLarge) {
        why = "larger than " + std::to_string(kMinisignFileLimit) + " bytes";
    } else if (file.status == FileBytes::Status::Unreadable) {
        why = file.reason;
    } else {
        const Parsed<MinisignKey> key = parseMinisignKey(
            std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
        if (key.value) {
            trust.keys.push_back({*key.value, path});
            return;
        }
        why = key.reason;
    }
    trust.badFiles.push_back("the key file " + path + " is not trusted: " + why);
}

// `ownership`: the system folder's rule, that only administrators may
// change the folder and its keys.
void readFolder(platform::FileReader& files, platform::KeyFolders& folders,
                const std::string& folder, bool ownership, TrustedKeys& trust) {
    const auto found = folders.keyFilesIn(folder);
    if (!found) {
        trust.checking = true;
        trust.badFiles.push_back("the trusted keys' folder " + folder +
                                 " cannot be read: " + found.reason());
        return;
    }
    if (found->empty()) return;
    trust.checking = true;
    if (ownership) {
        if (const auto closed = folders.closedToOthers(folder); !closed) {
            trust.badFiles.push_back("the trusted keys' folder " + folder +
                                     " is not trusted: " + closed.reason());
            return;
        }
    }
    for (const std::string& path : *found) {
        if (ownership) {
            if (const auto closed = folders.closedToOthers(path); !closed) {
                trust.badFiles.push_back("the key file " + path +
                                         " is not trusted: " + closed.reason());
                continue;
            }
        }
        readKeyFile(files, path, trust);
    }
}

}  // namespace

TrustedKeys loadTrustedKeys(platform::FileReader& files, platform::KeyFolders& folders,
                            const std::string& extraFolder,
                            const std::vector<std::string>& moreFolders) {
    TrustedKeys trust;
    const std::string system = folders.systemFolder();
    if (!system.empty()) readFolder(files, folders, system, true, trust);
    if (!extraFolder.empty()) {
        trust.extraFolder = extraFolder;
        if (std::filesystem::path(extraFolder).is_absolute()) {
            readFolder(files, folders, extraFolder, false, trust);
        } else {
            // Someone meant keys to count: refuse rather than guess.
            trust.checking = true;
            trust.badFiles.push_back("KVFLASH_TRUSTED_KEYS is not an absolute path: " +
                                     extraFolder);
        }
    }
    for (const std::string& folder : moreFolders) readFolder(files, folders, folder, false, trust);
    return trust;
}

TrustedKey builtInKey(const std::string& text, const std::string& name) {
    const Parsed<MinisignKey> key = parseMinisignKey(text);
    if (!key.value) throw std::logic_error(name + ": " + key.reason);
    return {*key.value, name};
}

}  // namespace kv
