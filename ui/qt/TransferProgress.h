#pragma once
#include <string>
#include <string_view>

namespace kv::ui {

// What the progress bar under the two program lines shows.
struct ProgressView {
    bool visible = false;
    bool busy = false;  // running, but with no known end
    int value = 0;
    int maximum = 0;
    std::string text;

    bool operator==(const ProgressView&) const = default;
};

// Reads the transfer worker's phase and count texts and turns them into a
// bar: the seconds of the start delay, the KBytes sent of the total, and the
// reset wait (whose length the texts do not carry, so it runs as busy).
class TransferProgress {
public:
    void statusText(std::string_view text);  // programStatusText
    void stateText(std::string_view text);   // programStateText
    void clear();
    const ProgressView& view() const { return view_; }

private:
    enum class Phase { None, Delay, Data, ResetWait };
    void render();

    Phase phase_ = Phase::None;
    int total_ = 0;
    int current_ = 0;
    bool dataDone_ = false;
    ProgressView view_;
};

}  // namespace kv::ui
