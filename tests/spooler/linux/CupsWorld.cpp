#include "tests/spooler/linux/CupsWorld.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <stdexcept>

#include "tests/support/Files.h"

namespace kv::testing {

namespace fs = std::filesystem;

namespace {

std::string randomSuffix() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::ostringstream s;
    s << std::hex << rd() << counter++;
    return s.str();
}

std::string trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

std::string percentEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool onPath(const std::string& tool) {
    return run("command -v " + tool + " || test -x /usr/sbin/" + tool).code == 0;
}

// Stands in for a local printer. With <queue>.block present it first waits
// (at most 10 s) for the file to go, so a test can catch a job mid-print.
// The output appears whole (rename), so a test never reads half a job.
constexpr const char* kBackend = R"(#!/bin/sh
[ $# -eq 0 ] && exit 0
out="@OUT@/$PRINTER"
echo started > "$out.started"
i=0
while [ -e "$out.block" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done
tmp="$out.part.$$"
{ [ -e "$out.out" ] && cat "$out.out"; echo "URI=$DEVICE_URI"; if [ -n "$6" ]; then cat "$6"; else cat; fi; } > "$tmp"
mv -f "$tmp" "$out.out"
)";

constexpr const char* kAttributesTest = R"({
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR keyword requested-attributes printer-state,printer-state-message,device-uri,printer-is-accepting-jobs
  STATUS successful-ok
  DISPLAY printer-state
  DISPLAY printer-state-message
  DISPLAY device-uri
  DISPLAY printer-is-accepting-jobs
}
)";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

std::string shellWord(const std::string& text) {
    return "'" + replaceAll(text, "'", "'\\''") + "'";
}

RunResult run(const std::string& command, int timeoutSeconds) {
    const fs::path base = fs::temp_directory_path() / ("kvtest-run-" + randomSuffix());
    const std::string out = base.string() + ".out";
    const std::string err = base.string() + ".err";
    const std::string rc = base.string() + ".rc";
    const std::string line = "timeout " + std::to_string(timeoutSeconds) + " sh -c " +
                             shellWord(command) + " >" + out + " 2>" + err +
                             " </dev/null; echo $? >" + rc;
    RunResult result;
    if (std::system(line.c_str()) == -1) return result;
    result.out = readFile(out);
    result.err = readFile(err);
    const std::string code = trim(readFile(rc));
    result.code = code.empty() ? -1 : std::atoi(code.c_str());
    std::error_code ignored;
    for (const std::string& f : {out, err, rc}) fs::remove(f, ignored);
    return result;
}

std::optional<std::string> CupsWorld::missingTools() {
    for (const char* tool : {"cupsd", "lpadmin", "lpstat", "lp", "cupsdisable", "cupsreject",
                             "ipptool", "cancel", "timeout"}) {
        if (!onPath(tool)) {
            return std::string(tool) +
                   " is not installed (Debian packages cups-daemon, cups-client, cups-ipp-utils)";
        }
    }
    return std::nullopt;
}

