#pragma once
#include <array>
#include <cstdint>
#include <optional>
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
    historyButton,
    networkPrintersButton,
    count
};

inline constexpr size_t kControlCount = static_cast<size_t>(Control::count);

std::string_view controlName(Control control);
// The dialog item id of a control (1013 for statusText, ...).
int controlId(Control control);

// Where a transfer stands, as numbers beside the texts of the two program
// lines: seconds for the start delay and the reset wait, bytes for the data.
enum class TransferPhase { None, StartDelay, Data, ResetWait };
struct TransferProgress {
    TransferPhase phase = TransferPhase::None;
    uint64_t done = 0;
    uint64_t total = 0;
    friend bool operator==(const TransferProgress&, const TransferProgress&) = default;
};

// What a flash came to, judged after the printer was identified again.
enum class VerifyOutcome { Verified, Mismatch, NotFound, Unchecked, Failed };
// "verified", "mismatch", "not-found", "unchecked", "failed".
std::string_view verifyOutcomeName(VerifyOutcome outcome);
// The outcome of that name; nothing for another text.
std::optional<VerifyOutcome> verifyOutcomeNamed(std::string_view name);

// How a verdict is shown wherever it is shown: green for a verified flash,
// amber for one that could not be checked, red for the rest.
enum class VerdictTone { Good, Doubtful, Bad };
VerdictTone verdictTone(VerifyOutcome outcome);

struct Verification {
    VerifyOutcome outcome = VerifyOutcome::Failed;
    // For scripts and the record: what was compared, or what went wrong.
    std::string detail;
    // For the window's verification line.
    std::string line;
    friend bool operator==(const Verification&, const Verification&) = default;
};

// What the image's signature says, with trusted keys configured or a
// .minisig beside the image.
struct SignatureFacts {
    bool shown = false;     // checking is on, or a .minisig lies beside the image
    bool checking = false;  // a trusted key is configured: a refusal stops the flash
    bool good = false;      // signed by a trusted key, both signatures valid
    std::string keyId;      // of the signature, once read
    std::string trustedComment;
    std::string reason;     // why it is not good
    std::string extraKeys;  // the KVFLASH_TRUSTED_KEYS folder, when used
    // Whether the image may be flashed.
    bool allows() const { return good || !checking; }
    friend bool operator==(const SignatureFacts&, const SignatureFacts&) = default;
};

// The image file accepted for the next flash.
struct ImageFacts {
    std::string fileName;  // without its folders
    bool readable = false;
    std::string reason;  // why it cannot be read
    uint64_t size = 0;
    std::string version;  // its "FWV:" value; empty without a marker
    std::string sha256;   // lower-case hex
    SignatureFacts signature;
    friend bool operator==(const ImageFacts&, const ImageFacts&) = default;
};

// Callable from any thread. A worker's changes reach the UI thread without
// the UI thread ever waiting for the worker.
class DialogControls {
public:
    virtual ~DialogControls() = default;
    virtual void setText(Control control, const std::string& text) = 0;
    virtual void enable(Control control, bool enabled) = 0;
    virtual void show(Control control, bool visible) = 0;
    // Shown disabled while held, whatever enable() says meanwhile; released,
    // it shows its own state again. Front ends without a window ignore it.
    virtual void hold(Control, bool) {}
    // Front ends without a bar ignore it.
    virtual void setProgress(const TransferProgress&) {}
    // The image line and the verification line under the program lines;
    // nullopt empties them.
    virtual void setImageFacts(const std::optional<ImageFacts>&) {}
    virtual void setVerification(const std::optional<Verification>&) {}
};

}  // namespace kv::platform
