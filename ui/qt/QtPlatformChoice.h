#pragma once
#include <optional>
#include <string>

namespace kv::ui {

// The Qt platform to put in QT_QPA_PLATFORM before the application starts,
// if any. A window started through pkexec (PKEXEC_UID set) reaches the
// display only over X11, XWayland on a Wayland desktop: pkexec passes
// DISPLAY and XAUTHORITY on to a program its policy allows a GUI, never
// WAYLAND_DISPLAY. So xcb there, unless a platform was chosen already.
// Null or empty values count as unset.
std::optional<std::string> qtPlatformToChoose(const char* pkexecUid, const char* qpaPlatform);

}  // namespace kv::ui
