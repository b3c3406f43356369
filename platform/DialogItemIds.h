#pragma once

namespace kv::dialog {

// Item ids of the main dialog, the one table of them. The template, the
// controls' table and the commands all take their ids from here.
inline constexpr int kCancel = 2;  // the cancel command: Escape, the close box
inline constexpr int kExit = 1012;
inline constexpr int kStatusText = 1013;
inline constexpr int kPrinterModelText = 1014;
inline constexpr int kPortText = 1015;
inline constexpr int kLogicBoardText = 1016;
inline constexpr int kCurrentVersionText = 1017;
inline constexpr int kFlash = 1018;
inline constexpr int kProgramStatusText = 1019;
inline constexpr int kProgramStateText = 1021;
inline constexpr int kFindPrinter = 1022;
inline constexpr int kProgramGroup = 1023;
inline constexpr int kProgramStatusLabel = 1024;
inline constexpr int kProgramStateLabel = 1025;
inline constexpr int kLanguageText = 1026;
inline constexpr int kReadyCheck = 1027;
inline constexpr int kSelectFile = 1028;
inline constexpr int kSpareText = 1029;
inline constexpr int kHiddenText = 1030;
inline constexpr int kOptionList = 1031;
inline constexpr int kIpOctet4 = 1034;
inline constexpr int kIpOctet3 = 1035;
inline constexpr int kIpOctet2 = 1036;
inline constexpr int kIpOctet1 = 1037;
inline constexpr int kPortEdit = 1038;
inline constexpr int kFindEthernet = 1039;
inline constexpr int kEthernetGroup = 1040;
inline constexpr int kEthernetPortLabel = 1041;
inline constexpr int kIpAddressLabel = 1042;
inline constexpr int kHelp = 1043;

// Items of our own, above the original range: the image about to be
// written, the verdict on the last flash, the flash history, the window of
// many network printers.
inline constexpr int kImageText = 1101;
inline constexpr int kVerifyText = 1102;
inline constexpr int kHistory = 1103;
inline constexpr int kNetworkPrinters = 1104;

}  // namespace kv::dialog
