#include "fleet/FleetSummary.h"

namespace kv::fleet {

FleetSummary summarize(const Fleet& fleet) {
    FleetSummary s;
    s.stoppedBy = fleet.stoppedBy();
    s.signalNumber = fleet.stopSignal();
    bool failed = false;
    bool unchecked = false;
    bool anyPrinter = false;
    for (size_t i = 0; i < fleet.size(); ++i) {
        PrinterSnapshot p = fleet.slot(i).snapshot();
        if (p.outcome) {
            ++s.counts[*p.outcome];
            failed = failed || isFailure(*p.outcome);
            unchecked = unchecked || *p.outcome == Outcome::Unchecked;
            anyPrinter =
                anyPrinter || (*p.outcome != Outcome::Unreachable && *p.outcome != Outcome::NotKv);
        }
        if (p.mayBeLeftInFlashMode()) s.mayBeInFlashMode.push_back(p.endpoint);
        s.printers.push_back(std::move(p));
    }
    for (size_t i : fleet.untouched()) s.untouched.push_back(fleet.slot(i).snapshot().endpoint);
    s.exitCode = failed || !anyPrinter ? 1 : unchecked ? 3 : 0;
    if (s.signalNumber != 0) s.exitCode = 128 + s.signalNumber;
    return s;
}

}  // namespace kv::fleet
