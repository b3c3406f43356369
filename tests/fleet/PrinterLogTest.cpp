// A printer's log under --log-dir: written by the run's one writer, never
// by the flash's own thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <sstream>

#include "fleet/FleetSummary.h"
#include "fleet/PrinterLog.h"
#include "platform/Trace.h"
#include "kvflash/Version.h"
#include "tests/fleet/FleetTestWorld.h"

namespace kv::fleettest {
namespace {

// Files in memory; while stalled, every write waits until release().
class MemoryFiles final : public platform::FileWriter {
public:
    explicit MemoryFiles(bool stalled) : stalled_(stalled) {}
    platform::Result<std::unique_ptr<platform::WritableFile>> createNew(
        const std::string& path) override {
        std::lock_guard lock(mutex_);
        if (!files_.emplace(path, "").second) return platform::Failure{"taken"};
        return std::make_unique<File>(*this, path);
    }
    void release() {
        std::lock_guard lock(mutex_);
        stalled_ = false;
        released_.notify_all();
    }
    std::map<std::string, std::string> files() {
        std::lock_guard lock(mutex_);
        return files_;
    }

private:
    struct File final : platform::WritableFile {
        File(MemoryFiles& owner, std::string path) : owner(owner), path(std::move(path)) {}
        platform::Result<void> append(std::string_view bytes) override {
            std::unique_lock lock(owner.mutex_);
            if (!owner.released_.wait_for(lock, std::chrono::seconds(30),
                                          [&] { return !owner.stalled_; })) {
                return platform::Failure{"never released"};
            }
            owner.files_[path] += bytes;
            return {};
        }
        MemoryFiles& owner;
        const std::string path;
    };
    std::mutex mutex_;
    std::condition_variable released_;
    bool stalled_;
    std::map<std::string, std::string> files_;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// A disk that takes nothing holds up no flash: the lines past the queue are
// counted, none before it is lost, and the log keeps its order: header,
// then trace lines with the phases and boxes among them as they came, on
// times that never go back.
TEST(PrinterLog, AStalledDiskHoldsUpNoFlashAndTheLogKeepsItsOrder) {
    const std::string fleetId = "f1ee7f1ee7f1ee70";
    for (const bool stalled : {false, true}) {
        SCOPED_TRACE(stalled ? "stalled" : "free");
        const size_t queueLines = stalled ? 16 : fleet::LogWriter::kQueueLines;
        FleetTestWorld w({printer()}, kFirstAddress + 100 + stalled);
        MemoryFiles files(stalled);
        fleet::FleetSettings settings;
        settings.canary = 0;
        fleet::SharedServices shared = w.shared();
        shared.logFolder = "logs";
        shared.fileWriter = &files;
        shared.logQueueLines = queueLines;
        std::optional<fleet::Fleet> f(std::in_place, shared, w.endpoints(), settings);
        f->scan();
        const auto image = w.image(imageBytes(8192));
        f->plan(image);
        w.trace.clear();  // the scan's
        f->run(fleetId);
        EXPECT_EQ(f->slot(0).snapshot().outcome, fleet::Outcome::Verified);

        // What the printer's world said: its trace lines (without the "\r\n"
        // many end with), phases and boxes.
        const fleet::Endpoint e = w.printers[0]->endpoint;
        std::vector<std::string> trace;
        for (const std::string& line : w.trace.lines()) {
            const size_t from = e.text().size() + 2;
            if (line.starts_with(e.text() + ": "))
                trace.push_back(line.substr(from, line.find_last_not_of("\r\n") + 1 - from));
        }
        size_t seen = 0;
        std::vector<std::string> phases;
        for (const fleet::PhaseEvent& p : f->slot(0).eventsSince(seen))
            phases.emplace_back(p.outcome ? fleet::outcomeName(*p.outcome)
                                          : fleet::phaseName(p.phase));
        const size_t said = trace.size() + phases.size() + f->slot(0).snapshot().boxes.size();
        files.release();
        f.reset();  // its writer done

        const auto written = files.files();
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written.begin()->first, "logs/127.0.0." + std::to_string(102 + stalled) + "_" +
                                              std::to_string(e.port) + "-" + fleetId + ".log");
        const std::vector<std::string> lines = linesOf(written.begin()->second);

        const std::vector<std::string> header = {
            "fleet " + fleetId + ", " + kVersionText + "; times in ms since the run began",
            "printer " + e.text(),
            "image " + platform::escapeDeviceText(image->path) +
                ": 8192 bytes, version \"V5.20\", SHA-256 " + image->facts.sha256,
            "settings --parallel 32 --canary 0 --max-failures 3 --same-version skip",
        };
        // Each kind whole and in order up to the bound; times never go back.
        std::vector<std::string> loggedTrace, loggedPhases;
        size_t body = 0, firstPhase = 0;
        uint64_t lastMs = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            const size_t ms = lines[i].find(" ms  ");
            if (ms == std::string::npos) {
                EXPECT_EQ(i, lines.size() - 1) << "only a count has no time: " << lines[i];
                continue;
            }
            EXPECT_GE(std::stoull(lines[i]), lastMs) << lines[i];
            lastMs = std::stoull(lines[i]);
            const std::string text = lines[i].substr(ms + 5);
            if (i < header.size()) {
                EXPECT_EQ(text, header[i]);
                continue;
            }
            ++body;
            if (text.starts_with("phase ")) {
                if (loggedPhases.empty()) firstPhase = body;
                loggedPhases.push_back(text.substr(6, text.find(':') - 6));
            } else if (!text.starts_with("box: ")) {
                loggedTrace.push_back(text);
            }
        }
        ASSERT_LE(loggedTrace.size(), trace.size());
        EXPECT_TRUE(std::equal(loggedTrace.begin(), loggedTrace.end(), trace.begin()));
        ASSERT_LE(loggedPhases.size(), phases.size());
        EXPECT_TRUE(std::equal(loggedPhases.begin(), loggedPhases.end(), phases.begin()));
        if (!stalled) {
            EXPECT_EQ(body, said);
            EXPECT_LT(firstPhase, body - loggedPhases.size()) << "phases among the trace";
            EXPECT_EQ(loggedPhases.back(), "verified");
            EXPECT_GT(lastMs, 20000u) << "the verdict's time: after the reset wait";
        } else {
            EXPECT_EQ(body, queueLines);
            EXPECT_EQ(lines.back(), "(" + std::to_string(said - queueLines) +
                                        " lines dropped here: the disk did not keep up)");
        }
    }
}

}  // namespace
}  // namespace kv::fleettest
