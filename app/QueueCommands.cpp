#include "app/QueueCommands.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include "app/Startup.h"
#include "platform/DurableFile.h"
#include "platform/PrintSpooler.h"
#include "spooler/PortRedirection.h"
#include "spooler/QueueJournal.h"

namespace kv {

namespace {

// Boxes shown while the program ends on a signal: written, never waited on.
class EndingUi final : public platform::Ui {
public:
    explicit EndingUi(platform::Trace& trace) : trace_(trace) {}
    platform::BoxAnswer messageBox(const std::optional<std::string>&, const std::string& text,
                                   platform::BoxButtons buttons) override {
        platform::tracef(trace_, "Box while ending: %s\r\n", text.c_str());
        std::fprintf(stderr, "kvflash: %s\n", text.c_str());
        return buttons == platform::BoxButtons::YesNo ? platform::BoxAnswer::No
                                                      : platform::BoxAnswer::Ok;
    }
    std::optional<std::string> openFile(const platform::OpenFileRequest&) override {
        return std::nullopt;
    }
    void postQuit(int) override {}

private:
    platform::Trace& trace_;
};

std::map<std::string, JournalEntry> journalEntries(platform::Services& sys) {
    std::map<std::string, JournalEntry> byName;
    if (!sys.wired.queueJournal || !sys.wired.queueJournal->exists()) return byName;
    const auto text = sys.wired.queueJournal->read();
    const auto entries = text ? parseJournal(*text) : std::nullopt;
    if (!entries) return byName;
    for (const JournalEntry& e : *entries) byName[e.printerName] = e;
    return byName;
}

}  // namespace

int listQueues(platform::Services& sys, std::ostream& out) {
    platform::PrintSpooler& spooler = sys.spooler();
    const auto listed = spooler.enumerateLocal();
    if (!listed) {
        out << "No print queues: " << listed.reason() << "\n";
        return 1;
    }
    const auto journal = journalEntries(sys);
    for (const platform::QueueRecord& q : *listed) {
        std::string verdict(verdictText(classifyQueue(q)));
        const auto switched = journal.find(q.printerName);
        if (q.portName == platform::kDummyPortName && switched != journal.end()) {
            verdict = "switched by an earlier run from " + switched->second.location +
                      " (kvflash --restore-queues puts it back)";
        }
        out << q.printerName << '\t' << q.portName << '\t' << q.location << '\t' << q.driverName
            << '\t' << verdict << '\n';
    }
    if (listed->empty()) out << "No print queues.\n";
    return 0;
}

int restoreQueues(platform::Services& sys, std::ostream& out) {
    platform::InstanceLock& lock = sys.instanceLock();
    const platform::Result<platform::LockState> taken = lock.create();
    if (!taken) {
        // Another tool may be running: its queues are not ours to move.
        out << "The print queues stay as they are (" << noInstanceLockText(taken.reason())
            << ").\n";
        lock.release();
        return 1;
    }
    if (*taken == platform::LockState::Held) {
        out << "Another KV tool is running; its print queues stay as they are. Try again when "
               "it has ended.\n";
        lock.release();
        return 1;
    }
    const JournalRestore r = restoreQueuesFromJournal(sys);
    lock.release();

    if (!r.found) {
        out << "No print queues are left switched (no journal at " << r.location << ").\n";
        return 0;
    }
    if (!r.readable) {
        out << "The journal " << r.location << " could not be read; nothing was changed.\n";
        return 1;
    }
    size_t failed = 0;
    for (const JournalEntryResult& e : r.entries) {
        const std::string& name = e.entry.printerName;
        switch (e.outcome) {
            case JournalOutcome::Restored:
                out << name << ": restored to " << e.detail << "\n";
                break;
            case JournalOutcome::AlreadyBack:
                out << name << ": already on " << e.detail << ", nothing to do\n";
                break;
            case JournalOutcome::Gone: out << name << ": no longer exists\n"; break;
            case JournalOutcome::Failed:
                ++failed;
                out << name << ": could not be restored to " << e.entry.location
                    << (e.detail.empty() ? "" : ": ") << e.detail << "\n";
                break;
        }
    }
    if (r.complete()) {
        out << "All print queues are back; the journal " << r.location << " has been removed.\n";
        return 0;
    }
    if (failed == 0) {
        out << "The journal " << r.location << " could not be removed.\n";
    } else {
        out << failed << " print queue(s) still switched; the journal " << r.location
            << " keeps them.\n";
    }
    return 1;
}

bool GatedJournal::replace(const std::string& content) {
    std::lock_guard lock(mutex_);
    return !closed_ && inner_.replace(content);
}

bool GatedJournal::remove() {
    std::lock_guard lock(mutex_);
    return !closed_ && inner_.remove();
}

void GatedJournal::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

void endProgramNow(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

void restoreQueuesOnTermination(Context& ctx, platform::TerminationSignals& termination,
                                std::function<void(int)> endProgram, std::function<void()> refuse) {
    // The services as they are now: the entry sets the front end's fields
    // later on its own thread, and the restore needs none of them.
    auto end = [&ctx, base = ctx.sys, endProgram = std::move(endProgram)](int signalNumber) {
        EndingUi ui(ctx.trace());
        platform::Services sys = base;
        sys.wired.ui = &ui;
        sys.wired.controls = nullptr;
        platform::tracef(ctx.trace(), "Signal %d - restoring print queues before ending\r\n",
                         signalNumber);
        restoreQueuesForExit(sys, ctx.state);
        endProgram(128 + signalNumber);
    };
    termination.watch([&ctx, end, refuse = std::move(refuse)](const platform::EndRequest& request) {
        const int signalNumber = request.signalNumber;
        const auto refused = [&] {
            platform::tracef(ctx.trace(),
                             "Signal %d - the printer is in flash mode: ending once its flash "
                             "has ended\r\n",
                             signalNumber);
            if (refuse) refuse();
        };
        if (request.canWait &&
            ctx.state.flashMode.hold([end, signalNumber] { end(signalNumber); }, refused)) {
            return;
        }
        end(signalNumber);
    });
}

}  // namespace kv