CupsWorld::CupsWorld() {
    fs::path base = fs::temp_directory_path();
    // A Unix socket path must stay short.
    if (base.string().size() > 40) base = "/tmp";
    fs::path root;
    do {
        root = base / ("kvflash-cups-" + randomSuffix());
    } while (!fs::create_directory(root));
    root_ = root.string();
    socket_ = root_ + "/cups.sock";
    // The scheduler drops to the lp user for some work; it must see in.
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    for (const char* dir : {"etc", "state", "cache", "spool", "spool/tmp", "log", "bin",
                            "bin/backend", "ppd", "out"}) {
        fs::create_directories(root / dir);
    }

    std::string serverBin = trim(run("cups-config --serverbin 2>/dev/null").out);
    if (serverBin.empty() || !fs::exists(serverBin)) serverBin = "/usr/lib/cups";
    for (const char* dir : {"driver", "daemon", "monitor", "notifier", "cgi-bin"}) {
        std::error_code ignored;
        if (fs::exists(fs::path(serverBin) / dir)) {
            fs::create_directory_symlink(fs::path(serverBin) / dir, root / "bin" / dir, ignored);
        }
    }
    // A stand-in backend for every scheme the queues use, so the scheduler
    // takes them whatever backends this machine has (no job goes to the
    // network queue).
    for (const char* scheme : {"usb", "parallel", "socket"}) {
        const fs::path script = root / "bin/backend" / scheme;
        writeFile(script, replaceAll(kBackend, "@OUT@", root_ + "/out"));
        // Owner-only: the scheduler runs such a backend as root.
        fs::permissions(script, fs::perms::owner_all);
    }
    // Jobs here are raw; a queue with a PPD still wants the command filter,
    // which only the full "cups" package brings.
    fs::create_directory(root / "bin/filter");
    const fs::path commandFilter = root / "bin/filter/commandtops";
    writeFile(commandFilter, "#!/bin/sh\ncat >/dev/null\n");
    fs::permissions(commandFilter, fs::perms::owner_all);
    writeFile(root / "ipp-attributes.test", kAttributesTest);

    writeFile(root / "etc/cups-files.conf", "ServerRoot " + root_ +
                                                "/etc\n"
                                                "StateDir " +
                                                root_ +
                                                "/state\n"
                                                "CacheDir " +
                                                root_ +
                                                "/cache\n"
                                                "RequestRoot " +
                                                root_ +
                                                "/spool\n"
                                                "TempDir " +
                                                root_ +
                                                "/spool/tmp\n"
                                                "ServerBin " +
                                                root_ +
                                                "/bin\n"
                                                "AccessLog " +
                                                root_ +
                                                "/log/access_log\n"
                                                "ErrorLog " +
                                                root_ +
                                                "/log/error_log\n"
                                                "PageLog " +
                                                root_ +
                                                "/log/page_log\n"
                                                "SystemGroup root\n");
    // Administrative operations need a member of @SYSTEM, as on a real
    // machine; root on the Unix socket is one by its peer credentials.
    writeFile(
        root / "etc/cupsd.conf",
        "Listen " + socket_ +
            "\n"
            "Browsing No\n"
            "BrowseLocalProtocols none\n"
            "WebInterface No\n"
            "DefaultAuthType Basic\n"
            "LogLevel info\n"
            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Policy default>\n"
            "  <Limit CUPS-Add-Modify-Printer CUPS-Delete-Printer Pause-Printer Resume-Printer "
            "Enable-Printer Disable-Printer CUPS-Accept-Jobs CUPS-Reject-Jobs>\n"
            "    AuthType Default\n    Require user @SYSTEM\n    Order deny,allow\n"
            "  </Limit>\n"
            "  <Limit All>\n    Order deny,allow\n  </Limit>\n"
            "</Policy>\n");

    // Without -f the command returns once the scheduler listens.
    const RunResult started =
        run("cupsd -c " + root_ + "/etc/cupsd.conf -s " + root_ + "/etc/cups-files.conf");
    pid_ = trim(readFile(root / "state/cupsd.pid"));
    running_ = started.code == 0 && !pid_.empty();
    if (!running_) {
        startError_ = "cupsd did not start (exit " + std::to_string(started.code) +
                      "): " + started.out + started.err + readFile(root / "log/error_log");
    }
}

