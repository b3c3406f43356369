#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::platform {

// The main dialog's controls that the discovery and flash code writes to.
// Order and names follow the dialog's control table.
enum class Control {
    statusText,
    printerModelText,
    portText,
    languageText,
    logicBoardText,
    currentVersionText,
    flashButton,
    helpButton,
    findPrinterButton,
    programStatusText,
    programStateText,
    programGroup,
    programStatusLabel,
    programStateLabel,
    spareText,
    optionList,
    selectFileButton,
    findEthernetButton,
    ipAddressLabel,
    ethernetGroup,
    ethernetPortLabel,
    ipOctetEdit1,
    ipOctetEdit2,
    ipOctetEdit3,
    ipOctetEdit4,
    portEdit,
    count
};

inline constexpr size_t kControlCount = static_cast<size_t>(Control::count);

std::string_view controlName(Control control);
// The dialog item id of a control (1013 for statusText, ...).
int controlId(Control control);

// Where a transfer is, as numbers for a progress bar: seconds for the start
// delay and the reset wait, bytes for the data.
enum class TransferPhase { None, StartDelay, Data, ResetWait };
struct TransferProgress {
    TransferPhase phase = TransferPhase::None;
    uint64_t done = 0;
    uint64_t total = 0;
};

// Callable from any thread. A worker's changes reach the UI thread without
// the UI thread ever waiting for the worker.
class DialogControls {
public:
    virtual ~DialogControls() = default;
    virtual void setText(Control control, const std::string& text) = 0;
    virtual void enable(Control control, bool enabled) = 0;
    virtual void show(Control control, bool visible) = 0;
    virtual void setProgress(const TransferProgress&) {}
};

}  // namespace kv::platform
