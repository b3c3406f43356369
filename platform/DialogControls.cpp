#include "platform/DialogControls.h"

namespace kv::platform {

namespace {
struct ControlInfo {
    std::string_view name;
    int id;
};

constexpr std::array<ControlInfo, kControlCount> kControls{{
    {"statusText", 1013},
    {"printerModelText", 1014},
    {"portText", 1015},
    {"languageText", 1026},
    {"logicBoardText", 1016},
    {"currentVersionText", 1017},
    {"flashButton", 1018},
    {"helpButton", 1043},
    {"findPrinterButton", 1022},
    {"programStatusText", 1019},
    {"programStateText", 1021},
    {"programGroup", 1023},
    {"programStatusLabel", 1024},
    {"programStateLabel", 1025},
    {"spareText", 1029},
    {"optionList", 1031},
    {"selectFileButton", 1028},
    {"findEthernetButton", 1039},
    {"ipAddressLabel", 1042},
    {"ethernetGroup", 1040},
    {"ethernetPortLabel", 1041},
    {"ipOctetEdit1", 1037},
    {"ipOctetEdit2", 1036},
    {"ipOctetEdit3", 1035},
    {"ipOctetEdit4", 1034},
    {"portEdit", 1038},
}};
}  // namespace

std::string_view controlName(Control control) {
    return kControls.at(static_cast<size_t>(control)).name;
}

int controlId(Control control) { return kControls.at(static_cast<size_t>(control)).id; }

}  // namespace kv::platform
