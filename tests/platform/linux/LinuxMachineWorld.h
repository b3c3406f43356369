#pragma once
#include <cstdint>

#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/SysfsUsbEnumerator.h"
#include "tests/platform/linux/FakeSysfs.h"
#include "tests/support/SimWorld.h"

namespace kv::testing {

// The simulated world with the Linux device backend in place of its
// simulated devices, over a stand-in machine tree.
struct LinuxMachineWorld : SimWorld {
    explicit LinuxMachineWorld(
        uint32_t readBoundMs = platform::linux_impl::LinuxDeviceIoOptions{}.defaultReadBoundMs)
        : linuxIo(withReadBound(machine.ioOptions(), readBoundMs)) {
        sys.wired.deviceIo = &linuxIo;
        sys.wired.enumerator = &linuxEnumerator;
    }

    FakeMachine machine;
    platform::linux_impl::SysfsUsbEnumerator linuxEnumerator{machine.sys().string(),
                                                             machine.dev().string()};
    platform::linux_impl::LinuxDeviceIo linuxIo;

private:
    static platform::linux_impl::LinuxDeviceIoOptions withReadBound(
        platform::linux_impl::LinuxDeviceIoOptions o, uint32_t readBoundMs) {
        o.defaultReadBoundMs = readBoundMs;
        return o;
    }
};

}  // namespace kv::testing
