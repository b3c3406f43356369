#include "ui/qt/TransferProgress.h"

#include <algorithm>
#include <limits>

namespace kv::ui {

namespace {

using platform::TransferPhase;

// A count the bar can hold.
int barValue(uint64_t value) {
    return static_cast<int>(std::min<uint64_t>(value, std::numeric_limits<int>::max()));
}

}  // namespace

void TransferProgress::update(const platform::TransferProgress& p) {
    ProgressView v;
    const uint64_t done = std::min(p.done, p.total);
    switch (p.phase) {
        case TransferPhase::None: break;
        case TransferPhase::StartDelay:
            // A printer without start delay has nothing to count.
            v.visible = p.total > 0;
            v.maximum = barValue(p.total);
            v.value = barValue(done);
            v.text = std::to_string(done) + " of " + std::to_string(p.total) + " seconds";
            break;
        case TransferPhase::Data: {
            v.visible = true;
            // In KBytes, as the program lines count; an image under 1 KByte
            // still gets a bar that fills at its end.
            const uint64_t kbytes = (p.total + 1023) / 1024;
            v.maximum = barValue(std::max<uint64_t>(kbytes, 1));
            v.value = done == p.total && p.total > 0 ? v.maximum : barValue(done / 1024);
            v.text =
                std::to_string(done / 1024) + " of " + std::to_string(p.total / 1024) + " KBytes";
            break;
        }
        case TransferPhase::ResetWait: {
            v.visible = p.total > 0;
            const uint64_t left = p.total - done;
            v.maximum = barValue(p.total);
            v.value = barValue(left);
            v.text = std::to_string(left) + (left == 1 ? " second" : " seconds") + " left";
            break;
        }
    }
    view_ = v.visible ? v : ProgressView{};
}

}  // namespace kv::ui
