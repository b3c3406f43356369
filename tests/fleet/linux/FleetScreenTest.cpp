// The fleet's view on a pseudo-terminal of each size, read back through a
// model of the screen: the run leaves no row torn, and each printer's row
// on the screen at most once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <condition_variable>
#include <thread>

#include "fleet/FleetSummary.h"
#include "platform/linux/SyslogTrace.h"
#include "platform/linux/TerminalSize.h"
#include "tests/fleet/FleetTestWorld.h"
#include "tests/support/ScreenModel.h"
#include "ui/console/FleetRenderer.h"
#include "ui/console/FleetRows.h"
#include "ui/console/FleetView.h"

namespace kv::fleettest {
namespace {

// A pseudo-terminal of a given size, read on a thread of its own as a
// terminal reads.
class Pty {
public:
    Pty(unsigned short columns, unsigned short lines) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_TRUE(master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0);
        slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        winsize size{lines, columns, 0, 0};
        EXPECT_EQ(::ioctl(master_, TIOCSWINSZ, &size), 0);
        reader_ = std::thread([this] {
            char buffer[4096];
            for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;) {
                std::lock_guard lock(mutex_);
                read_.append(buffer, static_cast<size_t>(n));
                arrived_.notify_all();
            }
        });
    }
    ~Pty() {
        ::close(slave_);  // ends the reader's read
        reader_.join();
        ::close(master_);
    }
    void write(const std::string& text) {
        for (size_t at = 0; at < text.size();) {
            const ssize_t n = ::write(slave_, text.data() + at, text.size() - at);
            if (n <= 0) return ADD_FAILURE() << "the terminal took no more";
            at += static_cast<size_t>(n);
        }
        std::lock_guard lock(mutex_);
        // The line discipline sends each "\n" as "\r\n".
        expected_ += text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }
    // What reached the terminal since the last call.
    std::string take() {
        std::unique_lock lock(mutex_);
        EXPECT_TRUE(arrived_.wait_for(lock, std::chrono::seconds(10),
                                      [this] { return read_.size() >= expected_; }));
        expected_ -= std::min(expected_, read_.size());
        return std::exchange(read_, {});
    }
    std::optional<platform::TerminalSize> size() const {
        return platform::linux_impl::terminalSizeOf(slave_);
    }

private:
    int master_ = -1, slave_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string read_;
    size_t expected_ = 0;
};

TEST(FleetScreen, RowsFitEachTerminalAndAreNeverTorn) {
    struct Case {
        unsigned short columns, lines;
        size_t printers;
    };
    const Case cases[] = {{59, 24, 6}, {80, 24, 6}, {132, 24, 6}, {80, 9, 12}};
    emulator::PrinterConfig refusing = printer(), dropping = printer();
    refusing.flashReadyMissing = true;
    dropping.dropAfterImageBytes = 3000;
    uint32_t first = kFirstAddress + 120;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.lines));
        const bool rows = c.columns >= 60;
        std::vector<std::optional<emulator::PrinterConfig>> configs(c.printers, printer());
        configs[1] = refusing;
        configs[3] = dropping;
        FleetTestWorld w(configs, first += 20);
        fleet::FleetSettings settings;
        settings.canary = 0;
        fleet::Fleet f(w.shared(), w.endpoints(), settings);
        f.scan();
        f.plan(w.image(imageBytes(8192)));
        Pty pty(c.columns, c.lines);
        // The scan's table and the plan fit the terminal too.
        const std::string before = ui::formatScanTable(f.scans(), ui::lineWidthOf(pty.size())) +
                                   ui::formatFleetPlan(f, false, ui::lineWidthOf(pty.size()));
        pty.write(before);
        testing::ScreenModel screen(c.columns, c.lines);
        screen.feed(pty.take());
        EXPECT_EQ(screen.wraps(), 0u);
        ui::FleetRenderer view(
            f, [&] { return pty.size(); }, [&](const std::string& piece) { pty.write(piece); });
        // --trace's echo, from the workers, goes above the rows.
        platform::linux_impl::SyslogTrace trace(true, w.dir.file("no-log"));
        trace.echoThrough([&](std::string_view line) { view.print(line); });
        size_t traced = 0;
        w.realInhibitor.onEvent(
            [&](const auto&) { trace.write("trace line " + std::to_string(++traced) + "\r\n"); });
        view.start(2);
        f.run("0123456789abcdef");
        view.stop();
        trace.echoThrough({});

        screen.feed(pty.take());
        EXPECT_TRUE(screen.odd().empty()) << screen.odd().front();
        EXPECT_TRUE(!rows || screen.wraps() == 0) << screen.wraps() << " wraps";
        std::vector<std::string> all = screen.all();
        const auto tableEnd = all.begin() + std::count(before.begin(), before.end(), '\n');
        for (auto l = all.begin(); l != tableEnd; ++l) {
            // Columns gave way, not the state or the decision.
            EXPECT_LT(l->size(), c.columns) << *l;
            EXPECT_TRUE(l->rfind("127.", 0) || l->find(" ready") < l->size() ||
                        l->find(" flash") < l->size())
                << *l;
        }
        all.erase(all.begin(), tableEnd);
        const fleet::FleetSummary summary = fleet::summarize(f);
        for (const fleet::PrinterSnapshot& p : summary.printers) {
            const std::string address = p.endpoint.text() + " ";
            size_t seen = 0;
            for (const std::string& line : all) {
                if (line.find(address) == std::string::npos) continue;
                EXPECT_EQ(line.rfind(rows ? address : "fleet " + address, 0), 0u) << line;
                seen += rows;
                EXPECT_TRUE(!rows || (line.size() < c.columns &&
                                      line.find(fleet::outcomeName(*p.outcome)) < line.size()))
                    << line;
                EXPECT_TRUE(c.columns < 132 || line.find(p.detail) != std::string::npos) << line;
            }
            EXPECT_EQ(seen, rows && ui::endedBadly(p) ? 1u : std::min<size_t>(seen, 1)) << address;
        }
        EXPECT_EQ(std::count_if(all.begin(), all.end(),
                                [](const auto& l) { return l.find(" more: ") < l.size(); }),
                  c.printers + 2 > c.lines ? 1 : 0);
        EXPECT_GT(traced, 0u);
        for (size_t i = 1; i <= traced; ++i) {
            EXPECT_EQ(std::count(all.begin(), all.end(), "trace line " + std::to_string(i)), 1);
        }
        // Below it all, each printer that ended badly with its whole reason.
        pty.write(ui::formatFleetSummary(summary, 1.0) + ui::formatFleetReasons(summary));
        screen.feed(pty.take());
        all = screen.all();
        for (size_t i : {1, 3}) {
            const fleet::PrinterSnapshot& p = summary.printers[i];
            std::string reason = p.endpoint.text() + " " +
                                 std::string(fleet::outcomeName(*p.outcome)) + ": " + p.detail;
            reason.erase(reason.find_last_not_of(' ', c.columns - 1) + 1);  // its first line
            EXPECT_NE(std::find(all.begin(), all.end(), reason), all.end()) << reason;
        }
    }
}

}  // namespace
}  // namespace kv::fleettest
