#include "ui/template/DialogTemplate.h"

#include <array>
#include <stdexcept>

#include "platform/DialogItemIds.h"

namespace kv::ui {

namespace {

constexpr const char* kDialogTitle = "V4.0.2.2 09/28/2022  Corbelline Firmware Updater";
constexpr const char* kStatusTemplate = "Printer not selected, Press Find  Printer";

constexpr unsigned kSunkenText = kSunken | kGroup;
constexpr unsigned kAddressEdit = kBorder | kAutoHScroll | kDisabled | kTabStop;

using K = ItemKind;

constexpr std::array<DialogItem, 39> kItems{{
    {dialog::kExit, K::PushButton, "Exit", {406, 14, 34, 21}, kTabStop},
    {dialog::kStatusText, K::Text, kStatusTemplate, {8, 148, 263, 10}, kSunkenText},
    {dialog::kPrinterModelText, K::Text, "", {17, 186, 48, 10}, kSunken},
    {kNoItemId, K::GroupBox, "Printer", {8, 171, 67, 36}, 0},
    {dialog::kPortText, K::Text, "", {91, 186, 47, 9}, kSunkenText},
    {kNoItemId, K::GroupBox, "Port", {83, 171, 64, 36}, 0},
    {kNoItemId, K::GroupBox, "Current Version", {365, 171, 118, 37}, 0},
    {dialog::kLogicBoardText, K::Text, "", {231, 186, 119, 10}, kSunkenText},
    {dialog::kCurrentVersionText, K::Text, "", {376, 186, 99, 9}, kSunkenText},
    {dialog::kFlash, K::PushButton, "", {24, 48, 170, 24}, kMultiLine | kDisabled | kTabStop},
    {dialog::kProgramGroup, K::GroupBox, "", {8, 80, 263, 55}, 0},
    {dialog::kProgramStatusText, K::Text, "", {80, 92, 181, 9}, kSunkenText},
    {dialog::kProgramStatusLabel, K::Text, "Program Status", {14, 91, 60, 10}, kGroup},
    {dialog::kProgramStateText, K::Text, "", {80, 112, 181, 10}, kSunkenText},
    {dialog::kProgramStateLabel, K::Text, "Program State", {17, 113, 54, 9}, kGroup},
    {dialog::kFindPrinter, K::PushButton, "Find Printer", {24, 15, 76, 21}, kTabStop},
    {kNoItemId, K::GroupBox, "Language", {155, 171, 60, 36}, 0},
    {dialog::kLanguageText, K::Text, "", {164, 186, 42, 9}, kSunkenText},
    {kNoItemId, K::GroupBox, "Logic Board", {223, 171, 135, 37}, 0},
    {dialog::kReadyCheck, K::PushButton, "", {458, 94, 13, 17}, kHidden | kTabStop},
    {dialog::kSelectFile, K::PushButton, "Select Firmware File", {116, 15, 76, 21}, kTabStop},
    {kNoItemId, K::Text, "", {454, 159, 21, 10}, kHidden | kSunkenText},
    {dialog::kSpareText, K::Text, "", {458, 143, 15, 11}, kHidden | kSunkenText},
    {dialog::kOptionList, K::DropDownList, "", {462, 120, 21, 50}, kHidden | kVScroll | kTabStop},
    {dialog::kEthernetGroup, K::GroupBox, "Ethernet", {279, 80, 177, 56}, kDisabled},
    {dialog::kEthernetPortLabel, K::Text, "Port", {290, 116, 16, 11}, kGroup | kDisabled},
    {dialog::kIpOctet4, K::Edit, "", {412, 93, 20, 12}, kAddressEdit},
    {dialog::kIpOctet3, K::Edit, "", {382, 93, 20, 12}, kAddressEdit},
    {dialog::kIpOctet2, K::Edit, "", {352, 93, 20, 12}, kAddressEdit},
    {dialog::kIpOctet1, K::Edit, "", {322, 93, 20, 12}, kAddressEdit},
    {dialog::kPortEdit, K::Edit, "", {324, 115, 28, 12}, kAddressEdit},
    {dialog::kIpAddressLabel, K::Text, "IP address", {283, 94, 37, 9}, kGroup | kDisabled},
    {dialog::kFindEthernet,
     K::PushButton,
     "Find Ethernet Printer",
     {363, 115, 83, 12},
     kDisabled | kTabStop},
    {dialog::kHiddenText, K::Text, "", {328, 220, 89, 10}, kHidden | kGroup},
    {dialog::kHelp, K::PushButton, "Display Help", {390, 45, 72, 24}, kTabStop},
    // Ours: the verdict under the program lines, the accepted image along
    // the bottom, History beside the other two buttons of the top row, and
    // Network Printers after it (shown by the windows that have the fleet's
    // window).
    {dialog::kVerifyText, K::Text, "", {8, 137, 263, 9}, kGroup},
    {dialog::kImageText, K::Text, "", {8, 214, 475, 10}, kSunkenText},
    {dialog::kHistory, K::PushButton, "History", {208, 15, 76, 21}, kTabStop},
    {dialog::kNetworkPrinters,
     K::PushButton,
     "Network Printers...",
     {300, 15, 76, 21},
     kHidden | kTabStop},
}};

constexpr DialogFrame kFrame{{22, 17, 494, 238}, kDialogTitle, "System", 8};

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
