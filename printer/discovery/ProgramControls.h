#pragma once
#include <array>

#include "platform/DialogControls.h"

namespace kv {

// The program controls: the Flash button first, then the two program
// lines, their labels and their group, in the dialog's order.
inline constexpr std::array<platform::Control, 6> kProgramControls{
    platform::Control::flashButton,       platform::Control::programStatusText,
    platform::Control::programStateText,  platform::Control::programGroup,
    platform::Control::programStateLabel, platform::Control::programStatusLabel,
};

inline void disableProgramControls(platform::DialogControls& controls) {
    for (platform::Control c : kProgramControls) controls.enable(c, false);
}

// The program lines become live; the Flash button waits for a firmware file.
inline void openProgramControls(platform::DialogControls& controls) {
    controls.enable(kProgramControls.front(), false);
    for (size_t i = 1; i < kProgramControls.size(); ++i) controls.enable(kProgramControls[i], true);
}

// Hidden once a local printer was probed (dialog order 1040, 1039, 1037,
// 1036, 1035, 1034, 1038, 1042, 1041).
inline constexpr std::array<platform::Control, 9> kEthernetControlsHideOrder{
    platform::Control::ethernetGroup,     platform::Control::findEthernetButton,
    platform::Control::ipOctetEdit1,      platform::Control::ipOctetEdit2,
    platform::Control::ipOctetEdit3,      platform::Control::ipOctetEdit4,
    platform::Control::portEdit,          platform::Control::ipAddressLabel,
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
