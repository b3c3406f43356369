#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kv::testing {

// What a shell command printed and how it ended.
struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs a command line through /bin/sh, bounded by `timeout` (coreutils).
RunResult run(const std::string& command, int timeoutSeconds = 20);
// A text as one single-quoted shell word.
std::string shellWord(const std::string& text);

// A private CUPS scheduler: its own configuration, state, spool and log
// folders under a temporary folder, listening only on a Unix socket there
// (so root is let in by its credentials), no browsing, no web interface.
// Jobs for usb: and parallel: devices go to a stand-in backend that appends
// "URI=<device uri>" and the job's bytes to <out>/<queue>.out.
class CupsWorld {
public:
    // Why no scheduler can be started here, or nothing when one can.
    static std::optional<std::string> missingTools();

    CupsWorld();
    // Stops the scheduler and removes the folder.
    ~CupsWorld();
    CupsWorld(const CupsWorld&) = delete;
    CupsWorld& operator=(const CupsWorld&) = delete;

    bool running() const { return running_; }
    const std::string& startError() const { return startError_; }
    const std::string& socket() const { return socket_; }
    const std::string& root() const { return root_; }
    std::string outFile(const std::string& queue) const;
    // Prefix for a command line that talks to this scheduler.
    std::string env() const;

    // Deletes every queue and job, then adds the standard set (see the .cpp).
    void resetQueues();
    // The PPD of a driver with this NickName.
    std::string ppdFor(const std::string& nickName);

    // lpstat -v: queue name -> device URI.
    std::map<std::string, std::string> devices();
    // IPP Get-Printer-Attributes of one queue.
    struct QueueState {
        std::string state;    // "idle", "processing", "stopped"
        std::string message;  // printer-state-message
        std::string uri;
        bool accepting = false;
    };
    QueueState ipp(const std::string& queue);
    // Job ids of the queue's jobs that have not completed.
    std::vector<std::string> pendingJobs(const std::string& queue);
    // Waits (bounded) until the file exists and is not empty.
    bool waitForFile(const std::string& path, int timeoutSeconds = 10);

private:
    void stop();

    std::string root_;
    std::string socket_;
    std::string pid_;
    bool running_ = false;
    std::string startError_;
    std::map<std::string, std::string> ppds_;
};

}  // namespace kv::testing