CupsWorld::~CupsWorld() {
    stop();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void CupsWorld::stop() {
    if (pid_.empty()) return;
    // A graceful stop saves its state within milliseconds and removes the
    // pid file, then idles for about two seconds; the kill skips that idling.
    const std::string pidFile = root_ + "/state/cupsd.pid";
    run("kill -TERM " + pid_ + "; while [ -e " + pidFile + " ]; do sleep 0.01; done", 5);
    run("kill -KILL " + pid_ + " 2>/dev/null; while kill -0 " + pid_ +
            " 2>/dev/null && ! grep -q ') Z' /proc/" + pid_ +
            "/stat 2>/dev/null; do sleep 0.01; done",
        5);
    pid_.clear();
    running_ = false;
}

std::string CupsWorld::outFile(const std::string& queue) const {
    return root_ + "/out/" + queue + ".out";
}

std::string CupsWorld::env() const { return "CUPS_SERVER=" + socket_ + " "; }

std::string CupsWorld::ppdFor(const std::string& nickName) {
    auto it = ppds_.find(nickName);
    if (it != ppds_.end()) return it->second;
    const std::string path = root_ + "/ppd/driver" + std::to_string(ppds_.size()) + ".ppd";
    writeFile(path,
              "*PPD-Adobe: \"4.3\"\n"
              "*FormatVersion: \"4.3\"\n"
              "*FileVersion: \"1.0\"\n"
              "*LanguageVersion: English\n"
              "*LanguageEncoding: ISOLatin1\n"
              "*PCFileName: \"KVTEST.PPD\"\n"
              "*Manufacturer: \"Test\"\n"
              "*Product: \"(Test)\"\n"
              "*ModelName: \"" +
                  nickName +
                  "\"\n"
                  "*ShortNickName: \"" +
                  nickName +
                  "\"\n"
                  "*NickName: \"" +
                  nickName +
                  "\"\n"
                  "*PSVersion: \"(3010.000) 0\"\n"
                  "*LanguageLevel: \"3\"\n"
                  "*ColorDevice: False\n"
                  "*DefaultColorSpace: Gray\n"
                  "*FileSystem: False\n"
                  "*Throughput: \"1\"\n"
                  "*OpenUI *PageSize: PickOne\n"
                  "*DefaultPageSize: Letter\n"
                  "*PageSize Letter: \"\"\n"
                  "*CloseUI: *PageSize\n"
                  "*DefaultImageableArea: Letter\n"
                  "*ImageableArea Letter: \"0 0 612 792\"\n"
                  "*DefaultPaperDimension: Letter\n"
                  "*PaperDimension Letter: \"612 792\"\n");
    ppds_[nickName] = path;
    return path;
}

void CupsWorld::resetQueues() {
    run(env() + "cancel -a -x; for q in $(lpstat -e); do lpadmin -x \"$q\"; done; rm -f " + root_ +
        "/out/*");
    const std::string kv = ppdFor("KV ZOW3004F PT");
    // -E after the name enables the queue (before it, it asks for encryption).
    const std::string add = env() + "lpadmin -p ";
    const std::string script =
        add + "kv_usb -E -v 'usb://KV/ZOW3004F%20PT?serial=1001' -P " + kv + " && " + add +
        "kv_lpt -E -v parallel:/dev/lp0 -P " + ppdFor("KV ZOR12A PT") + " && " + add +
        "kv_net -E -v socket://192.0.2.7:9100 -P " + kv + " && " + add +
        "acme_usb -E -v 'usb://Acme/LaserJet%209?serial=2002' -P " + ppdFor("Acme LaserJet 9") +
        " && " + add + "excluded_usb -E -v 'usb://KV/ZOR12A?serial=3003' -P " +
        ppdFor("KV ZOR12A") + " && " + add +
        "paused_usb -E -v 'usb://KV/ZOW3004F?serial=4004' -P " + kv + " && " + env() +
        "cupsdisable -r 'Paused by the technician' paused_usb && " + add +
        "rejecting_lpt -E -v parallel:/dev/lp1 -P " + kv + " && " + env() +
        "cupsreject rejecting_lpt && " + add + "raw_usb -E -v 'usb://KV/Raw?serial=5005' -m raw";
    const RunResult r = run(script);
    if (r.code != 0) throw std::runtime_error("setting up the queues failed: " + r.err);
}

std::map<std::string, std::string> CupsWorld::devices() {
    std::map<std::string, std::string> result;
    // "device for NAME: URI"
    for (const std::string& line : lines(run(env() + "lpstat -v").out)) {
        const std::string prefix = "device for ";
        const size_t colon = line.find(": ");
        if (line.rfind(prefix, 0) != 0 || colon == std::string::npos) continue;
        result[line.substr(prefix.size(), colon - prefix.size())] = line.substr(colon + 2);
    }
    return result;
}

CupsWorld::QueueState CupsWorld::ipp(const std::string& queue) {
    const RunResult r = run("ipptool -c ipp://" + percentEncode(socket_) + "/printers/" + queue +
                            " " + root_ + "/ipp-attributes.test");
    QueueState s;
    std::istringstream lines(r.out);
    std::string header;
    std::string values;
    std::getline(lines, header);
    std::getline(lines, values);
    const auto names = splitCsv(header);
    const auto fields = splitCsv(values);
    for (size_t i = 0; i < names.size() && i < fields.size(); ++i) {
        if (names[i] == "printer-state") s.state = fields[i];
        if (names[i] == "printer-state-message") s.message = fields[i];
        if (names[i] == "device-uri") s.uri = fields[i];
        if (names[i] == "printer-is-accepting-jobs") s.accepting = fields[i] == "true";
    }
    return s;
}

std::vector<std::string> CupsWorld::pendingJobs(const std::string& queue) {
    std::vector<std::string> ids;
    for (const std::string& line : lines(run(env() + "lpstat -o " + queue).out)) {
        const std::string id = line.substr(0, line.find(' '));
        if (!id.empty()) ids.push_back(id);
    }
    return ids;
}

bool CupsWorld::waitForFile(const std::string& path, int timeoutSeconds) {
    return run("until [ -s " + path + " ]; do sleep 0.02; done", timeoutSeconds).code == 0;
}

}  // namespace kv::testing
