#include "fleet/PrinterLog.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace kv::fleet {

// One printer's file. The writer thread alone touches the file and its
// sizes; the counts of dropped lines are kept under the queue's lock.
struct LogWriter::File {
    std::string path;
    std::string name;  // the printer, for the trace
    std::unique_ptr<platform::WritableFile> out;
    uint64_t written = 0;
    uint64_t overflow = 0;  // lines past kMaxBytes
    uint64_t gap = 0;       // lines dropped since the last one queued
};

struct LogWriter::Queue {
    enum class Kind { Open, Line, Close };
    struct Entry {
        Kind kind;
        std::shared_ptr<File> file;
        std::string text;
        uint64_t droppedBefore = 0;
    };

    Queue(platform::FileWriter& files, platform::Trace& trace, size_t capacity)
        : files(files), trace(trace), capacity(capacity) {}

    // Opens and closes are not counted against the bound: each printer has
    // one of each.
    void post(Entry entry) {
        {
            std::lock_guard lock(mutex);
            if (abandoned) return;
            if (entry.kind == Kind::Line) {
                if (lines >= capacity) {
                    ++entry.file->gap;
                    return;
                }
                ++lines;
            }
            if (entry.kind != Kind::Open) entry.droppedBefore = std::exchange(entry.file->gap, 0);
            entries.push_back(std::move(entry));
        }
        wake.notify_one();
    }

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return !entries.empty() || stopping || abandoned; });
            if (abandoned || entries.empty()) break;
            Entry entry = std::move(entries.front());
            entries.pop_front();
            if (entry.kind == Kind::Line) --lines;
            lock.unlock();
            carryOut(entry);
            lock.lock();
        }
        done = true;
        drained.notify_all();
    }

    void carryOut(Entry& entry) {
        File& file = *entry.file;
        if (entry.kind == Kind::Open) {
            auto created = files.createNew(file.path);
            if (!created) {
                trace.write(file.name + ": Fleet log - not kept: " + file.path + ": " +
                            created.reason());
                return;
            }
            file.out = std::move(*created);
        }
        if (entry.droppedBefore > 0) {
            append(file, "(" + std::to_string(entry.droppedBefore) +
                             " lines dropped here: the disk did not keep up)\n");
        }
        if (!entry.text.empty()) append(file, entry.text);
        if (entry.kind == Kind::Close) {
            // Past the bound if need be: the count is the last word.
            if (file.overflow > 0) {
                writeOut(file, "(" + std::to_string(file.overflow) +
                                   " more lines not kept: the log is full)\n");
            }
            file.out.reset();
        }
    }

    // `text` is whole lines; those that would pass kMaxBytes are counted.
    void append(File& file, const std::string& text) {
        if (!file.out) return;
        if (file.written + text.size() > kMaxBytes) {
            file.overflow += static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
            return;
        }
        file.written += text.size();
        writeOut(file, text);
    }

    void writeOut(File& file, const std::string& text) {
        if (!file.out) return;
        if (const auto wrote = file.out->append(text); !wrote) {
            trace.write(file.name + ": Fleet log - stopped: " + file.path + ": " + wrote.reason());
            file.out.reset();
        }
    }

    platform::FileWriter& files;
    platform::Trace& trace;
    const size_t capacity;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable drained;
    std::deque<Entry> entries;
    size_t lines = 0;  // Line entries waiting
    bool stopping = false;
    bool abandoned = false;
    bool done = false;
};

namespace {

// One line of the file: the time, then the text without the "\r\n" many
// trace lines end with, and any other line break shown as \r or \n.
std::string stamped(uint64_t now, uint64_t runStartMs, std::string_view line) {
    const uint64_t ms = now > runStartMs ? now - runStartMs : 0;
    char time[32];
    std::snprintf(time, sizeof time, "%8llu ms  ", static_cast<unsigned long long>(ms));
    std::string out = time;
    line = line.substr(0, LogWriter::kMaxLineBytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    for (const char c : line) {
        if (c == '\r' || c == '\n') {
            out += c == '\r' ? "\\r" : "\\n";
        } else {
            out += c;
        }
    }
    out += '\n';
    return out;
}

}  // namespace

LogWriter::LogWriter(platform::FileWriter& files, platform::Trace& trace, std::string folder,
                     std::string fleetId, size_t queueLines)
    : queue_(std::make_shared<Queue>(files, trace, queueLines)),
      folder_(std::move(folder)),
      fleetId_(std::move(fleetId)) {
    // The thread owns the queue too: should the disk hold it past the run,
    // nothing it uses goes away under it.
    try {
        thread_ = std::thread([queue = queue_] { queue->run(); });
    } catch (const std::system_error& e) {
        trace.write(std::string("Fleet logs - none kept: no thread for them: ") + e.what());
        queue_->abandoned = true;
        queue_->done = true;
    }
}

LogWriter::~LogWriter() {
    std::unique_lock lock(queue_->mutex);
    queue_->stopping = true;
    queue_->wake.notify_all();
    const bool drained = queue_->drained.wait_for(lock, std::chrono::milliseconds(kDrainMs),
                                                  [&] { return queue_->done; });
    if (!drained) {
        queue_->abandoned = true;
        queue_->trace.write(
            "Fleet logs - the disk took nothing for " + std::to_string(kDrainMs / 1000) +
            " s: " + std::to_string(queue_->entries.size()) + " entries not written");
    }
    lock.unlock();
    if (!thread_.joinable()) return;
    if (drained) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

std::unique_ptr<PrinterLog> LogWriter::open(const Endpoint& endpoint,
                                            const std::vector<std::string>& header,
                                            platform::Clock& clock, uint64_t runStartMs) {
    auto file = std::make_shared<File>();
    file->name = endpoint.text();
    std::string stem = file->name;
    std::replace(stem.begin(), stem.end(), ':', '_');
    file->path = folder_ + "/" + stem + "-" + fleetId_ + ".log";
    const uint64_t now = clock.tickMs();
    std::string text;
    for (const std::string& line : header) text += stamped(now, runStartMs, line);
    queue_->post({Queue::Kind::Open, file, std::move(text)});
    return std::make_unique<PrinterLog>(queue_, std::move(file), clock, runStartMs);
}

PrinterLog::PrinterLog(std::shared_ptr<LogWriter::Queue> queue,
                       std::shared_ptr<LogWriter::File> file, platform::Clock& clock,
                       uint64_t runStartMs)
    : queue_(std::move(queue)), file_(std::move(file)), clock_(clock), runStartMs_(runStartMs) {}

PrinterLog::~PrinterLog() { queue_->post({LogWriter::Queue::Kind::Close, file_, {}}); }

void PrinterLog::write(std::string_view line) {
    queue_->post(
        {LogWriter::Queue::Kind::Line, file_, stamped(clock_.tickMs(), runStartMs_, line)});
}

void PrinterLog::phaseEvent(const PhaseEvent& event) {
    const std::string_view name =
        event.outcome ? outcomeName(*event.outcome) : phaseName(event.phase);
    write("phase " + std::string(name) + ": " + event.detail);
}

void PrinterLog::box(const std::string& text) { write("box: " + text); }

std::string prepareLogFolder(platform::FileWriter& files, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return ec.message();
    if (!fs::is_directory(folder, ec)) return "not a folder";
    const std::string probe = folder + "/.kvflash-log-probe";
    // One left by a run that ended before it could remove it.
    fs::remove(probe, ec);
    auto created = files.createNew(probe);
    if (!created) return created.reason();
    created->reset();
    fs::remove(probe, ec);
    return "";
}

}  // namespace kv::fleet
