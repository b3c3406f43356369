#pragma once
#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DialogControls.h"
#include "state/Context.h"

namespace kv {

// `kvflash --identify A.B.C.D[:PORT]`: "Find Ethernet Printer" on that
// address, and what the dialog then shows.
struct IdentifyResult {
    bool idRead = false;
    bool ready = false;
    std::string model;
    std::string port;
    std::string language;
    std::string logicBoard;
    std::string firmwareVersion;
    std::string status;  // the dialog's status line
};

// The dialog's fields as the search fills them, with no window behind;
// readable from another thread while the search runs (a signal's handler
// reports what was found so far).
class IdentifyFields final : public platform::DialogControls {
public:
    void setText(platform::Control control, const std::string& text) override;
    void enable(platform::Control, bool) override {}
    void show(platform::Control, bool) override {}
    // The fields so far; `ready` is the caller's.
    IdentifyResult result() const;

private:
    mutable std::mutex mutex_;
    std::array<std::optional<std::string>, platform::kControlCount> texts_;
};

// Runs findEthernetPrinter on the address and port texts into `fields` and
// reads the fields it filled.
IdentifyResult identifyEthernetPrinter(Context& ctx, IdentifyFields& fields);

// The report, one "Name: value" line each.
std::string formatIdentifyResult(const IdentifyResult& result);

// The report of a run a signal ended: what was found so far, with the
// status line saying so.
std::string formatInterruptedIdentify(const IdentifyFields& fields, int signalNumber);

// The whole command; the report goes to `out`. Exit code: 0 when the
// printer was identified (ready or not), 1 when it could not be, 2 for a
// target that is not A.B.C.D[:PORT].
int runIdentifyCommand(Context& ctx, std::string_view target, IdentifyFields& fields,
                       std::string& out);
int runIdentifyCommand(Context& ctx, std::string_view target, std::string& out);

}  // namespace kv
