#include "platform/sim/MemorySpooler.h"

#include <algorithm>
#include <new>

namespace kv::platform::sim {

namespace {
constexpr const char* kUnreachable = "the simulated spooler is not reachable";

QueueRecord usbQueue(std::string name, std::string driver, std::string uri) {
    QueueRecord r;
    r.printerName = std::move(name);
    r.driverName = std::move(driver);
    r.portName = portForDeviceUri(uri);
    r.location = std::move(uri);
    return r;
}
}  // namespace

MemorySpooler::MemorySpooler(std::vector<QueueRecord> queues) {
    for (QueueRecord& r : queues) queues_.push_back({std::move(r), false});
}

std::vector<QueueRecord> MemorySpooler::defaultWorld() {
    return {usbQueue("KV_ZOW3004F", "KV ZOW3004F PT", "usb://KV/ZOW3004F%20PT?serial=SIM0001"),
            usbQueue("Office_Laser", "Acme LaserJet 9 Foomatic",
                     "usb://Acme/LaserJet%209?serial=SIM0002")};
}

MemorySpooler::Queue* MemorySpooler::find(const std::string& printerName) {
    for (Queue& q : queues_) {
        if (q.record.printerName == printerName) return &q;
    }
    return nullptr;
}

const MemorySpooler::Queue* MemorySpooler::find(const std::string& printerName) const {
    return const_cast<MemorySpooler*>(this)->find(printerName);
}

Result<std::vector<QueueRecord>> MemorySpooler::enumerateLocal() {
    std::lock_guard lock(mutex_);
    if (listOutOfMemory_) throw std::bad_alloc();
    if (unreachable_) return Failure{kUnreachable};
    std::vector<QueueRecord> listed;
    if (listEmpty_) return listed;
    for (Queue& q : queues_) {
        listed.push_back(q.record);
        if (goOffline_.count(q.record.printerName)) q.record.status |= kPrinterStatusOffline;
    }
    return listed;
}

Result<QueueHandle> MemorySpooler::open(const std::string& printerName) {
    std::lock_guard lock(mutex_);
    if (unreachable_) return Failure{kUnreachable};
    if (failOpen_.count(printerName)) return Failure{"open refused by a test switch"};
    if (!find(printerName)) return Failure{"no queue named " + printerName};
    const int64_t id = nextHandle_++;
    handles_[id] = printerName;
    return QueueHandle{id};
}

Result<QueueRecord> MemorySpooler::get(QueueHandle handle) {
    std::lock_guard lock(mutex_);
    const auto h = handles_.find(handle.value);
    const Queue* q = h == handles_.end() ? nullptr : find(h->second);
    if (!q) return Failure{"not an open queue"};
    return q->record;
}

Result<void> MemorySpooler::set(QueueHandle handle, const QueueRecord& record) {
    std::lock_guard lock(mutex_);
    const auto h = handles_.find(handle.value);
    Queue* q = h == handles_.end() ? nullptr : find(h->second);
    if (!q) return Failure{"not an open queue"};
    if (refuseSet_.count(q->record.printerName)) return Failure{"change refused by a test switch"};
    const std::string& name = q->record.printerName;
    if (record.portName == kDummyPortName) {
        if (q->record.portName != kDummyPortName &&
            !(q->record.attributes & kPrinterAttributeWorkOffline)) {
            q->held = true;
            q->record.attributes |= kPrinterAttributeWorkOffline;
            clientHolds_.insert(name);
        }
        q->record.portName = std::string(kDummyPortName);
        q->record.location = std::string(kDummyDeviceUri);
    } else {
        q->record.portName = record.portName;
        q->record.location = record.location;
        if (clientHolds_.erase(name)) {
            q->held = false;
            q->record.attributes &= ~kPrinterAttributeWorkOffline;
        }
    }
    writes_.push_back(q->record.printerName + " -> " + q->record.portName);
    return {};
}

void MemorySpooler::adoptHold(QueueHandle handle) {
    std::lock_guard lock(mutex_);
    const auto h = handles_.find(handle.value);
    if (h != handles_.end()) clientHolds_.insert(h->second);
}

void MemorySpooler::forgetHolds() {
    std::lock_guard lock(mutex_);
    clientHolds_.clear();
}

void MemorySpooler::close(QueueHandle handle) {
    std::lock_guard lock(mutex_);
    handles_.erase(handle.value);
}

void MemorySpooler::addQueue(QueueRecord record) {
    std::lock_guard lock(mutex_);
    queues_.push_back({std::move(record), false});
}

std::optional<QueueRecord> MemorySpooler::queue(const std::string& printerName) const {
    std::lock_guard lock(mutex_);
    const Queue* q = find(printerName);
    if (!q) return std::nullopt;
    return q->record;
}

std::vector<QueueRecord> MemorySpooler::queues() const {
    std::lock_guard lock(mutex_);
    std::vector<QueueRecord> out;
    for (const Queue& q : queues_) out.push_back(q.record);
    return out;
}

bool MemorySpooler::held(const std::string& printerName) const {
    std::lock_guard lock(mutex_);
    const Queue* q = find(printerName);
    return q && q->held;
}

void MemorySpooler::setListEmpty(bool on) {
    std::lock_guard lock(mutex_);
    listEmpty_ = on;
}

void MemorySpooler::setUnreachable(bool on) {
    std::lock_guard lock(mutex_);
    unreachable_ = on;
}

void MemorySpooler::setListOutOfMemory(bool on) {
    std::lock_guard lock(mutex_);
    listOutOfMemory_ = on;
}

namespace {
void toggle(std::set<std::string>& names, const std::string& name, bool on) {
    if (on) {
        names.insert(name);
    } else {
        names.erase(name);
    }
}
}  // namespace

void MemorySpooler::setFailOpen(const std::string& printerName, bool on) {
    std::lock_guard lock(mutex_);
    toggle(failOpen_, printerName, on);
}

void MemorySpooler::setRefuseSet(const std::string& printerName, bool on) {
    std::lock_guard lock(mutex_);
    toggle(refuseSet_, printerName, on);
}

void MemorySpooler::setGoOfflineAfterListing(const std::string& printerName, bool on) {
    std::lock_guard lock(mutex_);
    toggle(goOffline_, printerName, on);
}

std::vector<std::string> MemorySpooler::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

size_t MemorySpooler::openHandles() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

}  // namespace kv::platform::sim
