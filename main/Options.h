#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/EthernetTarget.h"
#include "ui/console/ConsoleCommand.h"

namespace kv::entry {

using ui::ConsoleCommand;

struct Options {
    bool help = false;
    bool version = false;
    bool console = false;
    bool yes = false;
    bool trace = false;
    bool simulate = false;
    bool fast = false;
    bool listQueues = false;
    bool restoreQueues = false;
    bool history = false;
    bool json = false;
    std::optional<std::string> identify;
    std::vector<std::string> simUsb;
    // USB printers whose device-ID query fails (their serial number names them).
    std::vector<std::string> simUsbNoId;
    std::vector<std::string> simLpt[3];
    // What each simulated printer keeps of the bytes it receives and of the
    // image; nothing: as much as the largest image.
    std::optional<uint64_t> keepBytes;
    std::vector<ConsoleCommand> commands;

    // Many network printers: --scan TARGETS or --fleet TARGETS.
    std::vector<std::string> scanTargets;
    std::vector<std::string> fleetTargets;
    std::optional<std::string> image;
    std::optional<uint16_t> port;
    std::optional<size_t> parallel;
    std::optional<size_t> canary;
    std::optional<size_t> maxFailures;
    bool sameVersionFlash = false;
    bool uncheckedOk = false;
    std::optional<std::string> logDir;
    // Makers besides KV whose devices count as KV printers (--maker).
    std::vector<std::string> makers;
    bool verbose = false;

    bool customSimulatedWorld() const {
        return !simUsb.empty() || !simUsbNoId.empty() || !simLpt[0].empty() || !simLpt[1].empty() ||
               !simLpt[2].empty();
    }
    // --identify, --list-queues, --restore-queues or --history: a command of
    // the terminal instead of the dialog.
    bool isMaintenance() const { return identify || listQueues || restoreQueues || history; }
};

struct ParseResult {
    Options options;
    std::string error;  // a usage error, one line; empty when parsing went well
};

ParseResult parseOptions(const std::vector<std::string>& args);

extern const char* const kUsageText;

}  // namespace kv::entry
