#include "main/FleetCommand.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "app/FleetSession.h"
#include "app/QueueCommands.h"
#include "fleet/FleetRun.h"
#include "fleet/FleetSummary.h"
#include "fleet/PrinterLog.h"
#include "fleet/WorldParts.h"
#include "platform/EventText.h"
#include "platform/Format.h"
#include "ui/console/FleetRenderer.h"
#include "ui/console/FleetView.h"

namespace kv::entry {

namespace {

void writeOut(std::FILE* out, const std::string& text) {
    // A closed pipe or a full disk fails the write; the run goes on.
    (void)std::fwrite(text.data(), 1, text.size(), out);
    (void)std::fflush(out);
}

// One line on stderr: the program's name, then `text`, its line breaks
// written as spaces.
void refuse(const std::string& text) {
    std::string line = "kvflash: " + text;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    writeOut(stderr, line + "\n");
}

std::optional<std::vector<fleet::Endpoint>> targetsOf(platform::Services& sys,
                                                      const std::vector<std::string>& tokens,
                                                      const Options& options) {
    auto parsed =
        fleet::parseTargets(tokens, options.port.value_or(fleet::kDefaultPort), sys.fileReader());
    if (auto* error = std::get_if<fleet::TargetError>(&parsed)) {
        refuse(fleet::describe(*error));
        return std::nullopt;
    }
    return std::get<std::vector<fleet::Endpoint>>(std::move(parsed));
}

fleet::FleetSettings settingsOf(const Options& options) {
    fleet::FleetSettings s;
    s.parallel = options.parallel.value_or(s.parallel);
    s.canary = options.canary.value_or(s.canary);
    s.maxFailures = options.maxFailures.value_or(s.maxFailures);
    s.flashSameVersion = options.sameVersionFlash;
    s.uncheckedOk = options.uncheckedOk;
    s.makers.insert(s.makers.end(), options.makers.begin(), options.makers.end());
    return s;
}

// "Flash N printers? [y/N]" on a terminal; anything but y or yes is no.
bool confirmed(std::FILE* out, size_t count) {
    writeOut(out, "Flash " + std::to_string(count) + (count == 1 ? " printer" : " printers") +
                      "? [y/N] ");
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

// What the terminal shows of a session: the stop line at once, the rows
// (or event lines) while printers run, the summary and the reasons at the
// end. Everything but the JSON goes to `text`; with a screen size, rows,
// and --trace's lines on the same terminal (`echo`) go above them.
class TerminalObserver final : public FleetObserver {
public:
    TerminalObserver(std::FILE* text, ui::FleetRenderer::ScreenSize screen = {},
                     platform::Trace* echo = nullptr)
        : text_(text), screen_(std::move(screen)), echo_(echo) {}

    void stopping(const fleet::StopCause& cause, size_t inFlashMode) override {
        say(ui::stoppingLine(cause, inFlashMode));
    }
    void running(const fleet::Fleet& fleet) override {
        std::lock_guard lock(mutex_);
        renderer_ = std::make_unique<ui::FleetRenderer>(
            fleet, screen_, [this](const std::string& piece) { writeOut(text_, piece); });
        renderer_->start();
        if (echo_) {
            ui::FleetRenderer* view = renderer_.get();
            echo_->echoThrough([view](std::string_view line) { view->print(line); });
        }
    }
    void ended(const fleet::Fleet&, const fleet::FleetSummary& summary,
               double wallSeconds) override {
        {
            std::lock_guard lock(mutex_);
            if (echo_) echo_->echoThrough({});
            if (renderer_) renderer_->stop();
            renderer_.reset();
        }
        writeOut(text_,
                 ui::formatFleetSummary(summary, wallSeconds) + ui::formatFleetReasons(summary));
    }
    void say(const std::string& line) {
        std::lock_guard lock(mutex_);
        if (renderer_) {
            renderer_->print(line);
        } else {
            writeOut(text_, line + "\n");
        }
    }

private:
    std::FILE* const text_;
    const ui::FleetRenderer::ScreenSize screen_;
    platform::Trace* const echo_;
    std::mutex mutex_;
    std::unique_ptr<ui::FleetRenderer> renderer_;
};

// What a second stop says on its way out, without waiting for anyone.
std::string leftBehindText(const std::vector<fleet::Endpoint>& inFlashMode) {
    if (inFlashMode.empty()) return "kvflash: stopped at once; no printer was in flash mode\n";
    return "kvflash: stopped at once; " + ui::mayBeInFlashModeText(inFlashMode);
}

}  // namespace

int runScanCommand(platform::Services& sys, const Options& options,
                   platform::TerminationSignals& signals) {
    platform::ignoreBrokenPipe();
    const auto targets = targetsOf(sys, options.scanTargets, options);
    if (!targets) return 2;
    AppState state;
    Context ctx{state, sys};
    TerminalObserver observer(options.json ? stderr : stdout);
    FleetSession session(ctx, fleet::sharedServicesOf(sys), settingsOf(options),
                         FleetSession::Lock::TakeForRun, observer);
    // The first stop ends the scan within its bounds and shows what it
    // found; a second ends at once.
    signals.watch([&](const platform::EndRequest& r) {
        if (!r.canWait || session.stopRequested()) endProgramNow(128 + r.signalNumber);
        session.requestStop(fleet::StopCause::signal(r.signalNumber, r.source));
    });
    const platform::StopWatchingAtEnd stopWatching(signals);
    session.scan(*targets);

    bool found = false;
    std::string out;
    std::string err;
    for (const fleet::ScanResult& r : session.scans()) {
        if (!r.scanned) continue;
        found = found || r.reach == fleet::Reach::Found;
        if (options.json && (r.reach == fleet::Reach::Found || options.verbose)) {
            out += ui::scanJsonLine(r) + "\n";
        } else if (!options.json && options.verbose && r.reach != fleet::Reach::Found) {
            err += ui::scanMissLine(r);
        }
    }
    if (!options.json) {
        const size_t width =
            ui::lineWidthOf(sys.files().terminalSize(platform::Files::Stream::Output));
        out = ui::formatScanTable(session.scans(), width) + ui::formatScanCounts(session.scans());
    } else {
        err += ui::formatScanCounts(session.scans());
    }
    writeOut(stdout, out);
    writeOut(stderr, err);
    if (const auto cause = session.stopCause()) {
        writeOut(stderr, ui::scanStoppedLine(*cause, session.scans()));
        return 128 + cause->signalNumber;
    }
    return found ? 0 : 1;
}

int runFleetCommand(platform::Services& sys, const Options& options,
                    platform::TerminationSignals& signals) {
    platform::ignoreBrokenPipe();
    // Everything but the JSON goes to stderr with --json.
    std::FILE* text = options.json ? stderr : stdout;
    const platform::Files::Stream textStream =
        options.json ? platform::Files::Stream::Error : platform::Files::Stream::Output;

    const auto targets = targetsOf(sys, options.fleetTargets, options);
    if (!targets) return 2;
    AppState state;
    Context ctx{state, sys};
    const bool rows = sys.files().isTerminal(textStream);
    const auto screen = [&sys, textStream] { return sys.files().terminalSize(textStream); };
    const bool echoAbove = rows && sys.files().isTerminal(platform::Files::Stream::Error);
    TerminalObserver observer(text, rows ? screen : ui::FleetRenderer::ScreenSize{},
                              echoAbove ? &sys.trace() : nullptr);
    fleet::SharedServices shared = fleet::sharedServicesOf(sys);
    shared.logFolder = options.logDir.value_or("");
    FleetSession session(ctx, shared, settingsOf(options), FleetSession::Lock::TakeForRun,
                         observer);

    if (const auto refused = session.useImage(*options.image)) {
        const bool hint = refused->kind == ImageRefusal::Kind::NoMarker;
        refuse(refused->text + (hint ? " --unchecked-ok flashes it anyway." : ""));
        return 2;
    }
    const platform::ImageFacts& facts = session.image()->facts;
    writeOut(text, platform::formatted("Image %s: %llu bytes, version \"%s\", SHA-256 %s\n",
                                       platform::escapeDeviceText(*options.image).c_str(),
                                       static_cast<unsigned long long>(facts.size),
                                       platform::escapeDeviceText(facts.version).c_str(),
                                       facts.sha256.c_str()));
    if (const platform::SignatureFacts& signature = facts.signature; signature.shown) {
        writeOut(text, signature.good
                           ? "Signed by " + signature.keyId + ": " +
                                 platform::quotedEventText(signature.trustedComment) + "\n"
                           : "Signature: " + signature.reason + "\n");
    }
    if (session.imageHeaded()) {
        writeOut(text,
                 "The image starts with a KV_FIRMWARE header: over the network it is "
                 "sent whole, header and all.\n");
    }
    if (options.logDir) {
        const std::string why = fleet::prepareLogFolder(sys.fileWriter(), *options.logDir);
        if (!why.empty()) {
            refuse("cannot write logs in " + platform::escapeDeviceText(*options.logDir) + ": " +
                   why);
            return 2;
        }
    }
    if (const auto notice = session.earlierRunNotice()) writeOut(text, *notice + "\n");

    // Until the run nothing is in flash mode: a stop cuts the scan and
    // ends; while the question waits for its answer, it ends at once. From
    // the run on, the first lets the printers in flash mode finish.
    std::atomic<bool> asking{false};
    signals.watch([&](const platform::EndRequest& r) {
        if (!r.canWait || asking.load() || session.stopRequested()) {
            sys.files().writeErrorNow(leftBehindText(session.inFlashMode()));
            endProgramNow(128 + r.signalNumber);
        }
        session.requestStop(fleet::StopCause::signal(r.signalNumber, r.source));
    });
    const platform::StopWatchingAtEnd stopWatching(signals);

    session.scan(*targets);
    if (const auto cause = session.stopCause()) {
        writeOut(text, ui::scanStoppedLine(*cause, session.scans()));
        return 128 + cause->signalNumber;
    }
    const fleet::Fleet& fleet = session.planAll();
    writeOut(text, ui::formatFleetPlan(fleet, options.verbose,
                                       rows ? ui::lineWidthOf(screen()) : ui::kAnyWidth));
    const size_t count = fleet.plannedFlashes();
    if (count > 0 && !options.yes) {
        const bool terminal = sys.files().isTerminal(platform::Files::Stream::Input) &&
                              sys.files().isTerminal(textStream);
        if (!terminal) {
            refuse("--fleet asks before it flashes; without a terminal, --yes answers");
            return 2;
        }
        asking = true;
        const bool yes = confirmed(text, count);
        asking = false;
        if (!yes) {
            writeOut(text, "Nothing flashed.\n");
            return 2;
        }
    }
    if (const auto refused = session.beginRun()) {
        refuse(*refused);
        return 2;
    }
    const fleet::FleetSummary summary = session.run();
    if (options.json) {
        std::string out;
        for (const fleet::PrinterSnapshot& p : summary.printers)
            out += ui::fleetJsonLine(p, &facts.signature) + "\n";
        writeOut(stdout, out);
    }
    return summary.exitCode;
}

}  // namespace kv::entry
