#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/FleetRows.h"
#include "fleet/FleetRun.h"
#include "fleet/WorldParts.h"
#include "state/Context.h"

namespace kv {

inline constexpr const char* kFleetCaption = "Network Printers";
inline constexpr unsigned kFleetPollMs = 200;
// The targets field's longest text kept between runs.
inline constexpr size_t kFleetTargetsLimit = 4096;

// Everything the network printers' window shows, drawn whole.
struct FleetPicture {
    std::string targets;
    std::string port;
    std::optional<platform::ImageFacts> image;
    std::vector<FleetRow> rows;
    // The addresses that answered as no KV printer, counted below the table.
    std::string unreachable;
    std::string summary;
    bool scanning = false;
    bool flashing = false;
};

// What the fleet logic needs from the window that shows it; called on the
// UI thread only.
class FleetWindowHost {
public:
    virtual ~FleetWindowHost() = default;
    virtual void draw(const FleetPicture& picture) = 0;
    // One-shot: the logic starts it again while it has something to watch.
    virtual void startTimer(unsigned intervalMs) = 0;
    virtual void stopTimer() = 0;
};

// The window of many network printers, free of any toolkit: targets and
// port, Scan, the image, Flash Selected, Stop, the rows and the summary.
// Scans and runs go on a thread of their own; the window polls the
// printers' slots on its timer and never waits for a printer. It computes
// nothing about printers or verdicts: it draws the fleet's scan, plan and
// snapshots. Its run holds the machine's one flash flag (flashInProgress)
// from the question's Yes to the last printer's end.
class FleetDialog {
public:
    // `clockFor` gives a printer's clock by its place among the targets
    // (a test's own clocks); by default every printer has the program's.
    FleetDialog(Context& ctx, FleetWindowHost& host,
                std::function<platform::Clock&(size_t)> clockFor = {});
    ~FleetDialog();
    FleetDialog(const FleetDialog&) = delete;
    FleetDialog& operator=(const FleetDialog&) = delete;

    // The targets kept from the last scan, the port, and the main dialog's
    // image when it has one.
    void onOpen();
    void onTargetsEdited(const std::string& text);
    void onPortEdited(const std::string& text);
    void onScan();
    void onSelectFile();
    void onToggle(size_t row, bool checked);
    // Every row whose printer the image suits.
    void onSelectAllCompatible();
    void onFlashSelected();
    // No printer starts from now on; those started finish.
    void onStop();
    void onTimer();
    // False (and a box) while a printer is in flash mode. A run with none
    // in flash mode is stopped and goes on behind the closed window.
    bool onClose();
    // The row's detail, for the clipboard.
    std::string detailOf(size_t row) const;
    void onShowHistory(size_t row);

    const FleetPicture& picture() const { return picture_; }
    // Waits until no scan or run thread works (tests; the end of the
    // program). False when the time ran out.
    bool waitIdle(std::chrono::milliseconds timeout);

private:
    void startWork(std::function<void()> work);
    void finishWork();
    void pollScan();
    void pollRun();
    bool anyInFlashMode() const;
    void useImage(const std::string& path);
    void redraw();
    fleet::SharedServices shared(const std::vector<size_t>& targetIndexes);

    Context& ctx_;
    FleetWindowHost& host_;
    std::function<platform::Clock&(size_t)> clockFor_;
    fleet::CountingInhibitor inhibitor_;
    FleetPicture picture_;
    std::shared_ptr<const PreloadedImage> image_;

    // The targets of the last scan, and each found printer's scan by row.
    std::vector<fleet::Endpoint> targets_;
    std::vector<fleet::ScanResult> found_;
    std::vector<fleet::ScanResult> misses_;
    std::unique_ptr<fleet::Fleet> scanFleet_;
    std::unique_ptr<fleet::Fleet> runFleet_;
    // Row -> the run fleet's slot, for the rows in the run.
    std::vector<std::optional<size_t>> runSlot_;
    uint64_t runStartMs_ = 0;

    // What the scan thread hands over.
    std::mutex mutex_;
    std::vector<fleet::ScanResult> answers_;
    std::condition_variable idle_;
    bool working_ = false;
    std::thread worker_;
};

}  // namespace kv
