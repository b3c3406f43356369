#pragma once
#include <string>

#include "image/TrustedKeyFiles.h"
#include "main/DemoKey.h"
#include "main/ServiceBundle.h"
#include "platform/linux/FlockInstanceLock.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxKeyFolders.h"
#include "platform/linux/PosixFileReader.h"
#include "platform/linux/PosixFileWriter.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/linux/PthreadThreads.h"
#include "platform/linux/SyslogTrace.h"

namespace kv::entry {

// What every world on a Linux machine takes from the machine itself: the
// trace (syslog; stderr too with `echoTrace`), the program's own files as
// started from `argv0`, the file reader and writer, the instance lock, the
// administrator check, the network and threads, and the trusted keys, read
// once here.
class LinuxHost final : public ServiceBundle {
public:
    LinuxHost(bool echoTrace, const std::string& argv0)
        : trace_(echoTrace),
          files_(argv0),
          trust_(loadTrustedKeys(fileReader_, keyFolders_, trustedKeysVariable())) {}

    void wireInto(platform::Services& sys) override {
        sys.wired.trace = &trace_;
        sys.wired.files = &files_;
        sys.wired.fileReader = &fileReader_;
        sys.wired.fileWriter = &fileWriter_;
        sys.wired.instanceLock = &lock_;
        sys.wired.admin = &admin_;
        sys.wired.network = &network_;
        sys.wired.threads = &threads_;
        sys.wired.trustedKeys = &trust_;
    }

private:
    platform::linux_impl::SyslogTrace trace_;
    platform::linux_impl::LinuxFiles files_;
    platform::linux_impl::PosixFileReader fileReader_;
    platform::linux_impl::PosixFileWriter fileWriter_;
    platform::linux_impl::FlockInstanceLock lock_;
    platform::linux_impl::PosixAdmin admin_;
    platform::linux_impl::PosixNetwork network_;
    platform::linux_impl::PthreadThreads threads_;
    platform::linux_impl::LinuxKeyFolders keyFolders_;
    platform::TrustedKeys trust_;
};

}  // namespace kv::entry
