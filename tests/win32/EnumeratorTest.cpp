#include <gtest/gtest.h>

#include <cstdio>

#include "link/Usb.h"
#include "link/UsbConfig.h"
#include "platform/win32/SetupDiEnumerator.h"

namespace kv::testing {
namespace {

using platform::InterfaceClass;
using platform::win32::SetupDiEnumerator;

// Whatever the machine has (under Wine: its own virtual HID mouse and
// keyboard), the USB search keeps only paths of the maker's vendor ID.
TEST(SetupDiEnumerator, ListsPresentInterfacesAndTheUsbSearchKeepsOnlyTheMakers) {
    SetupDiEnumerator enumerator;
    const auto hid = enumerator.list(InterfaceClass::Hid);
    ASSERT_TRUE(hid.has_value());
    size_t foreign = 0;
    for (const auto& i : *hid) {
        ASSERT_TRUE(i.path.has_value());
        std::printf("hid=%s class=%c\n", i.path->c_str(), i.classInitial.value_or('?'));
        if (i.path->find("vid_4b56") == std::string::npos) ++foreign;
    }
    const auto usb = enumerator.list(InterfaceClass::UsbDevice);
    ASSERT_TRUE(usb.has_value());
    for (const auto& i : *usb) std::printf("usb=%s\n", i.path.value_or("-").c_str());

    platform::Services sys;
    sys.wired.enumerator = &enumerator;
    std::vector<std::string> paths;
    ASSERT_TRUE(EnumerateUSBDevicePaths(sys, kKvUsbVendorTable.data(),
                                        static_cast<uint8_t>(kKvUsbVendorTable.size()), &paths, 30,
                                        false));
    size_t makers = 0;
    for (const auto& list : {*hid, *usb}) {
        for (const auto& i : list) {
            if (i.path && i.path->find("vid_4b56&pid_") != std::string::npos) ++makers;
        }
    }
    size_t kept = 0;
    for (const std::string& p : paths) kept += p.empty() ? 0 : 1;
    EXPECT_EQ(kept, makers);
    std::printf("foreign=%zu kept=%zu\n", foreign, kept);
}

}  // namespace
}  // namespace kv::testing
