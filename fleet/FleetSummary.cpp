#include "fleet/FleetSummary.h"

namespace kv::fleet {

namespace {

// A KV printer the run found but did not update; running it again may.
bool leftBehind(Outcome outcome) {
    return isFailure(outcome) || outcome == Outcome::NotReady || outcome == Outcome::Changed;
}

}  // namespace

FleetSummary summarize(const Fleet& fleet) {
    FleetSummary s;
    s.stop = fleet.stopCause();
    bool behind = false;
    bool unchecked = false;
    bool anyPrinter = false;
    for (size_t i = 0; i < fleet.size(); ++i) {
        PrinterSnapshot p = fleet.slot(i).snapshot();
        if (p.outcome) {
            ++s.counts[*p.outcome];
            behind = behind || leftBehind(*p.outcome);
            unchecked = unchecked || *p.outcome == Outcome::Unchecked;
            anyPrinter =
                anyPrinter || (*p.outcome != Outcome::Unreachable && *p.outcome != Outcome::NotKv);
        }
        if (p.mayBeLeftInFlashMode()) s.mayBeInFlashMode.push_back(p.endpoint);
        s.printers.push_back(std::move(p));
    }
    for (size_t i : fleet.untouched()) s.untouched.push_back(fleet.slot(i).snapshot().endpoint);
    s.exitCode = behind || !anyPrinter ? 1 : unchecked ? 3 : 0;
    if (s.stop.rule == StopRule::Signal) s.exitCode = 128 + s.stop.signalNumber;
    return s;
}

}  // namespace kv::fleet
