#pragma once
#include <stdexcept>
#include <string>

#include "platform/Clock.h"
#include "platform/DialogControls.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "platform/Trace.h"
#include "platform/Ui.h"

namespace kv::platform {

class DeviceIo;
class DeviceEnumerator;
class PrintSpooler;
class DurableFile;
class Network;
class Threads;

// One set of platform services, made by the entry point (real) or by a test
// (simulated) and passed down by reference. A missing service is a wiring
// fault, reported at the first use.
struct Services {
    Clock* clock = nullptr;
    Trace* trace = nullptr;
    Ui* ui = nullptr;
    DialogControls* controls = nullptr;
    Files* files = nullptr;
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
};

template <typename T>
T& require(T* service, const char* name) {
    if (!service) throw std::logic_error(std::string("platform service not wired: ") + name);
    return *service;
}

}  // namespace kv::platform
