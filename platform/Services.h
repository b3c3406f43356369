#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/DialogControls.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "platform/Trace.h"
#include "platform/TrustedKeys.h"
#include "platform/Ui.h"

namespace kv::platform {

class DeviceIo;
class DeviceEnumerator;
class PrintSpooler;
class DurableFile;
class HistoryFile;
class SleepInhibitor;
class Network;
class Threads;

template <typename T>
T& require(T* service, const char* name) {
    if (!service) throw std::logic_error(std::string("platform service not wired: ") + name);
    return *service;
}

// One set of platform services, made by the entry point (real) or by a test
// (simulated) and passed down by reference. A world wires all of them but
// the front end's, which the front end wires; each checks its part when it
// is done, so a missing service ends the start with its name.
struct Services {
    // What each service is; set by whoever builds the set.
    struct Wiring {
        Clock* clock = nullptr;
        Trace* trace = nullptr;
        Ui* ui = nullptr;
        DialogControls* controls = nullptr;
        Files* files = nullptr;
        // Opens the files the program reads but did not write.
        FileReader* fileReader = nullptr;
        // Creates the files the program writes for people (fleet logs).
        FileWriter* fileWriter = nullptr;
        InstanceLock* instanceLock = nullptr;
        Admin* admin = nullptr;
        DeviceIo* deviceIo = nullptr;
        DeviceEnumerator* enumerator = nullptr;
        PrintSpooler* spooler = nullptr;
        // Where the print queues' former settings survive a crash.
        DurableFile* queueJournal = nullptr;
        Network* network = nullptr;
        // Starts the flash transfer worker.
        Threads* threads = nullptr;
        // The record of every flash.
        HistoryFile* history = nullptr;
        // Keeps the machine awake while a printer is in flash mode.
        SleepInhibitor* sleepInhibitor = nullptr;
        // The network printers' window's targets, kept between runs.
        DurableFile* fleetTargets = nullptr;
        // The network printers' window's size, kept between runs.
        DurableFile* fleetWindow = nullptr;
        // The keys images must be signed by; none configured is a set with
        // checking off, never a missing service.
        const TrustedKeys* trustedKeys = nullptr;
    };
    Wiring wired;

    // Who has wired the set so far: the world (every service but the front
    // end's ui and controls), or the front end after it.
    enum class Stage { WorldBuilt, FrontEndWired };
    // The names of the services that `stage` should have wired and that are
    // missing, in the order of Wiring.
    std::vector<std::string> missing(Stage stage = Stage::FrontEndWired) const;
    // Throws std::logic_error naming every service `missing` finds.
    void requireWired(Stage stage) const;

    Clock& clock() const { return require(wired.clock, "clock"); }
    Trace& trace() const { return require(wired.trace, "trace"); }
    Ui& ui() const { return require(wired.ui, "ui"); }
    DialogControls& controls() const { return require(wired.controls, "controls"); }
    Files& files() const { return require(wired.files, "files"); }
    FileReader& fileReader() const { return require(wired.fileReader, "fileReader"); }
    FileWriter& fileWriter() const { return require(wired.fileWriter, "fileWriter"); }
    InstanceLock& instanceLock() const { return require(wired.instanceLock, "instanceLock"); }
    Admin& admin() const { return require(wired.admin, "admin"); }
    DeviceIo& deviceIo() const { return require(wired.deviceIo, "deviceIo"); }
    DeviceEnumerator& enumerator() const { return require(wired.enumerator, "enumerator"); }
    PrintSpooler& spooler() const { return require(wired.spooler, "spooler"); }
    DurableFile& queueJournal() const { return require(wired.queueJournal, "queueJournal"); }
    Network& network() const { return require(wired.network, "network"); }
    Threads& threads() const { return require(wired.threads, "threads"); }
    HistoryFile& history() const { return require(wired.history, "history"); }
    SleepInhibitor& sleepInhibitor() const {
        return require(wired.sleepInhibitor, "sleepInhibitor");
    }
    DurableFile& fleetTargets() const { return require(wired.fleetTargets, "fleetTargets"); }
    DurableFile& fleetWindow() const { return require(wired.fleetWindow, "fleetWindow"); }
    const TrustedKeys& trustedKeys() const { return require(wired.trustedKeys, "trustedKeys"); }
};

}  // namespace kv::platform
