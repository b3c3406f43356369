#include "platform/Services.h"

namespace kv::platform {

// A service added to Wiring is added to the list below too.
static_assert(sizeof(Services::Wiring) == 20 * sizeof(void*));

std::vector<std::string> Services::missing(Stage stage) const {
    const bool frontEnd = stage == Stage::FrontEndWired;
    const struct {
        const void* service;
        const char* name;
        bool wiredByWorld;
    } services[] = {
        {wired.clock, "clock", true},
        {wired.trace, "trace", true},
        {wired.ui, "ui", false},
        {wired.controls, "controls", false},
        {wired.files, "files", true},
        {wired.fileReader, "fileReader", true},
        {wired.fileWriter, "fileWriter", true},
        {wired.instanceLock, "instanceLock", true},
        {wired.admin, "admin", true},
        {wired.deviceIo, "deviceIo", true},
        {wired.enumerator, "enumerator", true},
        {wired.spooler, "spooler", true},
        {wired.queueJournal, "queueJournal", true},
        {wired.network, "network", true},
        {wired.threads, "threads", true},
        {wired.history, "history", true},
        {wired.sleepInhibitor, "sleepInhibitor", true},
        {wired.fleetTargets, "fleetTargets", true},
        {wired.fleetWindow, "fleetWindow", true},
        {wired.trustedKeys, "trustedKeys", true},
    };
    std::vector<std::string> names;
    for (const auto& s : services) {
        if (!s.service && (s.wiredByWorld || frontEnd)) names.push_back(s.name);
    }
    return names;
}

void Services::requireWired(Stage stage) const {
    const std::vector<std::string> names = missing(stage);
    if (names.empty()) return;
    std::string text = "platform services not wired:";
    for (const std::string& name : names) text += " " + name;
    throw std::logic_error(text);
}

}  // namespace kv::platform
