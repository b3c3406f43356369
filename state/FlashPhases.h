#pragma once

namespace kv {

// The steps of finding and flashing one printer that a run of many printers
// follows; the transfer's own steps travel with its progress.
enum class FlashStep {
    Identifying,  // a search or Find Ethernet Printer asks the printer who it is
    FlashMode,    // the printer is in flash mode: a cut now may leave it there
};

// Who watches one printer's world (a run of many printers does; the window
// does not): told each step as it begins, and asked once, just before flash
// mode, whether the printer may still be started.
class FlashSteps {
public:
    virtual ~FlashSteps() = default;
    virtual void began(FlashStep step) = 0;
    // False: the printer is not started; nothing of flash mode happens.
    [[nodiscard]] virtual bool admitFlashMode() = 0;
    // The run stopped: a flash of its that never reached flash mode is no
    // flash of the printer's and leaves no record.
    virtual bool runStopped() const = 0;
};

}  // namespace kv
