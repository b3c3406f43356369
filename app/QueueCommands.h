#pragma once
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>

#include "state/Context.h"
#include "platform/DurableFile.h"
#include "platform/TerminationSignals.h"

namespace kv {

// kvflash --list-queues: one line per local print queue, tab-separated:
// name, port as the switch reads it, device, driver, and what a switch
// would do with the queue. 0, or 1 when the spooler could not be asked.
int listQueues(platform::Services& sys, std::ostream& out);

// kvflash --restore-queues: puts back the queues a journal names, and says
// what it did. 0 when no queue is left switched, 1 otherwise (also when
// another KV tool holds the instance lock).
int restoreQueues(platform::Services& sys, std::ostream& out);

// The journal as --restore-queues writes it, so that a signal can end the
// command at once and still leave the journal whole: a write under way is
// finished first (it replaces the file whole), and none starts afterwards.
class GatedJournal final : public platform::DurableFile {
public:
    explicit GatedJournal(platform::DurableFile& inner) : inner_(inner) {}
    bool exists() override { return inner_.exists(); }
    std::optional<std::string> read() override { return inner_.read(); }
    bool replace(const std::string& content) override;
    bool remove() override;
    std::string location() override { return inner_.location(); }
    // Waits for a write under way; later ones fail and change nothing.
    void close();

private:
    platform::DurableFile& inner_;
    std::mutex mutex_;
    bool closed_ = false;
};

// Ends the program at once with code, after flushing the standard streams;
// other threads may still be running, so no destructor runs.
[[noreturn]] void endProgramNow(int code);

// Lets a request to end the program (SIGINT, SIGTERM, SIGHUP; Ctrl+C) end it
// only after the print queues are back: the handler restores what this run
// switched (waiting for a switch or restore in progress) and calls
// endProgram with 128 + the signal number. The restore's boxes go to the
// trace and stderr, not to the front end, which may be waiting for input.
// The first request that can wait while the printer is in flash mode is
// held (FlashModeGate) as the window's Exit is refused: traced, told by
// `refuse` where the front end can say so without waiting for anyone (the
// terminal; never a box of the window), and the program ends as above once
// the flash has its verdict; a second one ends it at once.
// ctx must outlive the watching.
void restoreQueuesOnTermination(Context& ctx, platform::TerminationSignals& termination,
                                std::function<void(int exitCode)> endProgram = endProgramNow,
                                std::function<void()> refuse = {});

}  // namespace kv
