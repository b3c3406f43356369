#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fleet/FleetRun.h"
#include "fleet/FleetSettings.h"
#include "fleet/FleetSummary.h"
#include "fleet/WorldParts.h"
#include "state/Context.h"

namespace kv {

// What a run of many printers refuses with, the same words in every front
// end (the terminal prefixes them with the program's name).
inline constexpr const char* kFleetNoMarkerText =
    "The image has no \"FWV:\" version marker, so no flash of it can be verified.";
inline constexpr const char* kFleetOneFlashText =
    "A printer is being flashed from the main window: one flash at a time.";
std::string cannotReadImageText(const std::string& path, const std::string& why);

// Why an image is not flashed.
struct ImageRefusal {
    enum class Kind { Unreadable, NoMarker, Signature };
    Kind kind;
    std::string text;
};

// What a front end hears of a session, on the thread named.
class FleetObserver {
public:
    virtual ~FleetObserver() = default;
    // A target answered the scan (the scanning thread).
    virtual void scanned(size_t /*index*/, const fleet::ScanResult& /*result*/) {}
    // The first stop, at once (the stopping thread).
    virtual void stopping(const fleet::StopCause& /*cause*/, size_t /*inFlashMode*/) {}
    // The run's first printer is about to start (the run's thread).
    virtual void running(const fleet::Fleet& /*fleet*/) {}
    // Every printer has ended (the run's thread).
    virtual void ended(const fleet::Fleet& /*fleet*/, const fleet::FleetSummary& /*summary*/,
                       double /*wallSeconds*/) {}
};

// One run of many network printers, whichever front end shows it: the
// image read once and judged, the scan, the plan of the printers chosen,
// the run with the machine's one flash flag, the instance lock and the
// machine kept awake from the question's Yes to the last printer's end,
// the summary, and stops from any source. The front ends only ask the
// question and draw.
class FleetSession {
public:
    enum class Lock {
        TakeForRun,    // the terminal: taken for the run, given back after
        HeldByWindow,  // the window took it at start-up and keeps it
    };

    FleetSession(Context& ctx, fleet::SharedServices shared, fleet::FleetSettings settings,
                 Lock lock, FleetObserver& observer);
    ~FleetSession();
    FleetSession(const FleetSession&) = delete;
    FleetSession& operator=(const FleetSession&) = delete;

    const fleet::FleetSettings& settings() const { return settings_; }
    // The counting sleep inhibitor the session's printers share.
    platform::SleepInhibitor& inhibitor() { return inhibitor_; }

    // Reads the image once and judges it; the refusal, or nothing.
    std::optional<ImageRefusal> useImage(const std::string& path);
    std::shared_ptr<const PreloadedImage> image() const { return image_; }
    // An image another session of the same window read and judged.
    void adoptImage(std::shared_ptr<const PreloadedImage> image) { image_ = std::move(image); }
    // The image starts with a KV_FIRMWARE header (sent whole over the
    // network: worth saying).
    bool imageHeaded() const { return imageHeaded_; }

    // Printers the latest run may have left in flash mode (its records
    // started and never ended), as the start-up advice words them.
    std::optional<std::string> earlierRunNotice() const;

    // Identifies every target (blocking); a stop ends it within its bounds.
    void scan(std::vector<fleet::Endpoint> targets);
    const std::vector<fleet::ScanResult>& scans() const;

    // The run of the scanned targets `chosen` (indexes into scans()), or of
    // every one, planned with the image.
    fleet::Fleet& plan(const std::vector<size_t>& chosen);
    fleet::Fleet& planAll();

    // Claims what the run needs, on the thread that got the question's Yes:
    // the instance lock (for the terminal), the machine's one flash flag,
    // the machine kept awake. The refusal's text, or nothing.
    std::optional<std::string> beginRun();
    // Flashes the planned printers (blocking), then gives back what
    // beginRun claimed and tells the observer the summary.
    fleet::FleetSummary run();

    // From any thread: no printer starts from now on, identifications and a
    // scan under way are cut; printers in flash mode finish. The observer
    // hears of the first stop. Returns the printers in flash mode then.
    size_t requestStop(const fleet::StopCause& cause);
    bool stopRequested() const;
    // The first stop requested, if any.
    std::optional<fleet::StopCause> stopCause() const;
    // Printers in flash mode now: what a second stop leaves behind.
    std::vector<fleet::Endpoint> inFlashMode() const;
    // The scan's and the run's fleets once made, else nothing.
    const fleet::Fleet* scanFleet() const;
    const fleet::Fleet* runFleet() const;

private:
    void release();

    Context& ctx_;
    fleet::FleetSettings settings_;
    Lock lock_;
    FleetObserver& observer_;
    fleet::CountingInhibitor inhibitor_;
    fleet::SharedServices shared_;
    std::shared_ptr<const PreloadedImage> image_;
    bool imageHeaded_ = false;
    std::vector<fleet::Endpoint> targets_;

    mutable std::mutex mutex_;
    std::unique_ptr<fleet::Fleet> scanFleet_;
    std::unique_ptr<fleet::Fleet> runFleet_;
    std::optional<fleet::StopCause> stop_;
    // What beginRun claimed, for release().
    bool lockTaken_ = false;
    bool flagClaimed_ = false;
    bool awake_ = false;
    uint64_t runStartMs_ = 0;
};

}  // namespace kv
