#include "app/IdentifyCommand.h"

#include "app/EthernetTarget.h"
#include "printer/discovery/EthernetDiscovery.h"

namespace kv {

using platform::Control;

void IdentifyFields::setText(Control control, const std::string& text) {
    std::lock_guard lock(mutex_);
    texts_[static_cast<size_t>(control)] = text;
}

IdentifyResult IdentifyFields::result() const {
    std::lock_guard lock(mutex_);
    const auto text = [this](Control c) { return texts_[static_cast<size_t>(c)].value_or(""); };
    IdentifyResult r;
    // The search names the printer only once it has read an ID.
    r.idRead = texts_[static_cast<size_t>(Control::printerModelText)].has_value();
    r.model = text(Control::printerModelText);
    r.port = text(Control::portText);
    r.language = text(Control::languageText);
    r.logicBoard = text(Control::logicBoardText);
    r.firmwareVersion = text(Control::currentVersionText);
    r.status = text(Control::statusText);
    return r;
}

IdentifyResult identifyEthernetPrinter(Context& ctx, IdentifyFields& fields) {
    const bool ready = findEthernetPrinter(ctx, fields, ctx.state.printerData);
    IdentifyResult r = fields.result();
    r.ready = ready;
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

std::string formatInterruptedIdentify(const IdentifyFields& fields, int signalNumber) {
    IdentifyResult r = fields.result();
    r.status = "Interrupted by signal " + std::to_string(signalNumber) +
               (r.status.empty() ? "" : " after: " + r.status);
    return formatIdentifyResult(r);
}

int runIdentifyCommand(Context& ctx, std::string_view target, std::string& out) {
    IdentifyFields fields;
    return runIdentifyCommand(ctx, target, fields, out);
}

int runIdentifyCommand(Context& ctx, std::string_view target, IdentifyFields& fields,
                       std::string& out) {
    const std::optional<EthernetTarget> parsed = parseEthernetTarget(target);
    if (!parsed) {
        out = "kvflash: --identify needs A.B.C.D[:PORT], got " +
              platform::escapeDeviceText(target) + "\n";
        return 2;
    }
    setEthernetTexts(ctx.state, *parsed);
    const IdentifyResult r = identifyEthernetPrinter(ctx, fields);
    out = formatIdentifyResult(r);
    return r.idRead ? 0 : 1;
}

}  // namespace kv
