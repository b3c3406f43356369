// A printer's log under --log-dir: written by the run's one writer, never
// by the flash's own thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <sstream>

#include "fleet/FleetSummary.h"
#include "fleet/PrinterLog.h"
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
        std::optional<fleet::LogWriter> logs(std::in_place, files, w.trace, "logs", fleetId,
                                             queueLines);
        fleet::SharedServices shared = w.shared();
        shared.logs = &*logs;
        fleet::Fleet f(shared, w.endpoints(), 1);
        f.scan();
        const auto image = w.image(imageBytes(8192));
        f.plan(image, settings);
        w.trace.clear();  // the scan's
        f.run(fleetId);
        EXPECT_EQ(f.slot(0).snapshot().outcome, fleet::Outcome::Verified);
        files.release();
        logs.reset();

        const fleet::Endpoint& e = w.printers[0]->endpoint;
        const std::string name = "logs/127.0.0." + std::to_string(102 + stalled) + "_" +
                                 std::to_string(e.port) + "-" + fleetId + ".log";
        const auto written = files.files();
        ASSERT_EQ(written.size(), 1u);
        ASSERT_EQ(written.begin()->first, name);
        std::vector<std::string> lines = linesOf(written.begin()->second);

        // What the printer's world said: its trace lines, phases and boxes.
        std::vector<std::string> trace;
        for (const std::string& line : w.trace.lines()) {
            if (!line.starts_with(e.text() + ": ")) continue;
            // Without the "\r\n" many trace lines end with.
            trace.push_back(line.substr(e.text().size() + 2,
                                        line.find_last_not_of("\r\n") - e.text().size() - 1));
        }
        size_t seen = 0;
        std::vector<std::string> phases;
        for (const fleet::PhaseEvent& p : f.slot(0).eventsSince(seen)) {
            phases.push_back(std::string(p.outcome ? fleet::outcomeName(*p.outcome)
                                                   : fleet::phaseName(p.phase)));
        }
        const size_t boxes = f.slot(0).snapshot().boxes.size();

        const std::vector<std::string> header = {
            "fleet " + fleetId + ", " + kVersionText + "; times in ms since the run began",
            "printer " + e.text(),
            "image " + image->path + ": 8192 bytes, version \"V5.20\", SHA-256 " +
                image->facts.sha256,
            "settings --parallel 32 --canary 0 --max-failures 3 --same-version skip",
        };
        ASSERT_GT(lines.size(), header.size());
        uint64_t lastMs = 0;
        std::vector<std::string> body;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.starts_with("(")) {
                EXPECT_EQ(i, lines.size() - 1) << "a count is the last line";
                continue;
            }
            const size_t ms = line.find(" ms  ");
            ASSERT_NE(ms, std::string::npos) << line;
            const uint64_t at = std::stoull(line.substr(0, ms));
            EXPECT_GE(at, lastMs) << line;
            lastMs = at;
            const std::string text = line.substr(ms + 5);
            if (i < header.size()) {
                EXPECT_EQ(text, header[i]);
            } else {
                body.push_back(text);
            }
        }
        // The trace and the phases, each whole and in order up to the bound.
        std::vector<std::string> loggedTrace;
        std::vector<std::string> loggedPhases;
        size_t firstPhase = body.size();
        for (size_t i = 0; i < body.size(); ++i) {
            if (body[i].starts_with("phase ")) {
                if (firstPhase == body.size()) firstPhase = i;
                loggedPhases.push_back(body[i].substr(6, body[i].find(':') - 6));
            } else if (!body[i].starts_with("box: ")) {
                loggedTrace.push_back(body[i]);
            }
        }
        ASSERT_LE(loggedTrace.size(), trace.size());
        EXPECT_TRUE(std::equal(loggedTrace.begin(), loggedTrace.end(), trace.begin()));
        ASSERT_LE(loggedPhases.size(), phases.size());
        EXPECT_TRUE(std::equal(loggedPhases.begin(), loggedPhases.end(), phases.begin()));
        const size_t said = trace.size() + phases.size() + boxes;
        if (!stalled) {
            EXPECT_EQ(body.size(), said);
            EXPECT_LT(firstPhase, body.size() - loggedPhases.size()) << "phases among the trace";
            EXPECT_TRUE(body.back().starts_with("phase verified: ")) << body.back();
            EXPECT_GT(lastMs, 20000u) << "the verdict's time: after the reset wait";
        } else {
            EXPECT_EQ(body.size(), queueLines);
            EXPECT_EQ(lines.back(), "(" + std::to_string(said - queueLines) +
                                        " lines dropped here: the disk did not keep up)");
        }
    }
}

}  // namespace
}  // namespace kv::fleettest
