#pragma once
#include <array>

#include "platform/DialogControls.h"

namespace kv {

// The program controls: the Flash button, the two program lines, their
// labels and their group.
inline void disableProgramControls(platform::DialogControls& controls) {
    using platform::Control;
    for (Control c : {Control::flashButton, Control::programStatusText, Control::programStateText,
                      Control::programGroup, Control::programStateLabel,
                      Control::programStatusLabel}) {
        controls.enable(c, false);
    }
}

// The program lines become live; the Flash button waits for a firmware file.
inline void openProgramControls(platform::DialogControls& controls) {
    using platform::Control;
    controls.enable(Control::flashButton, false);
    for (Control c : {Control::programStatusText, Control::programStateText, Control::programGroup,
                      Control::programStateLabel, Control::programStatusLabel}) {
        controls.enable(c, true);
    }
}

// Hidden once a local printer was probed (dialog order 1040, 1039, 1037,
// 1036, 1035, 1034, 1038, 1042, 1041).
inline constexpr std::array<platform::Control, 9> kEthernetControlsHideOrder{
    platform::Control::ethernetGroup,  platform::Control::findEthernetButton,
    platform::Control::ipOctetEdit1,   platform::Control::ipOctetEdit2,
    platform::Control::ipOctetEdit3,   platform::Control::ipOctetEdit4,
    platform::Control::portEdit,       platform::Control::ipAddressLabel,
    platform::Control::ethernetPortLabel,
};

// Enabled when no local printer was counted (dialog order 1039, 1040,
// 1042, 1041, 1037, 1036, 1035, 1034, 1038).
inline constexpr std::array<platform::Control, 9> kEthernetControlsEnableOrder{
    platform::Control::findEthernetButton, platform::Control::ethernetGroup,
    platform::Control::ipAddressLabel,     platform::Control::ethernetPortLabel,
    platform::Control::ipOctetEdit1,       platform::Control::ipOctetEdit2,
    platform::Control::ipOctetEdit3,       platform::Control::ipOctetEdit4,
    platform::Control::portEdit,
};

}  // namespace kv
