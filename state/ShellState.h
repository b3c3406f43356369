#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "state/TextFields.h"

namespace kv {

// Application-wide flags and texts of the shell.
struct ShellState {
    uint32_t m_dwLastError = 0;
    std::string modulePath;
    // Started as ...AUTO.EXE beside exactly one image: search and flash it
    // without a click.
    bool autoLoadMode = false;
    std::string autoLoadFileName;
    std::string autoLoadFilePath;
    // A flash runs on this machine: set by the UI thread when the dialog's
    // worker or a run of many network printers starts, cleared by that
    // worker or run as its last step. One flash at a time, whichever window
    // started it: while it is set the dialog refuses its searches, its file
    // choice, its flash and its end, and no run of many printers starts.
    std::atomic<bool> flashInProgress{false};
    std::array<std::string, 4> ipAddressText;
    std::string portNumberText;
};

}  // namespace kv
