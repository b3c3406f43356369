#pragma once
#include <map>
#include <mutex>
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
// the queue keeps every job until it is pointed back and resumed. The pause
// carries kHoldMessage as its state message, which is how a later restore,
// by this or another run, knows the pause is ours to lift.
//
// Never asks for a password: a request that needs one fails. A scheduler
// that cannot be reached lists no queues.
class CupsSpooler final : public PrintSpooler {
public:
    static constexpr const char* kHoldMessage = "Held by kvflash while a KV printer is updated";

    // timeoutMs bounds every connection and every request.
    explicit CupsSpooler(int timeoutMs = 10000);

    QueueList enumerateLocal() override;
    QueueHandle open(const std::string& printerName) override;
    std::optional<QueueRecord> get(QueueHandle handle) override;
    bool set(QueueHandle handle, const QueueRecord& record) override;
    void close(QueueHandle handle) override;
    std::string lastProblem() override;

private:
    std::optional<std::string> nameOf(QueueHandle handle);

    int timeoutMs_;
    std::mutex mutex_;
    std::map<int64_t, std::string> handles_;
    int64_t nextHandle_ = 1;
};

}  // namespace kv::platform::linux_impl
