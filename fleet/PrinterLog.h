#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fleet/PrinterSlot.h"
#include "fleet/Targets.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/Trace.h"

namespace kv::fleet {

class PrinterLog;

// The run's one writer of the printers' files under --log-dir. The printers'
// worlds hand it lines through a bounded queue and never wait for the disk:
// a line that finds the queue full is dropped and counted, and the count
// goes into that printer's file where the lines went missing. A file holds
// at most kMaxBytes; past that lines are only counted, and the count is its
// last line.
class LogWriter {
public:
    static constexpr uint64_t kMaxBytes = 1024 * 1024;
    static constexpr size_t kQueueLines = 4096;
    static constexpr size_t kMaxLineBytes = 1024;  // a longer line is cut
    // How long the end of the run waits for a disk that takes nothing.
    static constexpr uint32_t kDrainMs = 10000;

    LogWriter(platform::FileWriter& files, platform::Trace& trace, std::string folder,
              std::string fleetId, size_t queueLines = kQueueLines);
    // Writes what is queued, waiting at most kDrainMs; a disk that takes
    // longer is left to its thread, which then touches nothing of the run.
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // A printer's file, `folder`/A.B.C.D_PORT-FLEETID.log, created by the
    // writer (a failure is traced), `header` first. Each line is stamped
    // with the milliseconds on `clock` since `runStartMs`.
    std::unique_ptr<PrinterLog> open(const Endpoint& endpoint,
                                     const std::vector<std::string>& header, platform::Clock& clock,
                                     uint64_t runStartMs);

    struct Queue;
    struct File;

private:
    std::shared_ptr<Queue> queue_;
    std::thread thread_;
    const std::string folder_;
    const std::string fleetId_;
};

// One printer's log: its trace lines, and its phases and boxes as its slot
// tells them, in the order they came. Closed (the drop counts written) when
// it goes.
class PrinterLog final : public SlotListener {
public:
    PrinterLog(std::shared_ptr<LogWriter::Queue> queue, std::shared_ptr<LogWriter::File> file,
               platform::Clock& clock, uint64_t runStartMs);
    ~PrinterLog() override;
    PrinterLog(const PrinterLog&) = delete;
    PrinterLog& operator=(const PrinterLog&) = delete;

    // Never waits.
    void write(std::string_view line);
    void phaseEvent(const PhaseEvent& event) override;
    void box(const std::string& text) override;

private:
    std::shared_ptr<LogWriter::Queue> queue_;
    std::shared_ptr<LogWriter::File> file_;
    platform::Clock& clock_;
    const uint64_t runStartMs_;
};

// Makes `folder` (and its parents) and creates a probe file in it as the
// logs will be created, so a folder that cannot hold them is refused before
// any printer is touched. Empty when it can; otherwise why not.
std::string prepareLogFolder(platform::FileWriter& files, const std::string& folder);

}  // namespace kv::fleet
