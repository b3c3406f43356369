#pragma once
#include "main/Options.h"
#include "platform/Services.h"
#include "platform/TerminationSignals.h"

namespace kv::entry {

// `kvflash --scan TARGETS ...`: the table of printers found (or JSON).
// Exit 0 when one was found, 1 when none, 2 for targets refused. A signal
// ends it at once with 128 + its number.
int runScanCommand(platform::Services& sys, const Options& options,
                   platform::TerminationSignals& signals);

// `kvflash --fleet TARGETS --image FILE ...`: the image read once, the
// plan, the question (or --yes), the run, the summary. Exit 0, 3, 1 by the
// outcomes, 2 for usage or refusal; the first signal starts no new printer
// and lets those started finish (128 + N at the end), a second ends at once.
int runFleetCommand(platform::Services& sys, const Options& options,
                    platform::TerminationSignals& signals);

}  // namespace kv::entry
