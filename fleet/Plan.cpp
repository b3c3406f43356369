#include "fleet/Plan.h"

#include "flash/Selection.h"
#include "image/FirmwareImage.h"
#include "printer/SameVersion.h"

namespace kv::fleet {

namespace {

// Keeps the last box of the check, for the plan's reason.
class LastBoxUi final : public platform::Ui {
public:
    platform::BoxAnswer messageBox(const std::optional<std::string>&, const std::string& text,
                                   platform::BoxButtons) override {
        last = text;
        return platform::BoxAnswer::No;
    }
    std::optional<std::string> openFile(const platform::OpenFileRequest&) override {
        return std::nullopt;
    }
    void postQuit(int) override {}
    std::string last;
};

class NoControls final : public platform::DialogControls {
public:
    void setText(platform::Control, const std::string&) override {}
    void enable(platform::Control, bool) override {}
    void show(platform::Control, bool) override {}
};

}  // namespace

std::string_view decisionName(Decision decision) {
    switch (decision) {
        case Decision::Flash: return "flash";
        case Decision::SameVersion: return "skip: same version";
        case Decision::Incompatible: return "skip: incompatible";
        case Decision::NotKv: return "skip: not a KV printer";
        case Decision::Unreachable: return "skip: unreachable";
    }
    return "";
}

PlanEntry planPrinter(const ScanResult& scan, const PreloadedImage& image, bool flashSameVersion) {
    switch (scan.reach) {
        case Reach::Refused: return {Decision::Unreachable, "refused"};
        case Reach::Silent: return {Decision::Unreachable, "silent"};
        case Reach::NoReply: return {Decision::Unreachable, "no-reply"};
        case Reach::NotKv: return {Decision::NotKv, "the ID names no KV printer"};
        case Reach::Found: break;
    }
    LastBoxUi ui;
    NoControls controls;
    if (ValidateFirmwareFile(ui, image.path, controls, scan.printer) != 1) {
        return {Decision::Incompatible, ui.last.empty() ? "not for this printer" : ui.last};
    }
    const std::string& version = image.image->versionText;
    if (!flashSameVersion && sameFirmwareVersion(scan.reportedVersion.value_or(""), version)) {
        return {Decision::SameVersion, "the printer already reports " + version};
    }
    return {Decision::Flash, scan.ready ? "" : "not ready"};
}

}  // namespace kv::fleet
