#pragma once
#include "platform/DialogControls.h"

namespace kv::ui {

// The window as the pictures in docs/ show it on every front end: a found,
// ready printer whose flash is under way (40 of 100 KBytes sent).
void showFlashUnderWay(platform::DialogControls& c);

}  // namespace kv::ui
