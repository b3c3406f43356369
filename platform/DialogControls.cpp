#include "platform/DialogControls.h"

#include "platform/DialogItemIds.h"

namespace kv::platform {

namespace {
struct ControlInfo {
    std::string_view name;
    int id;
};

constexpr std::array<ControlInfo, kControlCount> kControls{{
    {"statusText", dialog::kStatusText},
    {"printerModelText", dialog::kPrinterModelText},
    {"portText", dialog::kPortText},
    {"languageText", dialog::kLanguageText},
    {"logicBoardText", dialog::kLogicBoardText},
    {"currentVersionText", dialog::kCurrentVersionText},
    {"flashButton", dialog::kFlash},
    {"helpButton", dialog::kHelp},
    {"findPrinterButton", dialog::kFindPrinter},
    {"programStatusText", dialog::kProgramStatusText},
    {"programStateText", dialog::kProgramStateText},
    {"programGroup", dialog::kProgramGroup},
    {"programStatusLabel", dialog::kProgramStatusLabel},
    {"programStateLabel", dialog::kProgramStateLabel},
    {"spareText", dialog::kSpareText},
    {"optionList", dialog::kOptionList},
    {"selectFileButton", dialog::kSelectFile},
    {"findEthernetButton", dialog::kFindEthernet},
    {"ipAddressLabel", dialog::kIpAddressLabel},
    {"ethernetGroup", dialog::kEthernetGroup},
    {"ethernetPortLabel", dialog::kEthernetPortLabel},
    {"ipOctetEdit1", dialog::kIpOctet1},
    {"ipOctetEdit2", dialog::kIpOctet2},
    {"ipOctetEdit3", dialog::kIpOctet3},
    {"ipOctetEdit4", dialog::kIpOctet4},
    {"portEdit", dialog::kPortEdit},
    {"historyButton", dialog::kHistory},
    {"networkPrintersButton", dialog::kNetworkPrinters},
}};
}  // namespace

std::string_view controlName(Control control) {
    return kControls.at(static_cast<size_t>(control)).name;
}

int controlId(Control control) { return kControls.at(static_cast<size_t>(control)).id; }

namespace {
constexpr std::array<std::string_view, 5> kOutcomeNames{"verified", "mismatch", "not-found",
                                                        "unchecked", "failed"};
}  // namespace

std::string_view verifyOutcomeName(VerifyOutcome outcome) {
    return kOutcomeNames.at(static_cast<size_t>(outcome));
}

std::optional<VerifyOutcome> verifyOutcomeNamed(std::string_view name) {
    for (size_t i = 0; i < kOutcomeNames.size(); ++i) {
        if (kOutcomeNames[i] == name) return static_cast<VerifyOutcome>(i);
    }
    return std::nullopt;
}

VerdictTone verdictTone(VerifyOutcome outcome) {
    switch (outcome) {
        case VerifyOutcome::Verified: return VerdictTone::Good;
        case VerifyOutcome::Unchecked: return VerdictTone::Doubtful;
        default: return VerdictTone::Bad;
    }
}

}  // namespace kv::platform
