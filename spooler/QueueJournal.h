#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PrintSpooler.h"
#include "platform/Services.h"
#include "state/JournalEntry.h"

namespace kv {

inline constexpr std::string_view kJournalHeader = "kvflash print-queue journal 1";

// One line per queue after the header, fields separated by tabs; a tab, a
// line break, '%' or another control byte inside a field is written %XX.
std::string formatJournal(const std::vector<JournalEntry>& entries);
// Nothing when the text is not a journal of this format.
std::optional<std::vector<JournalEntry>> parseJournal(std::string_view text);

enum class JournalOutcome {
    Restored,     // was on the dummy port, is back on its device
    AlreadyBack,  // was not on the dummy port (a hold the journal names is lifted)
    Gone,         // the queue no longer exists
    Failed,       // still switched, or could not be checked
};

struct JournalEntryResult {
    JournalEntry entry;
    JournalOutcome outcome = JournalOutcome::Failed;
    // Restored/AlreadyBack: where the queue prints now; Failed: why.
    std::string detail;
};

struct JournalRestore {
    std::string location;
    bool found = false;
    bool readable = true;
    std::vector<JournalEntryResult> entries;
    // The journal is kept (with the failed entries) or could not be removed.
    bool journalKept = false;
    // True when no queue named by a journal is left switched.
    bool complete() const { return !found || (readable && !journalKept); }
};

// Puts back every queue a journal left by an earlier run names, then
// removes the journal, or keeps the entries that failed. Queues an admin has
// since pointed elsewhere are left where they are.
JournalRestore restoreQueuesFromJournal(platform::Services& sys);

inline constexpr const char* kJournalRestoredText =
    "Print queues left switched by an earlier run have been restored";
inline constexpr const char* kJournalNotRestoredText =
    "Print queues left switched by an earlier run could not all be restored; run "
    "kvflash --restore-queues to try again";

// At start-up, after the instance lock is held: restores what a journal of
// an earlier run holds, with a trace line per queue and a box. Returns
// complete().
[[nodiscard]] bool restoreJournalAtStartup(platform::Services& sys);

}  // namespace kv
