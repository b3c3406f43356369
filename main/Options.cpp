#include "main/Options.h"

#include <map>

#include "fleet/FleetSettings.h"
#include "image/FileBytes.h"
#include "platform/Format.h"
#include "platform/Trace.h"

namespace kv::entry {

const char* const kUsageText =
    "usage: kvflash [--simulate [--sim-usb ID] [--sim-usb-no-id ID] [--sim-lpt1 ID]"
    " [--sim-lpt2 ID] [--sim-lpt3 ID] [--keep-bytes N] [--fast]] [--trace]\n"
    "       kvflash --console [--yes] [--trace] [--simulate ...] [COMMAND ...]\n"
    "       kvflash --list-queues | --restore-queues | --identify A.B.C.D[:PORT]\n"
    "       kvflash --history [--json] [--simulate]\n"
    "       kvflash --scan TARGETS [--port P] [--parallel N] [--maker NAME] [--json]\n"
    "               [--verbose]\n"
    "       kvflash --fleet TARGETS --image FILE [--port P] [--parallel N] [--canary N]\n"
    "               [--max-failures K] [--same-version skip|flash] [--unchecked-ok]\n"
    "               [--maker NAME] [--log-dir DIR] [--yes] [--json] [--verbose]\n"
    "       kvflash --help | --version\n"
    "\n"
    "Without --console kvflash opens its window where there is a display, and\n"
    "runs in the terminal otherwise.\n"
    "\n"
    "Commands (terminal front end), run in order as clicks would be:\n"
    "  find                     Find Printer\n"
    "  ethernet A.B.C.D[:PORT]  type the address (port 10001 by default), then\n"
    "                           Find Ethernet Printer\n"
    "  select PATH              Select Firmware File; the file dialog answers PATH\n"
    "                           ('-' cancels it, and so does a path that is not an\n"
    "                           existing readable file, with the reason on stderr)\n"
    "  flash                    Flash Printer NOW; returns when the transfer and the\n"
    "                           printer's re-identification have ended\n"
    "  ready                    the hidden ready check\n"
    "  help                     Display Help\n"
    "  history                  History (the flash history as a box)\n"
    "  exit                     Exit (implied after the last command)\n"
    "\n"
    "Options:\n"
    "  --console        the terminal front end, even where there is a display\n"
    "  --yes            answer Yes/No boxes with yes (default no)\n"
    "  --trace          echo the debug trace to stderr (it always goes to syslog)\n"
    "  --simulate       a simulated printer and print queues instead of real ones:\n"
    "                   by default one USB printer\n"
    "                   \"MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;\", a print\n"
    "                   queue with the KV driver \"KV ZOW3004F PT\" on a USB printer and\n"
    "                   a non-KV queue\n"
    "  --sim-usb ID     attach a simulated USB printer with this device ID instead\n"
    "  --sim-usb-no-id ID  ... one whose device-ID query fails; its USB serial\n"
    "                   number names the model of ID, so it is counted, but it\n"
    "                   cannot be identified\n"
    "  --sim-lpt1 ID    ... on LPT1 (likewise --sim-lpt2, --sim-lpt3); repeatable\n"
    "  --keep-bytes N   the simulated printers keep at most N bytes of what they\n"
    "                   receive and of the image (default and most 67108864)\n"
    "  --fast           every pause in virtual time (simulated world only)\n"
    "  --list-queues    list the local print queues and how a flash treats them\n"
    "  --restore-queues put back print queues an earlier run left switched\n"
    "  --identify T     identify the network printer at T = A.B.C.D[:PORT]\n"
    "  --history        the flash history as a table, newest last (with --simulate:\n"
    "                   the simulated runs' own history); --json prints its records\n"
    "\n"
    "Many network printers (TARGETS: one or more of A.B.C.D[:PORT], A.B.C.D/NN with\n"
    "NN 16..32, A.B.C.D-E, @FILE with one of those a line):\n"
    "  --scan TARGETS   identify every address as Find Ethernet Printer does, a\n"
    "                   table of the printers found; exit 0 when one was found\n"
    "  --fleet TARGETS  identify, plan, then flash every compatible printer in\n"
    "                   parallel, verify and record each; a summary at the end\n"
    "  --image FILE     the image of --fleet, read once\n"
    "  --port P         the port of targets without one (default 10001)\n"
    "  --parallel N     at most N printers at once (default 32, most 256)\n"
    "  --canary N       flash N printers first, the rest only when all N are\n"
    "                   verified (default 1; 0: none)\n"
    "  --max-failures K start no new printer once K failed (default 3; 0: no limit)\n"
    "  --same-version skip|flash  a printer already on the image's version\n"
    "                   (default skip)\n"
    "  --unchecked-ok   accept an image without a version marker\n"
    "  --maker NAME     also count a device whose ID names this maker (MFG:) as a\n"
    "                   KV printer (repeatable; KV always counts)\n"
    "  --log-dir DIR    each printer's trace, phases and boxes in a file of its own\n"
    "  --yes            (--fleet) flash without asking \"Flash N printers? [y/N]\"\n"
    "  --json           (--scan, --fleet) stdout carries only JSON, one object a line\n"
    "  --verbose        (--scan, --fleet) the addresses not found, on stderr\n"
    "\n"
    "Event lines (terminal front end), one per event on stdout; texts are quoted\n"
    "and escaped as in C:\n"
    "  title \"TEXT\"                       the window's title\n"
    "  text CONTROL \"TEXT\"                a control's new text\n"
    "  show CONTROL                       a control appears\n"
    "  hide CONTROL                       a control disappears\n"
    "  enable CONTROL                     a control can be used\n"
    "  disable CONTROL                    a control cannot be used\n"
    "  box \"CAPTION\" \"TEXT\" [-> yes|no]  a message box (- for no caption)\n"
    "  notice \"CAPTION\" \"TEXT\"            what a box would say where none may wait for\n"
    "                                     a click (automatic-load mode)\n"
    "  file-dialog \"DESCRIPTION\" \"PATTERNS\" -> \"PATH\"\n"
    "                                     the file dialog and its answer (- cancelled)\n"
    "  refused CONTROL disabled|hidden    a command whose control cannot be clicked\n"
    "  image SIZE \"VERSION\" SHA256        the accepted image file (\"\" without a\n"
    "                                     version marker; image unreadable \"REASON\")\n"
    "  signature KEYID \"TRUSTED COMMENT\"  after image, with trusted keys or a .minisig\n"
    "                                     beside it: signed by that key (signature\n"
    "                                     none \"REASON\" when not)\n"
    "  verify OUTCOME \"DETAIL\"            after each flash, once the printer was\n"
    "                                     identified again: verified, mismatch,\n"
    "                                     not-found, unchecked or failed\n"
    "  quit                               the dialog asked the program to end (a\n"
    "                                     printer that cannot be identified); no\n"
    "                                     further command runs\n"
    "  fleet ADDRESS PHASE \"DETAIL\"       (--fleet without a terminal) a printer's\n"
    "                                     new phase, or its outcome at its end\n"
    "\n"
    "Exit code: 0 when every command ran and the last flash, if any, was verified;\n"
    "3 when the last flash went through but could not be checked (unchecked);\n"
    "1 when a command was refused, the last flash failed, did not take\n"
    "(mismatch) or lost the printer (not-found), or the run ended on quit;\n"
    "(--fleet: 0 every flashed printer verified, 3 some unchecked and none worse,\n"
    "1 any failed, mismatched or not found, or a printer left not ready or changed\n"
    "since the scan; --scan: 0 a printer found, 1 none)\n"
    "2 for a usage error; 128 + N when signal N (SIGINT, SIGTERM, SIGHUP) ended\n"
    "the run: in flash mode the first one waits for the flash's verdict.\n";

ParseResult parseOptions(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    const std::map<std::string, bool*> flags{
        {"--help", &o.help},
        {"--version", &o.version},
        {"--console", &o.console},
        {"--yes", &o.yes},
        {"--trace", &o.trace},
        {"--simulate", &o.simulate},
        {"--fast", &o.fast},
        {"--list-queues", &o.listQueues},
        {"--restore-queues", &o.restoreQueues},
        {"--history", &o.history},
        {"--json", &o.json},
        {"--unchecked-ok", &o.uncheckedOk},
        {"--verbose", &o.verbose},
    };
    const std::map<std::string, std::pair<std::optional<size_t>*, size_t>> counts{
        {"--parallel", {&o.parallel, fleet::kMaxParallel}},
        {"--canary", {&o.canary, 65536}},
        {"--max-failures", {&o.maxFailures, 65536}},
    };
    const std::map<std::string, std::vector<std::string>*> simOptions{
        {"--sim-usb", &o.simUsb},     {"--sim-usb-no-id", &o.simUsbNoId},
        {"--sim-lpt1", &o.simLpt[0]}, {"--sim-lpt2", &o.simLpt[1]},
        {"--sim-lpt3", &o.simLpt[2]},
    };
    const std::map<std::string, ConsoleCommand::Kind> plainCommands{
        {"find", ConsoleCommand::Kind::Find},       {"flash", ConsoleCommand::Kind::Flash},
        {"ready", ConsoleCommand::Kind::Ready},     {"help", ConsoleCommand::Kind::Help},
        {"history", ConsoleCommand::Kind::History}, {"exit", ConsoleCommand::Kind::Exit},
    };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasNext = i + 1 < args.size();
        if (auto f = flags.find(a); f != flags.end()) {
            *f->second = true;
        } else if (auto s = simOptions.find(a); s != simOptions.end()) {
            if (!hasNext) {
                r.error = a + " needs a device ID";
                return r;
            }
            s->second->push_back(args[++i]);
        } else if (a == "--keep-bytes") {
            const auto n =
                hasNext ? platform::parseNumber(args[i + 1], kMaxFirmwareImageBytes) : std::nullopt;
            if (!n) {
                r.error = "--keep-bytes needs a number of bytes up to " +
                          std::to_string(kMaxFirmwareImageBytes);
                return r;
            }
            o.keepBytes = *n;
            ++i;
        } else if (a == "--scan" || a == "--fleet") {
            std::vector<std::string>& targets = a == "--scan" ? o.scanTargets : o.fleetTargets;
            while (i + 1 < args.size() && !args[i + 1].starts_with("--")) {
                targets.push_back(args[++i]);
            }
            if (targets.empty()) {
                r.error = a + " needs TARGETS";
                return r;
            }
        } else if (auto c = counts.find(a); c != counts.end()) {
            const auto n =
                hasNext ? platform::parseNumber(args[i + 1], c->second.second) : std::nullopt;
            if (!n || (a == "--parallel" && *n == 0)) {
                r.error = a + " needs a number up to " + std::to_string(c->second.second) +
                          (a == "--parallel" ? ", at least 1" : "");
                return r;
            }
            *c->second.first = static_cast<size_t>(*n);
            ++i;
        } else if (a == "--port") {
            const auto n = hasNext ? platform::parseNumber(args[i + 1], 65535) : std::nullopt;
            if (!n || *n == 0) {
                r.error = "--port needs a port from 1 to 65535";
                return r;
            }
            o.port = static_cast<uint16_t>(*n);
            ++i;
        } else if (a == "--image" || a == "--log-dir") {
            if (!hasNext) {
                r.error = a + " needs a path";
                return r;
            }
            (a == "--image" ? o.image : o.logDir) = args[++i];
        } else if (a == "--maker") {
            if (!hasNext || args[i + 1].empty() || args[i + 1].find(';') != std::string::npos) {
                r.error = "--maker needs a maker's name";
                return r;
            }
            o.makers.push_back(args[++i]);
        } else if (a == "--same-version") {
            if (!hasNext || (args[i + 1] != "skip" && args[i + 1] != "flash")) {
                r.error = "--same-version needs skip or flash";
                return r;
            }
            o.sameVersionFlash = args[++i] == "flash";
        } else if (a == "--identify") {
            if (!hasNext) {
                r.error = "--identify needs A.B.C.D[:PORT]";
                return r;
            }
            o.identify = args[++i];
        } else if (auto c = plainCommands.find(a); c != plainCommands.end()) {
            o.commands.push_back({c->second, {}});
        } else if (a == "ethernet") {
            if (!hasNext || !parseEthernetTarget(args[i + 1])) {
                r.error = "ethernet needs an address A.B.C.D[:PORT]";
                return r;
            }
            o.commands.push_back({ConsoleCommand::Kind::Ethernet, args[++i]});
        } else if (a == "select") {
            if (!hasNext) {
                r.error = "select needs a file path (or - to cancel the file dialog)";
                return r;
            }
            o.commands.push_back({ConsoleCommand::Kind::Select, args[++i]});
        } else {
            // Escaped: the error stays one line whatever the argument holds.
            r.error = "unknown option or command: " + platform::escapeDeviceText(a);
            return r;
        }
    }
    if (o.customSimulatedWorld()) o.simulate = true;
    const bool many = !o.scanTargets.empty() || !o.fleetTargets.empty();
    if (o.json && !o.history && !many) {
        r.error = "--json goes with --history, --scan or --fleet";
        return r;
    }
    if (!o.scanTargets.empty() && !o.fleetTargets.empty()) {
        r.error = "--scan and --fleet are runs of their own";
        return r;
    }
    const bool fleetOnly =
        o.image || o.canary || o.maxFailures || o.sameVersionFlash || o.uncheckedOk || o.logDir;
    if (fleetOnly && o.fleetTargets.empty()) {
        r.error =
            "--image, --canary, --max-failures, --same-version, --unchecked-ok and "
            "--log-dir go with --fleet";
        return r;
    }
    if ((o.port || o.parallel || o.verbose || !o.makers.empty()) && !many) {
        r.error = "--port, --parallel, --maker and --verbose go with --scan or --fleet";
        return r;
    }
    if (!o.fleetTargets.empty() && !o.image) {
        r.error = "--fleet needs --image FILE";
        return r;
    }
    if (o.keepBytes && !o.simulate) {
        r.error = "--keep-bytes goes with a simulated world (--simulate)";
        return r;
    }
    if (o.fast && !o.simulate) {
        r.error = "--fast needs a simulated world (--simulate): real printers need their pauses";
        return r;
    }
    if (!o.commands.empty()) o.console = true;
    return r;
}

}  // namespace kv::entry
