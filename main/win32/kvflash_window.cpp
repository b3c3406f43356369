// kvflash.exe: firmware updater for KV ticket printers, the window.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "main/win32/Win32Run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    return kv::entry::runWin32Window(instance, args);
}
