#include "platform/linux/CupsSpooler.h"

#include <cups/cups.h>
#include <sys/socket.h>

#include <array>
#include <vector>

namespace kv::platform::linux_impl {

namespace {

const char* declinePassword(const char*, http_t*, const char*, const char*, void*) {
    return nullptr;
}

constexpr std::array<const char*, 8> kRequested = {"printer-name",
                                                   "device-uri",
                                                   "printer-make-and-model",
                                                   "printer-state",
                                                   "printer-state-reasons",
                                                   "printer-state-message",
                                                   "printer-is-accepting-jobs",
                                                   "printer-type"};

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

Result<void> connectTo(Connection& c, const std::string& server, int timeoutMs) {
    // libcups keeps its settings per thread, so they are set on every call.
    cupsSetPasswordCB2(declinePassword, nullptr);
    if (!server.empty()) cupsSetServer(server.c_str());
    c.http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                          timeoutMs, nullptr);
    if (!c.http) return Failure{"the print scheduler at " + serverName() + " cannot be reached"};
    httpSetTimeout(c.http, timeoutMs / 1000.0, nullptr, nullptr);
    return {};
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

// The last request's refusal, if it was refused.
Result<void> answered(const std::string& what) {
    if (cupsLastError() <= IPP_STATUS_OK_CONFLICTING) return {};
    return Failure{what + ": " + cupsLastErrorString()};
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

Result<Printer> queryPrinter(Connection& c, const std::string& name) {
    ipp_t* request = printerRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
    requestAttributes(request);
    Response response(cupsDoRequest(c.http, request, "/"));
    if (auto ok = answered("queue " + name); !ok) return ok.failure();
    if (!response.ipp) return Failure{"queue " + name + ": no answer"};
    ipp_attribute_t* attr = ippFirstAttribute(response.ipp);
    while (attr && ippGetGroupTag(attr) != IPP_TAG_PRINTER) attr = ippNextAttribute(response.ipp);
    Printer p = readPrinter(response.ipp, attr);
    if (p.name.empty()) p.name = name;
    return p;
}

Result<void> adminRequest(Connection& c, ipp_t* request, const std::string& what) {
    Response response(cupsDoRequest(c.http, request, "/admin/"));
    return answered(what);
}

Result<void> pause(Connection& c, const std::string& name) {
    ipp_t* request = printerRequest(IPP_OP_PAUSE_PRINTER, name);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "printer-state-message", nullptr,
                 CupsSpooler::kHoldMessage);
    return adminRequest(c, request, "pausing " + name);
}

Result<void> resume(Connection& c, const std::string& name) {
    return adminRequest(c, printerRequest(IPP_OP_RESUME_PRINTER, name), "resuming " + name);
}

Result<void> setDeviceUri(Connection& c, const std::string& name, const std::string& uri) {
    ipp_t* request = printerRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, uri.c_str());
    return adminRequest(c, request, "changing the device of " + name);
}

}  // namespace

CupsSpooler::CupsSpooler(std::string server, int timeoutMs)
    : server_(std::move(server)), timeoutMs_(timeoutMs) {}

Result<std::vector<QueueRecord>> CupsSpooler::enumerateLocal() {
    Connection c;
    if (auto connected = connectTo(c, server_, timeoutMs_); !connected) return connected.failure();
    ipp_t* request = newRequest(IPP_OP_CUPS_GET_PRINTERS);
    requestAttributes(request);
    Response response(cupsDoRequest(c.http, request, "/"));
    std::vector<QueueRecord> queues;
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return queues;  // no queue at all
    if (auto ok = answered("listing the queues"); !ok) return ok.failure();
    if (!response.ipp) return queues;
    ipp_attribute_t* attr = ippFirstAttribute(response.ipp);
    while (attr) {
        if (ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
            attr = ippNextAttribute(response.ipp);
            continue;
        }
        const Printer p = readPrinter(response.ipp, attr);
        if (p.name.empty()) continue;
        if (p.type & (CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE | CUPS_PRINTER_IMPLICIT)) continue;
        queues.push_back(toRecord(p));
    }
    return queues;
}

Result<QueueHandle> CupsSpooler::open(const std::string& printerName) {
    Connection c;
    if (auto connected = connectTo(c, server_, timeoutMs_); !connected) return connected.failure();
    if (auto found = queryPrinter(c, printerName); !found) return found.failure();
    std::lock_guard lock(mutex_);
    const int64_t id = nextHandle_++;
    handles_[id] = printerName;
    return QueueHandle{id};
}

Result<std::string> CupsSpooler::nameOf(QueueHandle handle) {
    std::lock_guard lock(mutex_);
    const auto it = handles_.find(handle.value);
    if (it == handles_.end()) return Failure{"not an open queue"};
    return it->second;
}

Result<QueueRecord> CupsSpooler::get(QueueHandle handle) {
    const auto name = nameOf(handle);
    if (!name) return name.failure();
    Connection c;
    if (auto connected = connectTo(c, server_, timeoutMs_); !connected) return connected.failure();
    const auto p = queryPrinter(c, *name);
    if (!p) return p.failure();
    return toRecord(*p);
}

Result<void> CupsSpooler::set(QueueHandle handle, const QueueRecord& record) {
    const auto name = nameOf(handle);
    if (!name) return name.failure();

    std::string target;
    if (record.portName == kDummyPortName) {
        target = kDummyDeviceUri;
    } else if (!record.location.empty() && portForDeviceUri(record.location) == record.portName) {
        target = record.location;
    } else {
        return Failure{"the port " + record.portName + " of " + *name + " has no device URI"};
    }

    Connection c;
    if (auto connected = connectTo(c, server_, timeoutMs_); !connected) return connected;
    const auto current = queryPrinter(c, *name);
    if (!current) return current.failure();

    if (target == kDummyDeviceUri) {
        if (current->uri == kDummyDeviceUri) return {};
        const bool pauseIt = current->state != IPP_PSTATE_STOPPED;
        if (pauseIt) {
            if (auto paused = pause(c, *name); !paused) return paused;
        }
        if (auto changed = setDeviceUri(c, *name, target); !changed) {
            if (pauseIt) (void)resume(c, *name);
            return changed;
        }
        if (pauseIt) {
            std::lock_guard lock(mutex_);
            holds_.insert(*name);
        }
        return {};
    }
    if (current->uri != target) {
        if (auto changed = setDeviceUri(c, *name, target); !changed) return changed;
    }
    bool held = false;
    {
        std::lock_guard lock(mutex_);
        held = holds_.count(*name) > 0;
    }
    if (!held) return {};
    if (current->state == IPP_PSTATE_STOPPED) {
        if (auto resumed = resume(c, *name); !resumed) return resumed;
    }
    std::lock_guard lock(mutex_);
    holds_.erase(*name);
    return {};
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

}  // namespace kv::platform::linux_impl
