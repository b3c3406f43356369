// The print-queue journal as it may lie on disk after anything: parsed,
// and what parses writes back to the same entries.
#include "fuzz/FuzzWorld.h"
#include "spooler/QueueJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    const auto entries = parseJournal(fuzz::textOf(data, size));
    if (!entries) return 0;
    const auto again = parseJournal(formatJournal(*entries));
    fuzz::require(again.has_value() && again->size() == entries->size());
    for (size_t i = 0; i < entries->size(); ++i) {
        const JournalEntry& a = (*entries)[i];
        const JournalEntry& b = (*again)[i];
        fuzz::require(a.printerName == b.printerName && a.portName == b.portName &&
                      a.location == b.location && a.held == b.held);
    }
    return 0;
}
