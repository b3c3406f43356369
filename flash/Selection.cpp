#include "flash/Selection.h"

#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "flash/ImageSignature.h"
#include "image/ImageSummary.h"
#include "state/FlashState.h"

namespace kv {
namespace {

using platform::Control;

constexpr const char* kSelectCaption = "Get Firmware file";
constexpr const char* kValidateCaption = "Validating FW File";
constexpr const char* kSuccessText = " Firmware compatible with this printer ";
constexpr const char* kNotCompatible =
    "You have selected firmware not compatible with this printer";

bool contains(const std::string& path, std::string_view signature) {
    return path.find(signature) != std::string::npos;
}

bool containsAny(const std::string& path, std::initializer_list<std::string_view> signatures) {
    for (std::string_view s : signatures)
        if (contains(path, s)) return true;
    return false;
}

// Boards judged by plain signatures: any of `signatures`, or `pairPrefix`
// together with "-42.bin" anywhere in the path.
struct SignatureRule {
    LogicBoard board;
    std::vector<std::string_view> signatures;
    std::string_view pairPrefix;  // empty: no "-42" alternative
};

const std::vector<SignatureRule>& signatureRules() {
    using enum LogicBoard;
    static const std::vector<SignatureRule> rules = {
        {MvqPlus, {"FMVQ"}, ""},
        {Sitara, {"F2KV1"}, ""},
        {Zor1x200Std, {"471KdsR6_2ds_v"}, "471KdsR6_2"},
        {Zor1x300Std, {"471KdsR6_3ds_v"}, "471KdsR6_3"},
        {Zor1x200Adjust, {"471KdsR6_2dm_v", "471KdsR6_2da_v"}, "471KdsR6_2"},
        {Zor1x300Adjust, {"471KdsR6_3dm_v", "471KdsR6_3da_v"}, "471KdsR6_3"},
        {Zor1x200StdPresenter, {"471KdsR6_2dsp_v"}, "471KdsR6_2"},
        {Zor1x300StdPresenter, {"471KdsR6_3dsp_v"}, "471KdsR6_3"},
        {Zor1x200AdjustPresenter, {"471KdsR6_2dmp_v", "471KdsR6_2dap_v"}, "471KdsR6_2"},
        {Zor1x300AdjustPresenter, {"471KdsR6_3dmp_v", "471KdsR6_3dap_v"}, "471KdsR6_3"},
        {Zor1xa200AdjustPresenter,
         {"KVA12v", "471KdsR6_AEA_2dmp_v", "471KdsR6_AEA_2dap_v"},
         "471KdsR6_AEA_2"},
        {Zor1xa300AdjustPresenter,
         {"KVA13v", "471KdsR6_AEA_3dmp_v", "471KdsR6_AEA_3dap_v"},
         "471KdsR6_AEA_3"},
    };
    return rules;
}

const SignatureRule* signatureRuleFor(LogicBoard board) {
    for (const SignatureRule& rule : signatureRules())
        if (rule.board == board) return &rule;
    return nullptr;
}

bool matches(const SignatureRule& rule, const std::string& path) {
    for (std::string_view s : rule.signatures)
        if (contains(path, s)) return true;
    return !rule.pairPrefix.empty() && contains(path, rule.pairPrefix) && contains(path, "-42.bin");
}

// Board code 1: the printer family in the type name picks two signatures.
struct FamilyRule {
    std::string_view familyCode;
    std::array<std::string_view, 2> signatures;
    const char* rejection;
};

constexpr std::array<FamilyRule, 3> kFamilyRules = {{
    {"ZOP", {"F2ZOP", "F2ZGP"}, "Invalid file for ZOP printer"},
    {"ZOW", {"F2ZOW", "F2ZGW"}, "Invalid file for ZOW printer"},
    {"ZOR-38", {"F2ZOR1", "FWZOR1"}, "Invalid file for ZOR-38 printer"},
}};

int validateFamily(platform::Ui& ui, const std::string& path, const PrinterData& printerData) {
    for (const FamilyRule& family : kFamilyRules) {
        if (!contains(printerData.typeName, family.familyCode)) continue;
        for (std::string_view signature : family.signatures) {
            if (contains(path, signature)) {
                platform::box(ui, kValidateCaption,
                              std::string(kSuccessText) + " " + std::string(signature));
                return 1;
            }
        }
        platform::box(ui, family.rejection);
        return 0;
    }
    return 0;
}

void takeFlashButtonAway(platform::DialogControls& controls) {
    controls.show(Control::flashButton, false);
    controls.enable(Control::flashButton, false);
    controls.setImageFacts(std::nullopt);
}

std::string fileNameOf(const std::string& path) {
    const size_t end = path.find_last_of("/\\");
    return end == std::string::npos ? path : path.substr(end + 1);
}

}  // namespace

bool showImageFacts(Context& ctx, const std::string& path) {
    const ImageSummary summary = summarizeImageFile(ctx.sys.fileReader(), path);
    platform::ImageFacts facts;
    facts.fileName = fileNameOf(path);
    facts.readable = summary.readable;
    facts.reason = summary.reason;
    facts.size = summary.size;
    facts.version = summary.version;
    facts.sha256 = summary.sha256;
    // An unreadable image is refused by the flash itself, as it always was.
    if (summary.readable)
        facts.signature =
            signatureFactsFor(ctx.sys.trustedKeys(), ctx.sys.fileReader(), path, summary.blake2b);
    ctx.controls().setImageFacts(facts);
    return signatureAllowsFlash(ctx, facts.signature);
}

FirmwareFileFilter firmwareFileFilter(LogicBoard board) {
    using enum LogicBoard;
    switch (board) {
        case Zor1x200Std: return {"ZOR12G Firmware", "471KDSR6_2DS_V*.BIN"};
        case Zor1x300Std: return {"ZOR13G Firmware", "471KDSR6_3DS_V*.BIN"};
        case Zor1x200Adjust:
            return {"ZOR12G Firmware",
                    "471KDSR6_2DA_V*.BIN;471KDSR6_2DM_V*.BIN;471KDSR6_2*-42.BIN"};
        case Zor1x300Adjust:
            return {"ZOR13G Firmware",
                    "471KDSR6_3DA_V*.BIN;471KDSR6_3DM_V*.BIN;471KDSR6_3*-42.BIN"};
        case Zor1x200StdPresenter:
            return {"ZOR12G Firmware", "471KDSR6_2DSP_V*.BIN;471KDSR6_2*-42.BIN"};
        case Zor1x300StdPresenter:
            return {"ZOR13G Firmware", "471KDSR6_3DSP_V*.BIN;471KDSR6_3*-42.BIN"};
        case Zor1x200AdjustPresenter:
            return {"ZOR12G Firmware",
                    "471KDSR6_2DAP_V*.BIN;471KDSR6_2DMP_V*.BIN;471KDSR6_2*-42.BIN"};
        case Zor1x300AdjustPresenter:
            return {"ZOR13G Firmware",
                    "471KDSR6_3DAP_V*.BIN;471KDSR6_3DMP_V*.BIN;471KDSR6_3*-42.BIN"};
        case Zor1xa200AdjustPresenter:
            return {"ZOR12A Firmware",
                    "KVA12V*.BIN;471KDSR6_AEA_2DAP_V*.BIN;471KDSR6_AEA_2DMP_V*.BIN;"
                    "471KDSR6_AEA_2*-42.BIN"};
        case Zor1xa300AdjustPresenter:
            return {"ZOR13A Firmware",
                    "KVA13V*.BIN;471KDSR6_AEA_3DAP_V*.BIN;471KDSR6_AEA_3DMP_V*.BIN;"
                    "471KDSR6_AEA_3*-42.BIN"};
        default: return {"Bin Files (*.bin)", "*.bin"};
    }
}

int ValidateFirmwareFile(platform::Ui& ui, const std::string& path,
                         platform::DialogControls& /*controls*/, const PrinterData& printerData) {
    const LogicBoard board = printerData.boardCode;
    switch (board) {
        case LogicBoard::LogicBdI: platform::box(ui, kValidateCaption, "LBI FOUND"); return 1;
        case LogicBoard::LogicBdIIRohs: return validateFamily(ui, path, printerData);
        case LogicBoard::Mv38Standard:
            if (contains(path, "F2ZOR") && containsAny(path, {"_V3", "_X3", "_XV3"})) return 1;
            platform::box(ui, kValidateCaption, "Invalid file for MV38 printer");
            return 0;
        case LogicBoard::Mv38DualDriver: return 1;
        default: break;
    }
    const SignatureRule* rule = signatureRuleFor(board);
    // The unsupported ZOR1X and unknown boards: nothing fits them.
    if (!rule) return 0;
    if (matches(*rule, path)) {
        platform::box(ui, kValidateCaption, kSuccessText);
        return 1;
    }
    platform::box(ui, kValidateCaption, kNotCompatible);
    return 0;
}

int ValidateFirmwareFile(Context& ctx, const std::string& path) {
    return ValidateFirmwareFile(ctx.ui(), path, ctx.controls(), ctx.state.printerData);
}

void SelectFirmwareFile(Context& ctx) {
    platform::Ui& ui = ctx.ui();
    platform::DialogControls& controls = ctx.controls();
    std::string& fileName = ctx.state.firmwareFileName;
    fileName.clear();

    const FirmwareFileFilter filter = firmwareFileFilter(ctx.state.printerData.boardCode);
    platform::OpenFileRequest request;
    request.description = filter.description;
    request.patterns = filter.patterns;
    request.defaultExtension = "bin";
    request.mustExist = true;
    std::optional<std::string> chosen = ui.openFile(request);

    // A path that does not fit the name field is no file at all: cut, it
    // would name some other file.
    if (!chosen || chosen->empty() || chosen->size() >= kPathSize) {
        // The earlier selection is gone with the emptied name.
        takeFlashButtonAway(controls);
        platform::box(ui, kSelectCaption, "Did not get a file to open");
        return;
    }
    fileName = *chosen;

    if (ValidateFirmwareFile(ctx, fileName) == 1) {
        controls.setText(Control::flashButton, "Flash Printer NOW");
        controls.show(Control::flashButton, true);
        controls.enable(Control::flashButton, true);
        if (!showImageFacts(ctx, fileName)) {
            // Its line stays, saying why; it is never flashed.
            fileName.clear();
            controls.show(Control::flashButton, false);
            controls.enable(Control::flashButton, false);
        }
        return;
    }
    // A rejected file must never be flashed, whatever an earlier choice allowed.
    fileName.clear();
    takeFlashButtonAway(controls);
    platform::box(ui, kSelectCaption, "Invalid firmware file selected");
}

}  // namespace kv
