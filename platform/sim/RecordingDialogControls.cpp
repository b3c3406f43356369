#include "platform/sim/RecordingDialogControls.h"

namespace kv::platform::sim {

void RecordingDialogControls::record(Event event) {
    std::lock_guard lock(mutex_);
    State& s = states_[static_cast<size_t>(event.control)];
    switch (event.kind) {
        case Kind::Text: s.text = event.text; break;
        case Kind::Enable: s.enabled = true; break;
        case Kind::Disable: s.enabled = false; break;
        case Kind::Show: s.visible = true; break;
        case Kind::Hide: s.visible = false; break;
    }
    events_.push_back(std::move(event));
}

void RecordingDialogControls::setText(Control control, const std::string& text) {
    record({Kind::Text, control, text, std::this_thread::get_id()});
}

void RecordingDialogControls::enable(Control control, bool enabled) {
    record({enabled ? Kind::Enable : Kind::Disable, control, {}, std::this_thread::get_id()});
}

void RecordingDialogControls::show(Control control, bool visible) {
    record({visible ? Kind::Show : Kind::Hide, control, {}, std::this_thread::get_id()});
}

void RecordingDialogControls::hold(Control control, bool held) {
    std::lock_guard lock(mutex_);
    states_[static_cast<size_t>(control)].held = held;
}

std::vector<RecordingDialogControls::Event> RecordingDialogControls::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

RecordingDialogControls::State RecordingDialogControls::state(Control control) const {
    std::lock_guard lock(mutex_);
    return states_[static_cast<size_t>(control)];
}

std::vector<std::string> RecordingDialogControls::textsOf(Control control) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const Event& e : events_) {
        if (e.kind == Kind::Text && e.control == control) texts.push_back(e.text);
    }
    return texts;
}

void RecordingDialogControls::preset(Control control, State state) {
    std::lock_guard lock(mutex_);
    states_[static_cast<size_t>(control)] = std::move(state);
}

void RecordingDialogControls::clearEvents() {
    std::lock_guard lock(mutex_);
    events_.clear();
    progress_.clear();
    imageFacts_.clear();
    verifications_.clear();
}

void RecordingDialogControls::setProgress(const TransferProgress& progress) {
    std::lock_guard lock(mutex_);
    progress_.push_back(progress);
}

void RecordingDialogControls::setImageFacts(const std::optional<ImageFacts>& facts) {
    std::lock_guard lock(mutex_);
    imageFacts_.push_back(facts);
}

void RecordingDialogControls::setVerification(const std::optional<Verification>& verification) {
    std::lock_guard lock(mutex_);
    verifications_.push_back(verification);
}

std::vector<std::optional<ImageFacts>> RecordingDialogControls::imageFacts() const {
    std::lock_guard lock(mutex_);
    return imageFacts_;
}

std::vector<std::optional<Verification>> RecordingDialogControls::verifications() const {
    std::lock_guard lock(mutex_);
    return verifications_;
}

std::vector<TransferProgress> RecordingDialogControls::progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

}  // namespace kv::platform::sim
