// kvimage: builds and checks firmware image files for technicians and tests.
#include <iostream>
#include <string>
#include <vector>

#include "image/ImageTool.h"
#ifdef _WIN32
#include "platform/win32/Win32FileReader.h"
using HostFileReader = kv::platform::win32::Win32FileReader;
#else
#include "platform/linux/PosixFileReader.h"
using HostFileReader = kv::platform::linux_impl::PosixFileReader;
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    HostFileReader files;
    return kv::runImageTool(files, args, std::cout, std::cerr);
}
