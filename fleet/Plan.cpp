#include "fleet/Plan.h"

#include "flash/Selection.h"
#include "image/FirmwareImage.h"
#include "platform/Format.h"
#include "printer/DeviceIdFields.h"
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
        case Decision::NotReady: return "skip: not ready";
    }
    return "";
}

std::optional<Outcome> skipOutcome(Decision decision) {
    switch (decision) {
        case Decision::Flash: return std::nullopt;
        case Decision::SameVersion: return Outcome::SameVersion;
        case Decision::Incompatible: return Outcome::Incompatible;
        case Decision::NotKv: return Outcome::NotKv;
        case Decision::Unreachable: return Outcome::Unreachable;
        case Decision::NotReady: return Outcome::NotReady;
    }
    return std::nullopt;
}

std::string notReadyState(const ScanResult& scan) {
    if (!scan.statusBytes) return " - no status reply";
    const auto [byte3, byte4] = *scan.statusBytes;
    // Byte 4's busy bit is the one state the printers name for certain.
    const std::string named = (byte4 & 0x20) != 0 ? " - Busy" : "";
    return named + platform::formatted(" (status %02X %02X)", byte3, byte4);
}

std::optional<std::string> changeSinceScan(const ScanResult& scanned, const ScanResult& now) {
    if (now.reach != scanned.reach) {
        return "changed since the scan: now " + std::string(reachName(now.reach));
    }
    const auto differs = [](const char* what, const std::string& before,
                            const std::string& after) -> std::optional<std::string> {
        if (before == after) return std::nullopt;
        return "changed since the scan: " + std::string(what) + " " + before + " -> " + after;
    };
    if (auto d = differs("model", scanned.model, now.model)) return d;
    if (auto d = differs("firmware", scanned.reportedVersion.value_or(""),
                         now.reportedVersion.value_or("")))
        return d;
    if (auto d = differs("logic board", scanned.logicBoard, now.logicBoard)) return d;
    if (auto d = differs("language", scanned.language, now.language)) return d;
    if (scanned.ready != now.ready) {
        return std::string("changed since the scan: ") + (now.ready ? "ready" : "not ready") +
               (now.ready ? "" : notReadyState(now));
    }
    return std::nullopt;
}

PlanEntry planPrinter(const ScanResult& scan, const PreloadedImage& image,
                      const FleetSettings& settings) {
    switch (scan.reach) {
        case Reach::Refused: return {Decision::Unreachable, "refused"};
        case Reach::Silent: return {Decision::Unreachable, "silent"};
        case Reach::NoReply: return {Decision::Unreachable, "no-reply"};
        case Reach::NotKv:
            return {Decision::NotKv, "its ID names " + whyNotKv(scan.printer.deviceId)};
        case Reach::Found: break;
    }
    LastBoxUi ui;
    NoControls controls;
    if (ValidateFirmwareFile(ui, image.path, controls, scan.printer) != 1) {
        return {Decision::Incompatible, ui.last.empty() ? "not for this printer" : ui.last};
    }
    const std::string& version = image.image->versionText;
    if (!settings.flashSameVersion &&
        sameFirmwareVersion(scan.reportedVersion.value_or(""), version)) {
        return {Decision::SameVersion, "the printer already reports " + version};
    }
    if (!scan.ready) return {Decision::NotReady, "not ready" + notReadyState(scan)};
    return {Decision::Flash, ""};
}

}  // namespace kv::fleet
