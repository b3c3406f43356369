#pragma once

namespace kv::dialog {

// Dialog item ids of the main dialog's commands.
inline constexpr int kCancel = 2;
inline constexpr int kExit = 1012;
inline constexpr int kFlash = 1018;
inline constexpr int kFindPrinter = 1022;
inline constexpr int kReadyCheck = 1027;
inline constexpr int kSelectFile = 1028;
inline constexpr int kOptionList = 1031;
inline constexpr int kIpOctet4 = 1034;
inline constexpr int kIpOctet3 = 1035;
inline constexpr int kIpOctet2 = 1036;
inline constexpr int kIpOctet1 = 1037;
inline constexpr int kPortEdit = 1038;
inline constexpr int kFindEthernet = 1039;
inline constexpr int kHelp = 1043;

inline constexpr int kAutoLoadTimer = 1;
inline constexpr unsigned kAutoLoadDelayMs = 100;

inline constexpr const char* kDialogTitle = "V4.0.2.2 09/28/2022  Corbelline Firmware Updater";
inline constexpr const char* kStatusTemplate = "Printer not selected, Press Find  Printer";

}  // namespace kv::dialog
