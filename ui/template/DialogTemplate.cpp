#include "ui/template/DialogTemplate.h"

#include <array>
#include <stdexcept>

#include "app/DialogIds.h"

namespace kv::ui {

namespace {

constexpr unsigned kSunkenText = kSunken | kGroup;
constexpr unsigned kAddressEdit = kBorder | kAutoHScroll | kDisabled | kTabStop;

using K = ItemKind;

constexpr std::array<DialogItem, 35> kItems{{
    {1012, K::PushButton, "Exit", {406, 14, 34, 21}, kTabStop},
    {1013, K::Text, dialog::kStatusTemplate, {8, 148, 263, 10}, kSunkenText},
    {1014, K::Text, "", {17, 186, 48, 10}, kSunken},
    {kNoItemId, K::GroupBox, "Printer", {8, 171, 67, 36}, 0},
    {1015, K::Text, "", {91, 186, 47, 9}, kSunkenText},
    {kNoItemId, K::GroupBox, "Port", {83, 171, 64, 36}, 0},
    {kNoItemId, K::GroupBox, "Current Version", {365, 171, 118, 37}, 0},
    {1016, K::Text, "", {231, 186, 119, 10}, kSunkenText},
    {1017, K::Text, "", {376, 186, 99, 9}, kSunkenText},
    {1018, K::PushButton, "", {24, 48, 170, 24}, kMultiLine | kDisabled | kTabStop},
    {1023, K::GroupBox, "", {8, 80, 263, 55}, 0},
    {1019, K::Text, "", {80, 92, 181, 9}, kSunkenText},
    {1024, K::Text, "Program Status", {14, 91, 60, 10}, kGroup},
    {1021, K::Text, "", {80, 112, 181, 10}, kSunkenText},
    {1025, K::Text, "Program State", {17, 113, 54, 9}, kGroup},
    {1022, K::PushButton, "Find Printer", {24, 15, 76, 21}, kTabStop},
    {kNoItemId, K::GroupBox, "Language", {155, 171, 60, 36}, 0},
    {1026, K::Text, "", {164, 186, 42, 9}, kSunkenText},
    {kNoItemId, K::GroupBox, "Logic Board", {223, 171, 135, 37}, 0},
    {1027, K::PushButton, "", {458, 94, 13, 17}, kHidden | kTabStop},
    {1028, K::PushButton, "Select Firmware File", {116, 15, 76, 21}, kTabStop},
    {kNoItemId, K::Text, "", {454, 159, 21, 10}, kHidden | kSunkenText},
    {1029, K::Text, "", {458, 143, 15, 11}, kHidden | kSunkenText},
    {1031, K::DropDownList, "", {462, 120, 21, 50}, kHidden | kVScroll | kTabStop},
    {1040, K::GroupBox, "Ethernet", {279, 80, 177, 56}, kDisabled},
    {1041, K::Text, "Port", {290, 116, 16, 11}, kGroup | kDisabled},
    {1034, K::Edit, "", {412, 93, 20, 12}, kAddressEdit},
    {1035, K::Edit, "", {382, 93, 20, 12}, kAddressEdit},
    {1036, K::Edit, "", {352, 93, 20, 12}, kAddressEdit},
    {1037, K::Edit, "", {322, 93, 20, 12}, kAddressEdit},
    {1038, K::Edit, "", {324, 115, 28, 12}, kAddressEdit},
    {1042, K::Text, "IP address", {283, 94, 37, 9}, kGroup | kDisabled},
    {1039, K::PushButton, "Find Ethernet Printer", {363, 115, 83, 12}, kDisabled | kTabStop},
    {1030, K::Text, "", {328, 220, 89, 10}, kHidden | kGroup},
    {1043, K::PushButton, "Display Help", {390, 45, 72, 24}, kTabStop},
}};

constexpr DialogFrame kFrame{{22, 17, 494, 238}, dialog::kDialogTitle, "System", 8};

}  // namespace

const DialogFrame& mainDialogFrame() { return kFrame; }

std::span<const DialogItem> mainDialogItems() { return kItems; }

std::optional<std::size_t> itemIndexOfId(int id) {
    for (std::size_t i = 0; i < kItems.size(); ++i) {
        if (kItems[i].id == id) return i;
    }
    return std::nullopt;
}

std::size_t itemIndexOf(platform::Control control) {
    if (auto index = itemIndexOfId(platform::controlId(control))) return *index;
    throw std::logic_error("dialog template lacks a control field's item");
}

}  // namespace kv::ui
