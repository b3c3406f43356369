#pragma once
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/PrintSpooler.h"

namespace kv::platform::sim {

// A spooler held in memory. It behaves like the CUPS one: switching a queue
// to the dummy port holds it (attribute kPrinterAttributeWorkOffline) unless
// it is stopped already, and pointing it back releases a hold this client
// placed or adopted. forgetHolds() stands for a new run of the program. Failure switches stand in for a
// spooler that has no queues, cannot be reached, will not open or change a
// queue, or sees a queue go offline between the listing and the switch.
class MemorySpooler final : public PrintSpooler {
public:
    explicit MemorySpooler(std::vector<QueueRecord> queues = {});

    // The queues of a demo: a KV queue with the driver "KV ZOW3004F PT" on a
    // USB printer, and an office printer with another driver on USB.
    static std::vector<QueueRecord> defaultWorld();

    Result<std::vector<QueueRecord>> enumerateLocal() override;
    Result<QueueHandle> open(const std::string& printerName) override;
    Result<QueueRecord> get(QueueHandle handle) override;
    Result<void> set(QueueHandle handle, const QueueRecord& record) override;
    void adoptHold(QueueHandle handle) override;
    void close(QueueHandle handle) override;

    void addQueue(QueueRecord record);
    std::optional<QueueRecord> queue(const std::string& printerName) const;
    std::vector<QueueRecord> queues() const;
    // Whether the queue is held by a switch (of this run or an earlier one).
    bool held(const std::string& printerName) const;
    // This client forgets which holds it placed, as a new run of the program would.
    void forgetHolds();

    // The listing reports no queues (the queues still exist for open/get/set).
    void setListEmpty(bool on);
    // Nothing answers: no listing (with a problem text), no open.
    void setUnreachable(bool on);
    // Listing throws std::bad_alloc, as when no memory is left for the records.
    void setListOutOfMemory(bool on);
    void setFailOpen(const std::string& printerName, bool on = true);
    void setRefuseSet(const std::string& printerName, bool on = true);
    // The queue reports itself offline from the moment it has been listed.
    void setGoOfflineAfterListing(const std::string& printerName, bool on = true);

    // Every accepted set, as "name -> port", in order.
    std::vector<std::string> writes() const;
    // Handles opened and not yet closed.
    size_t openHandles() const;

private:
    struct Queue {
        QueueRecord record;
        bool held = false;
    };
    Queue* find(const std::string& printerName);
    const Queue* find(const std::string& printerName) const;

    mutable std::mutex mutex_;
    std::vector<Queue> queues_;
    std::map<int64_t, std::string> handles_;
    int64_t nextHandle_ = 1;
    bool listEmpty_ = false;
    bool unreachable_ = false;
    bool listOutOfMemory_ = false;
    std::set<std::string> failOpen_;
    std::set<std::string> refuseSet_;
    std::set<std::string> goOffline_;
    std::set<std::string> clientHolds_;
    std::vector<std::string> writes_;
};

}  // namespace kv::platform::sim
