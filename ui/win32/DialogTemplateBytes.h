#pragma once
#include <cstdint>
#include <vector>

#include "ui/template/DialogTemplate.h"

namespace kv::ui {

// The main dialog as an in-memory DLGTEMPLATEEX, built from the dialog
// template the other front ends draw (ui/template), so the layout has one
// source. Dialog units, the "System" font, styles as the template says.
std::vector<uint8_t> mainDialogTemplateBytes();

// The window styles of one template item (WS_*, BS_*, SS_*, ES_*, CBS_*).
uint32_t win32ItemStyle(const DialogItem& item);

}  // namespace kv::ui
