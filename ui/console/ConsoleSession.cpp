#include "ui/console/ConsoleSession.h"

#include "app/EthernetTarget.h"
#include "platform/DialogItemIds.h"
#include "ui/console/ConsoleText.h"

namespace kv::ui {

using platform::Control;
using Kind = ConsoleCommand::Kind;

bool ConsoleSession::refused(Control control) {
    const auto s = p_.controls.state(control);
    const char* why = !s.visible ? "hidden" : !s.enabled ? "disabled" : nullptr;
    if (!why) return false;
    std::fprintf(p_.out, "refused %s %s\n", std::string(platform::controlName(control)).c_str(),
                 why);
    std::fflush(p_.out);
    return true;
}

// The one-shot timer fires once its interval has passed on the clock, as
// the window's message loop would deliver it.
void ConsoleSession::fireDueTimer() {
    // The only timer is the automatic-load search, whose purpose is a flash:
    // each run of it counts as a flash attempt.
    while (!quitRequested()) {
        const auto timer = p_.host.pendingTimer();
        if (!timer) break;
        const size_t before = p_.controls.verdictCount();
        p_.clock.sleepMs(timer->intervalMs);
        p_.dialog.onTimer(timer->id);
        waitForWorker();
        lastFlashCode_ = flashCodeSince(before);
    }
}

void ConsoleSession::waitForWorker() {
    if (p_.flashRunning()) p_.waitForFlashEnd();
}

int ConsoleSession::flashCodeSince(size_t verdictsBefore) const {
    if (p_.controls.verdictCount() <= verdictsBefore) return kExitFailed;
    switch (*p_.controls.lastVerdict()) {
        case platform::VerifyOutcome::Verified: return kExitVerified;
        case platform::VerifyOutcome::Unchecked: return kExitUnchecked;
        default: return kExitFailed;
    }
}

bool ConsoleSession::runCommand(const ConsoleCommand& command) {
    namespace ids = dialog;
    switch (command.kind) {
        case Kind::Find:
            if (refused(Control::findPrinterButton)) return false;
            p_.dialog.onCommand(ids::kFindPrinter);
            break;
        case Kind::Ethernet: {
            const auto target = parseEthernetTarget(command.argument);
            if (!target) return false;
            const Control fields[] = {Control::ipOctetEdit1, Control::ipOctetEdit2,
                                      Control::ipOctetEdit3, Control::ipOctetEdit4,
                                      Control::portEdit};
            const int ids[] = {ids::kIpOctet1, ids::kIpOctet2, ids::kIpOctet3, ids::kIpOctet4,
                               ids::kPortEdit};
            for (Control f : fields) {
                if (refused(f)) return false;
            }
            if (refused(Control::findEthernetButton)) return false;
            for (int i = 0; i < 5; ++i) {
                const std::string& text = i < 4 ? target->octets[i] : target->port;
                p_.controls.setText(fields[i], text);
                p_.dialog.onEditChanged(ids[i], text);
            }
            p_.dialog.onCommand(ids::kFindEthernet);
            break;
        }
        case Kind::Select:
            if (refused(Control::selectFileButton)) return false;
            p_.ui.setNextFile(command.argument == "-" ? std::nullopt
                                                      : std::optional(command.argument));
            p_.dialog.onCommand(ids::kSelectFile);
            p_.ui.setNextFile(std::nullopt);
            break;
        case Kind::Flash:
            if (refused(Control::flashButton)) return false;
            {
                const size_t before = p_.controls.verdictCount();
                p_.dialog.onCommand(ids::kFlash);
                waitForWorker();
                lastFlashCode_ = flashCodeSince(before);
                break;
            }
        case Kind::Ready: p_.dialog.onCommand(ids::kReadyCheck); break;
        case Kind::Help:
            if (refused(Control::helpButton)) return false;
            p_.dialog.onCommand(ids::kHelp);
            break;
        case Kind::History:
            if (refused(Control::historyButton)) return false;
            p_.dialog.onCommand(ids::kHistory);
            break;
        case Kind::Exit: p_.dialog.onCommand(ids::kExit); break;
    }
    fireDueTimer();
    return true;
}

bool ConsoleSession::quitRequested() const {
    // Exit posts one too, after the dialog has ended.
    return p_.ui.quitCode().has_value() && !p_.host.ended();
}

int ConsoleSession::endOnQuitRequest() {
    std::fputs("quit\n", p_.out);
    std::fflush(p_.out);
    return 1;
}

int ConsoleSession::run(const std::vector<ConsoleCommand>& commands) {
    std::fprintf(p_.out, "title \"%s\"\n", escapeConsoleText(p_.host.title()).c_str());
    p_.dialog.onInit();
    fireDueTimer();
    for (const auto& command : commands) {
        if (p_.host.ended()) break;
        if (quitRequested()) return endOnQuitRequest();
        if (!runCommand(command)) {
            if (!p_.host.ended()) p_.dialog.onCommand(dialog::kExit);
            return kExitFailed;
        }
    }
    if (quitRequested()) return endOnQuitRequest();
    if (!p_.host.ended()) p_.dialog.onCommand(dialog::kExit);
    return lastFlashCode_.value_or(kExitVerified);
}

}  // namespace kv::ui
