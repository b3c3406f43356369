#include "app/IdentifyCommand.h"

#include <array>
#include <optional>

#include "app/EthernetTarget.h"
#include "printer/discovery/EthernetDiscovery.h"

namespace kv {
namespace {

using platform::Control;

// The dialog's fields as the search leaves them, with no window behind.
class FieldTexts final : public platform::DialogControls {
public:
    void setText(Control control, const std::string& text) override {
        texts_[static_cast<size_t>(control)] = text;
    }
    void enable(Control, bool) override {}
    void show(Control, bool) override {}

    std::string text(Control control) const {
        return texts_[static_cast<size_t>(control)].value_or("");
    }
    bool wasSet(Control control) const { return texts_[static_cast<size_t>(control)].has_value(); }

private:
    std::array<std::optional<std::string>, platform::kControlCount> texts_;
};

}  // namespace

IdentifyResult identifyEthernetPrinter(Context& ctx) {
    FieldTexts fields;
    IdentifyResult r;
    r.ready = findEthernetPrinter(ctx, fields, ctx.state.printerData);
    // The search names the printer only once it has read an ID.
    r.idRead = fields.wasSet(Control::printerModelText);
    r.model = fields.text(Control::printerModelText);
    r.port = fields.text(Control::portText);
    r.language = fields.text(Control::languageText);
    r.logicBoard = fields.text(Control::logicBoardText);
    r.firmwareVersion = fields.text(Control::currentVersionText);
    r.status = fields.text(Control::statusText);
    return r;
}

std::string formatIdentifyResult(const IdentifyResult& r) {
    std::string out;
    const auto line = [&out](const char* name, const std::string& value) {
        out += name;
        out += platform::escapeDeviceText(value);
        out += '\n';
    };
    if (r.idRead) {
        line("Printer:          ", r.model);
        line("Port:             ", r.port);
        line("Language:         ", r.language);
        line("Logic Board:      ", r.logicBoard);
        line("Current Version:  ", r.firmwareVersion);
        line("Ready:            ", r.ready ? "yes" : "no");
    }
    line("Status:           ", r.status);
    return out;
}

int runIdentifyCommand(Context& ctx, std::string_view target, std::string& out) {
    const std::optional<EthernetTarget> parsed = parseEthernetTarget(target);
    if (!parsed) {
        out = "kvflash: --identify needs A.B.C.D[:PORT], got " +
              platform::escapeDeviceText(target) + "\n";
        return 2;
    }
    setEthernetTexts(ctx.state, *parsed);
    const IdentifyResult r = identifyEthernetPrinter(ctx);
    out = formatIdentifyResult(r);
    return r.idRead ? 0 : 1;
}

}  // namespace kv
