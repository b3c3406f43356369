#include "tests/support/HostPlatform.h"

#include <unistd.h>

#include "platform/linux/FlockInstanceLock.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxKeyFolders.h"
#include "platform/linux/PosixFileReader.h"
#include "platform/linux/PosixFileWriter.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/linux/SigwaitTermination.h"

namespace kv::testing {

namespace lx = platform::linux_impl;

std::unique_ptr<platform::Network> makeHostNetwork(platform::NetworkBounds bounds) {
    return std::make_unique<lx::PosixNetwork>(bounds);
}

std::unique_ptr<platform::InstanceLock> makeHostInstanceLock(const std::string& folder) {
    return std::make_unique<lx::FlockInstanceLock>(folder);
}

std::unique_ptr<platform::Files> makeHostFiles(const std::string& argv0) {
    return std::make_unique<lx::LinuxFiles>(argv0);
}

std::unique_ptr<platform::FileReader> makeHostFileReader() {
    return std::make_unique<lx::PosixFileReader>();
}

std::unique_ptr<platform::FileWriter> makeHostFileWriter() {
    return std::make_unique<lx::PosixFileWriter>();
}

std::unique_ptr<platform::KeyFolders> makeHostKeyFolders(const std::string& systemFolder) {
    return std::make_unique<lx::LinuxKeyFolders>(systemFolder);
}

bool runningAsRoot() { return ::geteuid() == 0; }

std::unique_ptr<platform::TerminationSignals> makeHostTerminationSignals() {
    return std::make_unique<lx::SigwaitTermination>();
}

void requestHostTermination(int signalNumber) {
    lx::SigwaitTermination::signalProcess(signalNumber);
}

std::optional<std::string> missingHostTermination() { return std::nullopt; }

}  // namespace kv::testing
