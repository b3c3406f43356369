#include "main/Program.h"

#include <cstdio>

#include "app/QueueCommands.h"
#include "kvflash/Version.h"
#include "main/ConsoleRun.h"
#include "main/FleetCommand.h"

namespace kv::entry {

std::optional<ImmediateAnswer> immediateAnswer(const ParseResult& parsed) {
    if (!parsed.error.empty()) {
        // One line: the whole usage would bury the error.
        return ImmediateAnswer{2, "kvflash: " + parsed.error + " (see kvflash --help)\n", true};
    }
    if (parsed.options.help) return ImmediateAnswer{0, kUsageText, false};
    if (parsed.options.version) return ImmediateAnswer{0, std::string(kVersionText) + "\n", false};
    return std::nullopt;
}

std::optional<int> answerInTerminal(const ParseResult& parsed) {
    const std::optional<ImmediateAnswer> answer = immediateAnswer(parsed);
    if (!answer) return std::nullopt;
    std::fputs(answer->text.c_str(), answer->isError ? stderr : stdout);
    return answer->exitCode;
}

int runInWorld(World& world, const Options& options, platform::TerminationSignals& signals,
               std::function<void()> refuse, const std::function<int(Context&)>& runFrontEnd) {
    if (!options.scanTargets.empty()) return runScanCommand(world.sys, options, signals);
    if (!options.fleetTargets.empty()) return runFleetCommand(world.sys, options, signals);
    if (options.isMaintenance()) {
        return runMaintenance(world.sys, options, signals, world.simulatedHistory());
    }
    AppState state;
    Context ctx{state, world.sys};
    restoreQueuesOnTermination(ctx, signals, endProgramNow, std::move(refuse));
    // The watcher uses ctx: it stops before ctx goes, on every return.
    const platform::StopWatchingAtEnd stopWatching(signals);
    return runFrontEnd(ctx);
}

}  // namespace kv::entry
