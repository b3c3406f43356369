#pragma once
#include <functional>
#include <optional>
#include <string>

#include "main/Options.h"
#include "main/World.h"
#include "platform/TerminationSignals.h"
#include "state/Context.h"

namespace kv::entry {

// What the options ask that needs no world: a usage error (exit code 2),
// --help or --version (0), as the terminal prints it.
struct ImmediateAnswer {
    int exitCode = 0;
    std::string text;
    bool isError = false;  // for stderr
};
std::optional<ImmediateAnswer> immediateAnswer(const ParseResult& parsed);

// The terminal programs' way with those: the text printed, the exit code
// returned; nothing when the run goes on.
std::optional<int> answerInTerminal(const ParseResult& parsed);

// The run in a world made for the options: their maintenance command, or
// else the dialog in the front end that `runFrontEnd` runs. Print queues
// this run switched go back before a signal ends it; the first signal while
// the printer is in flash mode waits for the flash's verdict, told by
// `refuse` where given (see restoreQueuesOnTermination).
int runInWorld(World& world, const Options& options, platform::TerminationSignals& signals,
               std::function<void()> refuse, const std::function<int(Context&)>& runFrontEnd);

}  // namespace kv::entry
