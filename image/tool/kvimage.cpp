// kvimage: builds and checks firmware image files for technicians and tests.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "image/ImageTool.h"
#ifdef _WIN32
#include "platform/win32/Win32FileReader.h"
#include "platform/win32/Win32KeyFolders.h"
using HostFileReader = kv::platform::win32::Win32FileReader;
using HostKeyFolders = kv::platform::win32::Win32KeyFolders;
#else
#include "platform/linux/LinuxKeyFolders.h"
#include "platform/linux/PosixFileReader.h"
using HostFileReader = kv::platform::linux_impl::PosixFileReader;
using HostKeyFolders = kv::platform::linux_impl::LinuxKeyFolders;
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    HostFileReader files;
    HostKeyFolders folders;
    kv::ImageToolTrust trust{&folders, {}};
    if (const char* extra = std::getenv("KVFLASH_TRUSTED_KEYS")) trust.extraFolder = extra;
    return kv::runImageTool(files, args, std::cout, std::cerr, trust);
}
