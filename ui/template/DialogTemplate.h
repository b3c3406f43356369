#pragma once
#include <cstddef>
#include <optional>
#include <span>

#include "platform/DialogControls.h"

namespace kv::ui {

// The main dialog's layout in dialog units, in template order (which is also
// the tab order and the creation order). Toolkit-free, so the front ends and
// their tests share one table.

inline constexpr int kNoItemId = -1;  // frames and texts nobody addresses

enum class ItemKind { PushButton, Text, GroupBox, Edit, DropDownList };

enum ItemStyle : unsigned {
    kHidden = 1u << 0,
    kDisabled = 1u << 1,
    kTabStop = 1u << 2,
    kSunken = 1u << 3,
    kGroup = 1u << 4,      // starts a group (arrow-key navigation)
    kMultiLine = 1u << 5,  // push button caption wraps
    kBorder = 1u << 6,
    kAutoHScroll = 1u << 7,
    kVScroll = 1u << 8,
};

struct DialogRect {
    int x, y, width, height;
};

struct DialogItem {
    int id;
    ItemKind kind;
    const char* caption;
    DialogRect rect;
    unsigned styles;
};

struct DialogFrame {
    DialogRect rect;
    const char* title;
    const char* fontName;
    int fontPoints;
};

// The transfer's progress bar, which the front ends add to the template:
// inside the program group, under the two program lines and aligned with
// them.
inline constexpr DialogRect kTransferProgressRect{80, 124, 181, 8};

const DialogFrame& mainDialogFrame();
std::span<const DialogItem> mainDialogItems();

// Index in mainDialogItems() of the item a control field names.
std::size_t itemIndexOf(platform::Control control);
// Index of the first item with this id, if any.
std::optional<std::size_t> itemIndexOfId(int id);

// Dialog units: x in quarters of the mean letter width, y in
// eighths of the font height, each value rounded on its own.
struct BaseUnits {
    int x;  // mean width of A-Z and a-z, rounded
    int y;  // font height
};

inline int toPixelsX(int units, const BaseUnits& base) { return (units * base.x + 2) / 4; }
inline int toPixelsY(int units, const BaseUnits& base) { return (units * base.y + 4) / 8; }

}  // namespace kv::ui
