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
#include "app/FleetSession.h"
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
    // Stop was pressed: the button shows it until the work has ended.
    bool stopping = false;

    // Stop works during a scan or a run, once.
    bool stopEnabled() const { return (scanning || flashing) && !stopping; }
    const char* stopCaption() const { return stopping ? "Stopping..." : "Stop"; }
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
// It drives a FleetSession: scans and runs go on a thread of their own; the
// window polls the printers' slots on its timer and never waits for a
// printer. It computes nothing about printers or verdicts, and asks only
// the question.
class FleetDialog final : private FleetObserver {
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
    // No printer starts from now on, a scan ends within its bounds; the
    // printers in flash mode finish.
    void onStop();
    void onTimer();
    // False (and a box) while a printer is in flash mode. Otherwise the
    // scan or run is stopped: no printer enters flash mode behind the
    // closed window.
    bool onClose();
    // The row's detail, for the clipboard.
    std::string detailOf(size_t row) const;
    void onShowHistory(size_t row);

    const FleetPicture& picture() const { return picture_; }
    // Waits until no scan or run thread works (tests; the end of the
    // program). False when the time ran out.
    bool waitIdle(std::chrono::milliseconds timeout);

private:
    void scanned(size_t index, const fleet::ScanResult& result) override;
    void startWork(std::function<void()> work);
    void finishWork();
    void pollScan();
    void pollRun();
    bool anyInFlashMode() const;
    void useImage(const std::string& path);
    void redraw();
    std::unique_ptr<FleetSession> newSession();

    Context& ctx_;
    FleetWindowHost& host_;
    std::function<platform::Clock&(size_t)> clockFor_;
    FleetPicture picture_;
    std::shared_ptr<const PreloadedImage> image_;
    std::unique_ptr<FleetSession> session_;

    // The targets of the last scan, and each found printer's scan by row
    // (with its place among the targets).
    std::vector<fleet::ScanResult> found_;
    std::vector<size_t> foundIndex_;
    std::vector<fleet::ScanResult> misses_;
    // Row -> the run fleet's slot, for the rows in the run.
    std::vector<std::optional<size_t>> runSlot_;
    uint64_t runStartMs_ = 0;

    // What the scan thread hands over.
    std::mutex mutex_;
    std::vector<std::pair<size_t, fleet::ScanResult>> answers_;
    std::condition_variable idle_;
    bool working_ = false;
    std::thread worker_;
};

}  // namespace kv
