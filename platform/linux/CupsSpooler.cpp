#include "platform/linux/CupsSpooler.h"

#include <cups/cups.h>
#include <sys/socket.h>

#include <array>
#include <vector>

namespace kv::platform::linux_impl {

namespace {

thread_local std::string problemText;

const char* declinePassword(const char*, http_t*, const char*, const char*, void*) {
    return nullptr;
}

constexpr std::array<const char*, 8> kRequested = {
    "printer-name",          "device-uri",          "printer-make-and-model",
    "printer-state",         "printer-state-reasons", "printer-state-message",
    "printer-is-accepting-jobs", "printer-type"};

struct Printer {
    std::string name;
    std::string uri;
    std::string makeAndModel;
    std::string stateMessage;
    int state = IPP_PSTATE_IDLE;
    bool accepting = true;
    int type = 0;
    std::vector<std::string> reasons;
};

struct Connection {
    http_t* http = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (http) httpClose(http);
    }
};

struct Response {
    ipp_t* ipp = nullptr;
    explicit Response(ipp_t* p) : ipp(p) {}
    Response(const Response&) = delete;
    Response& operator=(const Response&) = delete;
    ~Response() { ippDelete(ipp); }
};

std::string serverName() {
    const char* server = cupsServer();
    return server ? server : "(none)";
}

bool connectTo(Connection& c, const std::string& server, int timeoutMs) {
    // libcups keeps its settings per thread, so they are set on every call.
    cupsSetPasswordCB2(declinePassword, nullptr);
    if (!server.empty()) cupsSetServer(server.c_str());
    c.http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                          timeoutMs, nullptr);
    if (!c.http) {
        problemText = "the print scheduler at " + serverName() + " cannot be reached";
        return false;
    }
    httpSetTimeout(c.http, timeoutMs / 1000.0, nullptr, nullptr);
    return true;
}

ipp_t* newRequest(ipp_op_t op) {
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

ipp_t* printerRequest(ipp_op_t op, const std::string& name) {
    ipp_t* request = ippNewRequest(op);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", name.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

void requestAttributes(ipp_t* request) {
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(kRequested.size()), nullptr, kRequested.data());
}

bool failed(const std::string& what) {
    if (cupsLastError() <= IPP_STATUS_OK_CONFLICTING) return false;
    problemText = what + ": " + cupsLastErrorString();
    return true;
}

std::string text(ipp_attribute_t* attr) {
    const char* value = ippGetString(attr, 0, nullptr);
    return value ? value : "";
}

// Reads one printer's attributes, from attr to the end of its group.
Printer readPrinter(ipp_t* response, ipp_attribute_t*& attr) {
    Printer p;
    for (; attr && ippGetGroupTag(attr) == IPP_TAG_PRINTER; attr = ippNextAttribute(response)) {
        const char* name = ippGetName(attr);
        if (!name) continue;
        const std::string key = name;
        if (key == "printer-name") {
            p.name = text(attr);
        } else if (key == "device-uri") {
            p.uri = text(attr);
        } else if (key == "printer-make-and-model") {
            p.makeAndModel = text(attr);
        } else if (key == "printer-state-message") {
            p.stateMessage = text(attr);
        } else if (key == "printer-state") {
            p.state = ippGetInteger(attr, 0);
        } else if (key == "printer-is-accepting-jobs") {
            p.accepting = ippGetBoolean(attr, 0) != 0;
        } else if (key == "printer-type") {
            p.type = ippGetInteger(attr, 0);
        } else if (key == "printer-state-reasons") {
            for (int i = 0; i < ippGetCount(attr); ++i) {
                const char* reason = ippGetString(attr, i, nullptr);
                if (reason) p.reasons.emplace_back(reason);
            }
        }
    }
    return p;
}

bool isOfflineReason(const std::string& reason) {
    std::string base = reason;
    for (const char* suffix : {"-report", "-warning", "-error"}) {
        const std::string s = suffix;
        if (base.size() > s.size() && base.compare(base.size() - s.size(), s.size(), s) == 0) {
            base.resize(base.size() - s.size());
            break;
        }
    }
    return base == "offline";
}

QueueRecord toRecord(const Printer& p) {
    QueueRecord r;
    r.printerName = p.name;
    r.location = p.uri;
    r.portName = portForDeviceUri(p.uri);
    r.driverName = p.makeAndModel;
    for (const std::string& reason : p.reasons) {
        if (isOfflineReason(reason)) r.status |= kPrinterStatusOffline;
    }
    if (p.state == IPP_PSTATE_STOPPED || !p.accepting) r.attributes |= kPrinterAttributeWorkOffline;
    return r;
}

std::optional<Printer> queryPrinter(Connection& c, const std::string& name) {
    ipp_t* request = printerRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
    requestAttributes(request);
    Response response(cupsDoRequest(c.http, request, "/"));
    if (failed("queue " + name) || !response.ipp) return std::nullopt;
    ipp_attribute_t* attr = ippFirstAttribute(response.ipp);
    while (attr && ippGetGroupTag(attr) != IPP_TAG_PRINTER) attr = ippNextAttribute(response.ipp);
    Printer p = readPrinter(response.ipp, attr);
    if (p.name.empty()) p.name = name;
    return p;
}

bool adminRequest(Connection& c, ipp_t* request, const std::string& what) {
    Response response(cupsDoRequest(c.http, request, "/admin/"));
    return !failed(what);
}

bool pause(Connection& c, const std::string& name) {
    ipp_t* request = printerRequest(IPP_OP_PAUSE_PRINTER, name);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "printer-state-message", nullptr,
                 CupsSpooler::kHoldMessage);
    return adminRequest(c, request, "pausing " + name);
}

