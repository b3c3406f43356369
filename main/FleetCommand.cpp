#include "main/FleetCommand.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/QueueCommands.h"
#include "app/EthernetTarget.h"
#include "flash/FlashAttempt.h"
#include "fleet/FleetImage.h"
#include "fleet/FleetRun.h"
#include "fleet/FleetSummary.h"
#include "fleet/PrinterLog.h"
#include "fleet/WorldParts.h"
#include "platform/EventText.h"
#include "platform/Format.h"
#include "ui/console/FleetView.h"

namespace kv::entry {

namespace {

constexpr uint16_t kDefaultPort = 10001;

void writeOut(std::FILE* out, const std::string& text) {
    // A closed pipe or a full disk fails the write; the run goes on.
    (void)std::fwrite(text.data(), 1, text.size(), out);
    (void)std::fflush(out);
}

void usageError(const std::string& text) { writeOut(stderr, "kvflash: " + text + "\n"); }

std::optional<std::vector<fleet::Endpoint>> targetsOf(platform::Services& sys,
                                                      const std::vector<std::string>& tokens,
                                                      const Options& options) {
    auto parsed =
        fleet::parseTargets(tokens, options.port.value_or(kDefaultPort), sys.fileReader());
    if (auto* error = std::get_if<fleet::TargetError>(&parsed)) {
        usageError(fleet::describe(*error));
        return std::nullopt;
    }
    return std::get<std::vector<fleet::Endpoint>>(std::move(parsed));
}

// "Flash N printers? [y/N]" on a terminal; anything but y or yes is no.
bool confirmed(size_t count) {
    writeOut(stdout, "Flash " + std::to_string(count) + " printers? [y/N] ");
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

int runScanCommand(platform::Services& sys, const Options& options,
                   platform::TerminationSignals& signals) {
    platform::ignoreBrokenPipe();
    signals.watch([](const platform::EndRequest& r) { endProgramNow(128 + r.signalNumber); });
    struct StopWatching {
        platform::TerminationSignals& signals;
        ~StopWatching() { signals.stop(); }
    } stopWatching{signals};

    const auto targets = targetsOf(sys, options.scanTargets, options);
    if (!targets) return 2;
    fleet::CountingInhibitor inhibitor(sys.sleepInhibitor());
    fleet::Fleet fleet(fleet::sharedServicesOf(sys, inhibitor), *targets,
                       options.parallel.value_or(fleet::kDefaultParallel));
    fleet.scan();

    bool found = false;
    std::string out;
    std::string err;
    for (const fleet::ScanResult& r : fleet.scans()) {
        found = found || r.reach == fleet::Reach::Found;
        if (options.json && (r.reach == fleet::Reach::Found || options.verbose)) {
            out += ui::scanJsonLine(r) + "\n";
        } else if (!options.json && options.verbose && r.reach != fleet::Reach::Found) {
            err += ui::scanMissLine(r);
        }
    }
    if (!options.json) {
        out = ui::formatScanTable(fleet.scans()) + ui::formatScanCounts(fleet.scans());
    } else {
        err += ui::formatScanCounts(fleet.scans());
    }
    writeOut(stdout, out);
    writeOut(stderr, err);
    return found ? 0 : 1;
}

int runFleetCommand(platform::Services& sys, const Options& options,
                    platform::TerminationSignals& signals) {
    platform::ignoreBrokenPipe();
    // Everything but the JSON goes to stderr with --json.
    std::FILE* text = options.json ? stderr : stdout;

    const auto targets = targetsOf(sys, options.fleetTargets, options);
    if (!targets) return 2;
    const fleet::FleetImage loaded =
        fleet::loadFleetImage(sys.fileReader(), sys.trustedKeys(), *options.image);
    if (!loaded.image) {
        usageError(
            (loaded.refused ? "the image's signature refuses it: " : "cannot read the image ") +
            platform::escapeDeviceText(*options.image) + ": " +
            platform::escapeDeviceText(loaded.error));
        return 2;
    }
    const platform::ImageFacts& facts = loaded.image->facts;
    if (facts.version.empty() && !options.uncheckedOk) {
        usageError(
            "the image has no \"FWV:\" version marker, so no flash of it can be "
            "verified; --unchecked-ok flashes it anyway");
        return 2;
    }
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
    if (loaded.headed) {
        writeOut(text,
                 "The image starts with a KV_FIRMWARE header: over the network it is "
                 "sent whole, header and all.\n");
    }

    if (options.logDir) {
        const std::string why = fleet::prepareLogFolder(*options.logDir);
        if (!why.empty()) {
            usageError("cannot write logs in " + platform::escapeDeviceText(*options.logDir) +
                       ": " + why);
            return 2;
        }
    }

    // One flash at a time per machine, as the window.
    if (sys.instanceLock().create() != 0) {
        usageError("another KV tool is running");
        return 2;
    }
    struct Unlock {
        platform::InstanceLock& lock;
        ~Unlock() { lock.release(); }
    } unlock{sys.instanceLock()};

    fleet::CountingInhibitor inhibitor(sys.sleepInhibitor());
    fleet::FleetSettings settings;
    settings.parallel = options.parallel.value_or(fleet::kDefaultParallel);
    settings.canary = options.canary.value_or(1);
    settings.maxFailures = options.maxFailures.value_or(3);
    settings.flashSameVersion = options.sameVersionFlash;
    settings.uncheckedOk = options.uncheckedOk;
    fleet::SharedServices shared = fleet::sharedServicesOf(sys, inhibitor);
    shared.logFolder = options.logDir.value_or("");
    fleet::Fleet fleet(shared, *targets, settings.parallel);

    // Before the run a signal ends the program at once: nothing is in flash
    // mode. From the run on, the first lets the printers started finish.
    std::atomic<bool> running{false};
    signals.watch([&](const platform::EndRequest& r) {
        if (!running.load() || fleet.stopSignal() != 0 || !r.canWait) {
            endProgramNow(128 + r.signalNumber);
        }
        fleet.requestStop(r.signalNumber);
        writeOut(stderr, "kvflash: signal " + std::to_string(r.signalNumber) +
                             ": no new printer starts; those under way finish (a second "
                             "signal ends at once)\n");
    });
    struct StopWatching {
        platform::TerminationSignals& signals;
        ~StopWatching() { signals.stop(); }
    } stopWatching{signals};

    fleet.scan();
    fleet.plan(loaded.image, settings);
    writeOut(text, ui::formatFleetPlan(fleet));
    const size_t count = fleet.plannedFlashes();
    if (count > 0 && !options.yes) {
        const bool terminal = sys.files().isTerminal(platform::Files::Stream::Input) &&
                              sys.files().isTerminal(platform::Files::Stream::Output);
        if (!terminal) {
            usageError("--fleet asks before it flashes; without a terminal, --yes answers");
            return 2;
        }
        if (!confirmed(count)) {
            writeOut(text, "Nothing flashed.\n");
            return 2;
        }
    }

    // The machine stays awake from here until the last printer has ended.
    const auto awake = inhibitor.acquire(kInhibitorWho, kInhibitorWhy);
    if (!awake) {
        platform::tracef(sys.trace(), "Sleep inhibitor - none held: %s", awake.reason().c_str());
    }
    const uint64_t startMs = sys.clock().tickMs();
    {
        const bool rows = !options.json && sys.files().isTerminal(platform::Files::Stream::Output);
        ui::FleetRenderer renderer(
            fleet, rows ? ui::FleetRenderer::Mode::Rows : ui::FleetRenderer::Mode::Lines,
            [text](const std::string& piece) { writeOut(text, piece); });
        renderer.start();
        running = true;
        fleet.run(newRecordId());
        renderer.stop();
    }
    inhibitor.release();

    const fleet::FleetSummary summary = fleet::summarize(fleet);
    const double wallSeconds = static_cast<double>(sys.clock().tickMs() - startMs) / 1000.0;
    writeOut(text, ui::formatFleetSummary(summary, wallSeconds));
    if (options.json) {
        std::string out;
        for (const fleet::PrinterSnapshot& p : summary.printers)
            out += ui::fleetJsonLine(p, &facts.signature) + "\n";
        writeOut(stdout, out);
    }
    return summary.exitCode;
}

}  // namespace kv::entry
