#include "main/ConsoleRun.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <vector>

#include "app/FrontEnd.h"
#include "app/HistoryCommand.h"
#include "app/IdentifyCommand.h"
#include "app/MainDialog.h"
#include "app/QueueCommands.h"
#include "main/RunDialog.h"
#include "ui/console/ConsoleDialogControls.h"
#include "ui/console/ConsoleDialogHost.h"
#include "ui/console/ConsoleSession.h"
#include "ui/console/ConsoleText.h"
#include "ui/console/ConsoleUi.h"
#include "ui/template/DialogTemplate.h"

namespace kv::entry {

void refuseEndInFlashMode() {
    ui::writeEventLine(stdout, ui::boxEventLine(std::nullopt, kCannotExitText));
}

int runMaintenance(platform::Services& sys, const Options& options,
                   platform::TerminationSignals& signals, platform::HistoryFile* simulatedHistory) {
    ui::ConsoleUi consoleUi(stdout, sys.files(), options.yes);
    // What the identify command's search fills in stands for the dialog.
    IdentifyFields fields;
    AppState state;
    Context ctx{state, sys};
    wireFrontEnd(ctx, consoleUi, fields);
    std::optional<GatedJournal> journal;
    if (options.restoreQueues) {
        journal.emplace(sys.queueJournal());
        sys.wired.queueJournal = &*journal;
    }
    // The report goes out once: from this thread when the command ends, or
    // from the handler when a signal ends it first.
    std::mutex reporting;
    bool reported = false;
    signals.watch([&](const platform::EndRequest& request) {
        const int signalNumber = request.signalNumber;
        {
            std::lock_guard lock(reporting);
            if (journal) {
                journal->close();
                std::fprintf(stderr,
                             "kvflash: interrupted by signal %d; the journal %s keeps every print "
                             "queue not yet restored\n",
                             signalNumber, journal->location().c_str());
            }
            if (options.identify && !reported) {
                std::fputs(formatInterruptedIdentify(fields, signalNumber).c_str(), stdout);
            }
            reported = true;
        }
        endProgramNow(128 + signalNumber);
    });
    const platform::StopWatchingAtEnd stopWatching(signals);

    if (options.listQueues) return listQueues(sys, std::cout);
    if (options.restoreQueues) return restoreQueues(sys, std::cout);
    if (options.history) {
        return showHistory(sys, options.json, std::cout, std::cerr, simulatedHistory);
    }
    // A network printer only: no local port or queue is touched, so no
    // instance lock or administrator rights are needed.
    std::string report;
    const int code = runIdentifyCommand(ctx, *options.identify, fields, report);
    std::lock_guard lock(reporting);
    if (!reported) std::fputs(report.c_str(), code == 2 ? stderr : stdout);
    reported = true;
    return code;
}

namespace {

// The terminal as the dialog's front end: event lines on stdout, boxes
// answered by --yes, and the commands run as clicks would be.
class ConsoleFrontEnd final : public FrontEnd {
public:
    ConsoleFrontEnd(Context& ctx, const Options& options, bool demoWhenIdle,
                    const std::string& demoImage)
        : ctx_(ctx),
          options_(options),
          demoWhenIdle_(demoWhenIdle),
          demoImage_(demoImage),
          ui_(stdout, ctx.sys.files(), options.yes) {}

    platform::Ui& ui() override { return ui_; }
    platform::DialogControls& controls() override { return controls_; }
    DialogHost& host() override { return host_; }

    int run(DialogEvents& dialog) override {
        std::vector<ui::ConsoleCommand> commands = options_.commands;
        // What --simulate runs when no command is given: the whole road of
        // one flash with the bundled demo image.
        if (commands.empty() && demoWhenIdle_ && options_.simulate && !ctx_.state.autoLoadMode) {
            commands = {{ui::ConsoleCommand::Kind::Find, {}},
                        {ui::ConsoleCommand::Kind::Select, demoImage_},
                        {ui::ConsoleCommand::Kind::Flash, {}}};
        }
        ui::ConsoleSession session({dialog, controls_, host_, ui_, ctx_.clock(), stdout,
                                    [this] { return ctx_.state.flashInProgress.load(); },
                                    [this] { waitForFlashEnd(ctx_.state); }});
        return session.run(commands);
    }

private:
    Context& ctx_;
    const Options& options_;
    bool demoWhenIdle_;
    std::string demoImage_;
    ui::ConsoleUi ui_;
    ui::ConsoleDialogControls controls_{stdout, ui::ConsoleDialogControls::templateStates()};
    ui::ConsoleDialogHost host_{stdout, ui::mainDialogFrame().title};
};

}  // namespace

int runConsole(Context& ctx, const Options& options, bool demoWhenIdle,
               const std::string& demoImage) {
    ConsoleFrontEnd frontEnd(ctx, options, demoWhenIdle, demoImage);
    return runDialog(ctx, frontEnd);
}

}  // namespace kv::entry
