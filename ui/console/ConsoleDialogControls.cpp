#include "ui/console/ConsoleDialogControls.h"

#include "ui/console/ConsoleText.h"
#include "ui/template/DialogTemplate.h"

namespace kv::ui {

namespace {
std::string nameOf(platform::Control c) { return std::string(platform::controlName(c)); }
}  // namespace

std::array<ConsoleDialogControls::State, platform::kControlCount>
ConsoleDialogControls::templateStates() {
    std::array<State, platform::kControlCount> states{};
    const auto items = mainDialogItems();
    for (size_t i = 0; i < platform::kControlCount; ++i) {
        const DialogItem& item = items[itemIndexOf(static_cast<platform::Control>(i))];
        states[i].text = item.caption ? item.caption : "";
        states[i].visible = (item.styles & kHidden) == 0;
        states[i].enabled = (item.styles & kDisabled) == 0;
    }
    return states;
}

ConsoleDialogControls::ConsoleDialogControls(std::FILE* out,
                                             std::array<State, platform::kControlCount> initial)
    : out_(out), states_(std::move(initial)) {}

void ConsoleDialogControls::line(const std::string& text) { writeEventLine(out_, text); }

void ConsoleDialogControls::setText(platform::Control control, const std::string& text) {
    std::lock_guard lock(mutex_);
    states_[static_cast<size_t>(control)].text = text;
    line("text " + nameOf(control) + " " + quotedConsoleText(text));
}

void ConsoleDialogControls::enable(platform::Control control, bool enabled) {
    std::lock_guard lock(mutex_);
    states_[static_cast<size_t>(control)].enabled = enabled;
    line((enabled ? "enable " : "disable ") + nameOf(control));
}

void ConsoleDialogControls::show(platform::Control control, bool visible) {
    std::lock_guard lock(mutex_);
    states_[static_cast<size_t>(control)].visible = visible;
    line((visible ? "show " : "hide ") + nameOf(control));
}

void ConsoleDialogControls::setImageFacts(const std::optional<platform::ImageFacts>& facts) {
    // An emptied line has no event of its own.
    if (!facts) return;
    std::lock_guard lock(mutex_);
    if (!facts->readable) {
        line("image unreadable " + quotedConsoleText(facts->reason));
        return;
    }
    line("image " + std::to_string(facts->size) + " " + quotedConsoleText(facts->version) + " " +
         facts->sha256);
    // Only where signatures matter: the lines of a site without keys stay.
    const platform::SignatureFacts& signature = facts->signature;
    if (!signature.shown) return;
    if (signature.good) {
        line("signature " + signature.keyId + " " + quotedConsoleText(signature.trustedComment));
    } else {
        line("signature none " + quotedConsoleText(signature.reason));
    }
}

void ConsoleDialogControls::setVerification(
    const std::optional<platform::Verification>& verification) {
    if (!verification) return;
    std::lock_guard lock(mutex_);
    ++verdicts_;
    lastVerdict_ = verification->outcome;
    line("verify " + std::string(platform::verifyOutcomeName(verification->outcome)) + " " +
         quotedConsoleText(verification->detail));
}

size_t ConsoleDialogControls::verdictCount() const {
    std::lock_guard lock(mutex_);
    return verdicts_;
}

std::optional<platform::VerifyOutcome> ConsoleDialogControls::lastVerdict() const {
    std::lock_guard lock(mutex_);
    return lastVerdict_;
}

ConsoleDialogControls::State ConsoleDialogControls::state(platform::Control control) const {
    std::lock_guard lock(mutex_);
    return states_[static_cast<size_t>(control)];
}

}  // namespace kv::ui
