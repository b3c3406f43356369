#pragma once
#include <memory>
#include <optional>
#include <string>

#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "platform/KeyFolders.h"
#include "platform/Network.h"
#include "platform/TerminationSignals.h"

namespace kv::testing {

// The services of the platform the tests run on that a test uses for real:
// sockets on loopback, the instance lock, the executable's folder, files
// to read, the termination signals. Each platform's test support defines these.

// Connects, receives and sends within `bounds`.
std::unique_ptr<platform::Network> makeHostNetwork(platform::NetworkBounds bounds = {});
// The lock kept in `folder`, so test runs side by side do not meet.
std::unique_ptr<platform::InstanceLock> makeHostInstanceLock(const std::string& folder);
// The executable as if started as `argv0`.
std::unique_ptr<platform::Files> makeHostFiles(const std::string& argv0);
// Opens the files a test wrote for the program to read.
std::unique_ptr<platform::FileReader> makeHostFileReader();
// Creates the files the program writes (in a test's own folder).
std::unique_ptr<platform::FileWriter> makeHostFileWriter();
// The trusted keys' folders, the system's being `systemFolder`.
std::unique_ptr<platform::KeyFolders> makeHostKeyFolders(const std::string& systemFolder);
// Whether the tests run as the administrator (root).
bool runningAsRoot();
// Must be made before any other thread of the test program starts.
std::unique_ptr<platform::TerminationSignals> makeHostTerminationSignals();
// Asks the platform to end this process, as a user's Ctrl-C or a service
// manager would (SIGINT, SIGTERM).
void requestHostTermination(int signalNumber);
// Why this process cannot be asked to end that way here (Windows sends
// console events only within a console), or nothing when it can.
std::optional<std::string> missingHostTermination();

}  // namespace kv::testing
