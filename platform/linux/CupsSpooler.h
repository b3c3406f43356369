#pragma once
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/PrintSpooler.h"

namespace kv::platform::linux_impl {

// The local CUPS scheduler through libcups, at the server libcups names
// (CUPS_SERVER, client.conf, else the local default).
//
// A queue's driver name is its printer-make-and-model; its port is its
// device URI as portForDeviceUri shows it. Status bit kPrinterStatusOffline
// stands for the state reason "offline-report" (or another "offline"
// reason); attribute kPrinterAttributeWorkOffline for a stopped queue or one
// not accepting jobs.
//
// Switching a queue to the dummy port pauses it first and then points it at
// file:/dev/null: changing the device of a queue that is printing would
// send the job being printed to the new device, where it is lost. Paused,
// the queue keeps every job until it is pointed back and resumed. Only a
// pause this object made (or adopted from a journal) is lifted: the queue's
// state message cannot tell, since the scheduler rewrites it when the job
// the pause stopped ends. The pause shows kHoldMessage to whoever looks.
//
// Never asks for a password: a request that needs one fails. A scheduler
// that cannot be reached lists no queues.
class CupsSpooler final : public PrintSpooler {
public:
    static constexpr const char* kHoldMessage = "Held by kvflash while a KV printer is updated";

    // server: a host name or a socket path; empty for libcups' own choice.
    // timeoutMs bounds every connection and every request.
    explicit CupsSpooler(std::string server = {}, int timeoutMs = 10000);

    Result<std::vector<QueueRecord>> enumerateLocal() override;
    Result<QueueHandle> open(const std::string& printerName) override;
    Result<QueueRecord> get(QueueHandle handle) override;
    Result<void> set(QueueHandle handle, const QueueRecord& record) override;
    void adoptHold(QueueHandle handle) override;
    void close(QueueHandle handle) override;

private:
    Result<std::string> nameOf(QueueHandle handle);

    std::string server_;
    int timeoutMs_;
    std::mutex mutex_;
    std::map<int64_t, std::string> handles_;
    // Queues paused by a switch, to be resumed when pointed back.
    std::set<std::string> holds_;
    int64_t nextHandle_ = 1;
};

}  // namespace kv::platform::linux_impl
