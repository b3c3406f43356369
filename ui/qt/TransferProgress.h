#pragma once
#include <string>

#include "platform/DialogControls.h"

namespace kv::ui {

// What the progress bar under the two program lines shows.
struct ProgressView {
    bool visible = false;
    int value = 0;
    int maximum = 0;
    std::string text;

    bool operator==(const ProgressView&) const = default;
};

// Turns the transfer worker's progress numbers into a bar: the seconds of
// the start delay, the KBytes sent of the total, and the seconds left of
// the reset wait, counting down.
class TransferProgress {
public:
    void update(const platform::TransferProgress& progress);
    void clear() { update({}); }
    const ProgressView& view() const { return view_; }

private:
    ProgressView view_;
};

}  // namespace kv::ui
