#pragma once
#include <cstdint>

#include "platform/Services.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/SysfsUsbEnumerator.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/ScriptedUi.h"
#include "platform/sim/VirtualClock.h"
#include "tests/platform/linux/FakeSysfs.h"

namespace kv::testing {

// The link code's services on the Linux device backend, over a stand-in
// machine tree, with a virtual clock.
struct LinuxMachineWorld {
    explicit LinuxMachineWorld(uint32_t readBoundMs = platform::linux_impl::LinuxDeviceIoOptions{}
                                                          .defaultReadBoundMs)
        : io(withReadBound(machine.ioOptions(), readBoundMs)) {
        sys.wired.clock = &clock;
        sys.wired.trace = &trace;
        sys.wired.ui = &ui;
        sys.wired.deviceIo = &io;
        sys.wired.enumerator = &enumerator;
    }

    FakeMachine machine;
    platform::sim::VirtualClock clock;
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    platform::linux_impl::SysfsUsbEnumerator enumerator{machine.sys().string(),
                                                        machine.dev().string()};
    platform::linux_impl::LinuxDeviceIo io;
    platform::Services sys;

private:
    static platform::linux_impl::LinuxDeviceIoOptions withReadBound(
        platform::linux_impl::LinuxDeviceIoOptions o, uint32_t readBoundMs) {
        o.defaultReadBoundMs = readBoundMs;
        return o;
    }
};

}  // namespace kv::testing
