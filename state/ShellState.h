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
    // Set by the UI thread when a worker starts, cleared by the worker.
    std::atomic<bool> flashInProgress{false};
    std::array<std::string, 4> ipAddressText;
    std::string portNumberText;
};

}  // namespace kv
