// The fleet's view on a pseudo-terminal of each size, read back through a
// model of the screen: the run leaves no row torn, and each printer's row
// on the screen at most once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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

using emulator::PrinterConfig;

// A pseudo-terminal of a given size; what its programs write is read on
// a thread of its own, as a terminal would.
class Pty {
public:
    Pty(unsigned short columns, unsigned short lines) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(::grantpt(master_), 0);
        EXPECT_EQ(::unlockpt(master_), 0);
        slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        EXPECT_GE(slave_, 0);
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
        ::close(slave_);  // the reader's read ends
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
    int slave() const { return slave_; }

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
        bool rows;
    };
    const Case cases[] = {
        {59, 24, 6, false}, {80, 24, 6, true}, {132, 24, 6, true}, {80, 9, 12, true}};
    PrinterConfig refusing = printer();
    refusing.flashReadyMissing = true;
    PrinterConfig dropping = printer();
    dropping.dropAfterImageBytes = 3000;
    uint32_t first = kFirstAddress + 120;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.lines));
        std::vector<std::optional<PrinterConfig>> configs(c.printers, printer());
        configs[1] = refusing;
        configs[3] = dropping;
        FleetTestWorld w(configs, first);
        first += 20;
        fleet::FleetSettings settings;
        settings.canary = 0;
        fleet::Fleet f(w.shared(), w.endpoints(), settings.parallel);
        f.scan();
        f.plan(w.image(imageBytes(8192)), settings);
        Pty pty(c.columns, c.lines);
        const auto size = [&] { return platform::linux_impl::terminalSizeOf(pty.slave()); };
        // The scan's table and the plan fit the terminal too.
        const std::string before = ui::formatScanTable(f.scans(), ui::lineWidthOf(size())) +
                                   ui::formatFleetPlan(f, ui::lineWidthOf(size()));
        pty.write(before);
        testing::ScreenModel screen(c.columns, c.lines);
        screen.feed(pty.take());
        for (const auto& lines : {screen.scrolledOff(), screen.screen()}) {
            for (const std::string& line : lines) EXPECT_LT(line.size(), c.columns) << line;
        }
        ui::FleetRenderer view(f, size, [&](const std::string& piece) { pty.write(piece); });
        // --trace's echo, from the workers, goes above the rows.
        platform::linux_impl::SyslogTrace trace(true, w.dir.file("no-log"));
        trace.echoThrough([&](std::string_view line) { view.lineAbove(line); });
        size_t traced = 0;
        w.realInhibitor.onEvent(
            [&](const auto&) { trace.write("trace line " + std::to_string(++traced) + "\r\n"); });
        view.start(2);
        f.run("0123456789abcdef");
        view.stop();
        trace.echoThrough({});

        screen.feed(pty.take());
        EXPECT_TRUE(screen.odd().empty()) << screen.odd().front();
        EXPECT_TRUE(!c.rows || screen.wraps() == 0) << screen.wraps() << " wraps";
        std::vector<std::string> all = screen.scrolledOff();
        const std::vector<std::string> last = screen.screen();
        all.insert(all.end(), last.begin(), last.end());
        all.erase(all.begin(), all.begin() + std::count(before.begin(), before.end(), '\n'));
        const fleet::FleetSummary summary = fleet::summarize(f);
        for (const fleet::PrinterSnapshot& p : summary.printers) {
            const std::string address = p.endpoint.text() + " ";
            const std::string start = c.rows ? address : "fleet " + address;
            size_t rows = 0;
            for (const std::string& line : all) {
                if (line.find(address) == std::string::npos) continue;
                EXPECT_EQ(line.rfind(start, 0), 0u) << "torn: " << line;
                if (!c.rows) continue;
                ++rows;
                EXPECT_LT(line.size(), c.columns);
                EXPECT_NE(line.find(" " + std::string(fleet::outcomeName(*p.outcome))),
                          std::string::npos)
                    << line;
                EXPECT_TRUE(c.columns < 132 || line.find(p.detail) != std::string::npos) << line;
            }
            if (c.rows) {
                EXPECT_EQ(rows, ui::endedBadly(p) ? 1u : std::min<size_t>(rows, 1)) << address;
            }
        }
        const bool hidden = c.printers + 2 > c.lines;
        EXPECT_EQ(
            std::count_if(last.begin(), last.end(),
                          [](const auto& l) { return l.find(" more: ") != std::string::npos; }),
            hidden ? 1 : 0);
        for (size_t i = 1; i <= traced; ++i) {
            EXPECT_EQ(std::count(all.begin(), all.end(), "trace line " + std::to_string(i)), 1);
        }
        // Below it all, each printer that ended badly with its whole reason.
        pty.write(ui::formatFleetSummary(summary, 1.0) + ui::formatFleetReasons(summary));
        screen.feed(pty.take());
        std::vector<std::string> end = screen.scrolledOff();
        for (const std::string& line : screen.screen()) end.push_back(line);
        for (size_t i : {1, 3}) {
            const fleet::PrinterSnapshot& p = summary.printers[i];
            const std::string reason = p.endpoint.text() + " " +
                                       std::string(fleet::outcomeName(*p.outcome)) + ": " +
                                       p.detail;
            // Its first screen line, should it wrap.
            std::string head = reason.substr(0, c.columns);
            head.erase(head.find_last_not_of(' ') + 1);
            EXPECT_NE(std::find(end.begin(), end.end(), head), end.end()) << reason;
        }
    }
}

}  // namespace
}  // namespace kv::fleettest