bool resume(Connection& c, const std::string& name) {
    return adminRequest(c, printerRequest(IPP_OP_RESUME_PRINTER, name), "resuming " + name);
}

bool setDeviceUri(Connection& c, const std::string& name, const std::string& uri) {
    ipp_t* request = printerRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, uri.c_str());
    return adminRequest(c, request, "changing the device of " + name);
}

}  // namespace

CupsSpooler::CupsSpooler(std::string server, int timeoutMs)
    : server_(std::move(server)), timeoutMs_(timeoutMs) {}

QueueList CupsSpooler::enumerateLocal() {
    QueueList list;
    Connection c;
    if (!connectTo(c, server_, timeoutMs_)) {
        list.problem = problemText;
        return list;
    }
    ipp_t* request = newRequest(IPP_OP_CUPS_GET_PRINTERS);
    requestAttributes(request);
    Response response(cupsDoRequest(c.http, request, "/"));
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return list;  // no queue at all
    if (failed("listing the queues") || !response.ipp) {
        list.problem = problemText;
        return list;
    }
    ipp_attribute_t* attr = ippFirstAttribute(response.ipp);
    while (attr) {
        if (ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
            attr = ippNextAttribute(response.ipp);
            continue;
        }
        const Printer p = readPrinter(response.ipp, attr);
        if (p.name.empty()) continue;
        if (p.type & (CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE | CUPS_PRINTER_IMPLICIT)) continue;
        list.queues.push_back(toRecord(p));
    }
    return list;
}

QueueHandle CupsSpooler::open(const std::string& printerName) {
    Connection c;
    if (!connectTo(c, server_, timeoutMs_) || !queryPrinter(c, printerName)) return {};
    std::lock_guard lock(mutex_);
    const int64_t id = nextHandle_++;
    handles_[id] = printerName;
    return QueueHandle{id};
}

std::optional<std::string> CupsSpooler::nameOf(QueueHandle handle) {
    std::lock_guard lock(mutex_);
    const auto it = handles_.find(handle.value);
    if (it == handles_.end()) {
        problemText = "not an open queue";
        return std::nullopt;
    }
    return it->second;
}

std::optional<QueueRecord> CupsSpooler::get(QueueHandle handle) {
    const auto name = nameOf(handle);
    if (!name) return std::nullopt;
    Connection c;
    if (!connectTo(c, server_, timeoutMs_)) return std::nullopt;
    const auto p = queryPrinter(c, *name);
    if (!p) return std::nullopt;
    return toRecord(*p);
}

bool CupsSpooler::set(QueueHandle handle, const QueueRecord& record) {
    const auto name = nameOf(handle);
    if (!name) return false;

    std::string target;
    if (record.portName == kDummyPortName) {
        target = kDummyDeviceUri;
    } else if (!record.location.empty() && portForDeviceUri(record.location) == record.portName) {
        target = record.location;
    } else {
        problemText = "the port " + record.portName + " of " + *name + " has no device URI";
        return false;
    }

    Connection c;
    if (!connectTo(c, server_, timeoutMs_)) return false;
    const auto current = queryPrinter(c, *name);
    if (!current) return false;

    if (target == kDummyDeviceUri) {
        if (current->uri == kDummyDeviceUri) return true;
        const bool pauseIt = current->state != IPP_PSTATE_STOPPED;
        if (pauseIt && !pause(c, *name)) return false;
        if (!setDeviceUri(c, *name, target)) {
            const std::string why = problemText;
            if (pauseIt) resume(c, *name);
            problemText = why;
            return false;
        }
        if (pauseIt) {
            std::lock_guard lock(mutex_);
            holds_.insert(*name);
        }
        return true;
    }
    if (current->uri != target && !setDeviceUri(c, *name, target)) return false;
    bool held = false;
    {
        std::lock_guard lock(mutex_);
        held = holds_.count(*name) > 0;
    }
    if (!held) return true;
    if (current->state == IPP_PSTATE_STOPPED && !resume(c, *name)) return false;
    std::lock_guard lock(mutex_);
    holds_.erase(*name);
    return true;
}

void CupsSpooler::adoptHold(QueueHandle handle) {
    const auto name = nameOf(handle);
    if (!name) return;
    std::lock_guard lock(mutex_);
    holds_.insert(*name);
}

void CupsSpooler::close(QueueHandle handle) {
    std::lock_guard lock(mutex_);
    handles_.erase(handle.value);
}

std::string CupsSpooler::lastProblem() { return problemText; }

}  // namespace kv::platform::linux_impl
