// kvflash-cli.exe: firmware updater for KV ticket printers, in a console.
#include <string>
#include <vector>

#include "main/win32/Win32Run.h"

int main(int argc, char** argv) {
    return kv::entry::runWin32Console(std::vector<std::string>(argv + 1, argv + argc));
}
