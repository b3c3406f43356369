#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/FileBytes.h"
#include "image/FirmwareMarker.h"
#include "image/Sha256.h"
#include "platform/Clock.h"

namespace kv::emulator {

// What the model keeps of a host that sends without end: the first lines of
// its request log (the rest are counted), the first bytes of a run of
// unknown bytes in a log line, and the replies waiting to be read (further
// ones are lost, as in a printer's full output buffer).
inline constexpr size_t kMaxRequestLogLines = 10000;
inline constexpr size_t kUnknownBytesShown = 64;
inline constexpr size_t kMaxPendingReplies = 1024;

// How the printer is reached; it changes what a request is answered with.
enum class LinkKind { Tcp, Usb, Parallel };

struct PrinterConfig {
    LinkKind link = LinkKind::Tcp;
    // IEEE 1284 device ID: answered to "<SA08>" over TCP, and to the device
    // query on a local port.
    std::string deviceId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
    // Bytes 3 and 4 of every status reply.
    uint8_t statusByte3 = 0x00;
    uint8_t statusByte4 = 0x00;
    // Deliver each reply in pieces of at most this many bytes per read
    // (0: the whole reply at once).
    size_t replySplit = 0;
    // Accepts and never answers.
    bool silent = false;

    // --- Local links (USB, parallel) ---
    // The device-ID query of a local port fails.
    bool deviceIdQueryFails = false;
    // A status reply is pending right after power-up.
    bool statusAtPowerUp = true;
    // Once everything pending was read, the printer's current status (an S
    // reply) is pending again, as a real printer keeps answering reads.
    // Off: reads bring nothing until the next request.
    bool statusStaysPending = true;
    // Firmware text of the E, C and A replies (at most 99 characters).
    // Empty: the value after "FWV:" in the device ID, up to ';'.
    std::string firmwareText;

    // --- ZOR1 family: only the binary status and version requests ---
    bool zor1Family = false;
    // The one byte answered to 10 AA 55 80 54 AB.
    uint8_t hwStatusByte = 0x00;
    // The four characters answered to GS I A. Empty: the firmware text
    // without its leading 'V', cut to four characters.
    std::string versionChars;
    // The version reply starts with the pair AA 55.
    bool versionPrefixAA55 = false;
    // Sizes of the pieces the version reply is read in (the last piece takes
    // what is left). Empty: as replySplit says.
    std::vector<size_t> versionBursts;

    // --- Faults ---
    // Every status reply (S, N, E, C, "<SS>", the ZOR1 status byte and the
    // pending status) is exactly these bytes instead, e.g. a short or a
    // garbage reply.
    std::optional<std::vector<uint8_t>> statusReplyOverride;
    // The link drops once the printer took this many bytes on it: further
    // bytes are refused and nothing more is answered (TCP: the connection
    // closes).
    std::optional<size_t> dropAfterBytes;

    // --- Flash programming ---
    // Local: the status reply to ESC "IA" 0x0F carries this text (an E reply
    // with it in field 05). TCP: the whole reply to "<SA15>".
    std::string flashReadyText = "FLASH READY";
    // The image has ended once no byte came for this long (clock time); see
    // PrinterModel for when that is judged.
    uint32_t flashQuietMs = 1000;
    // After the image the printer answers nothing for this long (clock
    // time), then comes back with the image's firmware version.
    uint32_t resetMs = 5000;

    // --- Flash faults ---
    // The reply to the flash-mode request lacks "FLASH READY"; the printer
    // stays out of flash mode.
    bool flashReadyMissing = false;
    // Local: the reply to ESC "IA" 0x0F comes behind a plain S status the
    // printer offers first, on its own (on USB, usblp hands that status over
    // where "FLASH READY" is expected).
    bool lateFlashReady = false;
    // From ESC "*FR" on the printer answers nothing at all (no status reply,
    // no "FLASH READY", no device ID) until it is power-cycled.
    bool silentAfterFlashRequest = false;
    // The link drops once this many image bytes were taken.
    std::optional<size_t> dropAfterImageBytes;
    // Stops reading once this many image bytes were taken: what the host
    // sends after them stays unread (a printer that hangs mid-flash).
    std::optional<size_t> stopReadingAfterImageBytes;
    // Short writes: every write takes at most this many bytes (0: all).
    size_t writeLimit = 0;
    // After the image the printer never answers again.
    bool neverComesBack = false;

    // --- Memory ---
    // Bytes kept of everything received and of the latest image (received(),
    // flashImage()); beyond, they are counted and the image hashed, nothing
    // more. The default is the largest image kvflash sends.
    uint64_t keepBytes = kMaxFirmwareImageBytes;
};

// Where a flash stands.
enum class FlashPhase {
    Idle,       // not flashing (or back after a flash)
    Requested,  // ESC "*FR" taken, the flash-mode request not yet
    Receiving,  // in flash mode: every byte is image data
    Resetting,  // the image has ended; nothing is answered
    Dead,       // the image has ended and the printer never comes back
};
std::string_view flashPhaseName(FlashPhase phase);

// What a flash left behind, for logs and summaries.
struct FlashSummary {
    size_t flashes = 0;         // times flash mode was entered
    uint64_t imageBytes = 0;    // image bytes of the latest flash
    std::string imageSha256;    // of all of them, lower-case hex
    std::string versionBefore;  // firmware text when the latest flash began
    std::string versionNow;     // firmware text the printer reports now
    FlashPhase phase = FlashPhase::Idle;
    bool incomplete = false;  // the latest image was cut (see PrinterModel)
};

// A KV printer as a byte machine: bytes written by the host go in, replies
// come out on later reads. Safe to share between threads.
//
// Requests are recognised from a table chosen by link and family (see
// requestTable()); a new request kind is a table row and a case in
// answer(). Bytes that start no known request are logged and dropped.
//
// Flash programming. Local links: ESC "*FR" (answered by an ordinary S
// status reply), then ESC "IA" 0x0F, answered by a status reply that holds
// flashReadyText; on a parallel port the host's one 0x00 byte that follows
// is taken as such and is not image data. ZOR1 family on a local link: the
// 9-byte programming command 1A 75 AA 55 80 len0 len1 H H2, then exactly
// that many image bytes. TCP: ESC "*FR" (no reply), then "<SA15>",
// answered by flashReadyText. From flash-mode entry on, every byte is image
// data: hashed as it comes, its version marker looked for, and kept byte for
// byte up to keepBytes (flashImage()).
//
// When the image has ended. ZOR1: once the announced payload is complete.
// Otherwise writes never end it (bytes may reach the model late, after the
// host's clock has moved on); it ends when the host polls — a device-ID
// query or a read that finds nothing pending on a local port, a new TCP
// connection — and is then dated back to flashQuietMs after the last image
// byte (after the entry when none came), if that is earlier than the poll.
// So a host that waits its reset time before probing finds the printer
// back, and one that probes at once finds it resetting. The reset lasts
// resetMs on the clock (no time at all without a clock, and no quiet time
// either); then the printer answers again, its device ID's "FWV:" value
// replaced by the version in the image (firmwareVersionInImage), or
// unchanged when the image carries none or was cut.
//
// A cut image: the printer stopped taking it before it ended, whatever the
// cause (its link dropped, it stopped reading, or the link ended while the
// image was still arriving, see linkEnded). A printer that did not take the
// whole image keeps its old firmware.
class PrinterModel {
public:
    explicit PrinterModel(PrinterConfig config = {}, platform::Clock* clock = nullptr);

    // Host to printer. Returns how many bytes the printer took.
    size_t write(const uint8_t* data, size_t length);
    size_t write(const std::string& bytes) {
        return write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    // Printer to host: at most `capacity` bytes of what is pending (also
    // bounded by replySplit). Empty when nothing is pending.
    std::vector<uint8_t> read(size_t capacity);
    bool hasPending() const;
    // The S status a printer on a local link keeps pending for the host in
    // its present state, whether or not statusStaysPending is set; nothing
    // while it does not answer (ZOR1 family, silent, in flash mode, away).
    std::optional<std::vector<uint8_t>> pendingStatus() const;

    // The device-ID query of a local port; nothing when the printer does
    // not answer it. In flash mode it is a poll (see above).
    std::optional<std::string> queryDeviceId();

    // The bytes the host wrote, in order, up to keepBytes of them.
    std::vector<uint8_t> received() const;
    // How many bytes the host wrote.
    uint64_t receivedCount() const;
    // One readable line per request recognised, for logs; the first
    // kMaxRequestLogLines of them.
    std::vector<std::string> requestLog() const;
    // The lines from index `from` on.
    std::vector<std::string> requestLogFrom(size_t from) const;
    // Lines past the kept ones, counted only.
    size_t requestLinesNotKept() const;

    PrinterConfig config() const;
    void setConfig(const PrinterConfig& config);

    // Switched off and on: unread replies and partial requests are gone and
    // the power-up status is pending again. What was received is kept.
    void powerCycle();
    // A new connection (TCP) or reopened port: partial requests and unread
    // replies of the old one are gone, and the drop fault is re-armed. In
    // flash mode it is a poll (see above).
    void linkReset();
    // The link dropped (dropAfterBytes or dropAfterImageBytes reached); the
    // host side should close.
    bool linkDropped() const;
    // The link the host wrote on has ended (TCP: the connection closed; USB:
    // unplugged). An image still arriving on it (its host not yet quiet for
    // flashQuietMs; ZOR1: short of its announced length) is cut.
    void linkEnded();
    // How many more bytes the printer reads now: none once it stopped taking
    // the image, else the host's bytes are all taken.
    uint64_t readAllowance() const;

    // Resetting after an image, or never coming back: nothing is answered.
    bool offline() const;
    FlashPhase flashPhase() const;
    // The image bytes of the latest flash, in order, up to keepBytes of
    // them (flashSummary() counts and hashes them all).
    std::vector<uint8_t> flashImage() const;
    FlashSummary flashSummary() const;

    // The firmware text the printer reports now.
    std::string firmwareText() const;

    // The request kinds the model knows.
    enum class Request {
        DeviceIdTcp,      // "<SA08>"
        StatusTcp,        // "<SS>"
        StatusS,          // ESC I S
        StatusN,          // ESC I N
        StatusE,          // ESC I E
        StatusC,          // ESC I C
        FirmwareA,        // ESC I A 05
        HwStatus,         // 10 AA 55 80 54 AB
        HwVersion,        // GS I A
        FlashRequest,     // ESC *FR
        FlashEnterLocal,  // ESC I A 0F
        FlashEnterTcp,    // "<SA15>"
        ProgramCommand,   // 1A 75 AA 55 80 and four bytes more (ZOR1 family)
    };
    struct RequestRow {
        Request kind;
        std::string_view bytes;
        std::string_view name;  // for the log
    };
    // The requests this configuration recognises.
    static std::vector<RequestRow> requestTable(const PrinterConfig& config);

    // The payload length a programming command announces (its bytes 5 to 8).
    static uint64_t programCommandLength(const uint8_t* command);

private:
    struct Flash {
        FlashPhase phase = FlashPhase::Idle;
        bool silent = false;  // silentAfterFlashRequest has struck
        uint64_t enteredAt = 0;
        uint64_t lastByteAt = 0;
        bool anyByte = false;
        bool awaitBenignZero = false;       // parallel: the host's 0x00 comes first
        std::optional<uint64_t> announced;  // ZOR1: payload length
        bool incomplete = false;
        uint64_t backAt = 0;
        std::string newVersion;  // found in the image
    };

    uint64_t nowLocked() const;
    // Ends the image on a poll, and brings the printer back once its reset
    // time is over.
    void settleLocked(bool poll);
    void endImageLocked(uint64_t at, const char* why);
    // The one way an image is cut: logged, and the old firmware stays.
    void cutImageLocked(std::string line);
    // Where the printer stops taking image bytes, short of the image's end.
    std::optional<uint64_t> cutPointLocked() const;
    uint64_t quietEndLocked() const;
    bool offlineLocked() const;
    void enterFlashModeLocked(std::optional<uint64_t> announced);
    size_t takeImageLocked(const uint8_t* data, size_t length);
    void powerUpLocked();
    void parseLocked();
    void answerLocked(const RequestRow& row, const std::vector<uint8_t>& request);
    void logReplyLocked(std::string line, const std::vector<uint8_t>& reply);
    void logLocked(std::string line);
    void flushUnknownLocked();
    void enqueueLocked(std::vector<uint8_t> reply, const std::vector<size_t>& bursts);
    // It offers its status without being asked: a printer on a local link
    // that answers at all (not of the ZOR1 family, not silent, cut off or
    // away for its reset).
    bool speaksUnaskedLocked() const;
    bool idleStatusAppliesLocked() const;
    std::string firmwareTextLocked() const;
    std::string deviceIdLocked() const;
    std::vector<uint8_t> statusReplyLocked(char kind) const;
    std::vector<uint8_t> firmwareReplyLocked() const;
    std::vector<uint8_t> hwVersionReplyLocked() const;

    mutable std::mutex mutex_;
    PrinterConfig config_;
    std::vector<RequestRow> table_;  // requestTable(config_)
    platform::Clock* clock_;
    std::vector<uint8_t> received_;  // the first keepBytes
    uint64_t receivedCount_ = 0;
    std::vector<uint8_t> inbox_;                // bytes not yet parsed into a request
    std::vector<uint8_t> unknown_;              // the first unrecognised bytes not yet logged
    size_t unknownCount_ = 0;                   // and how many there are
    std::deque<std::vector<uint8_t>> pending_;  // reply pieces, one per read
    std::vector<std::string> requestLog_;
    size_t requestLinesNotKept_ = 0;
    size_t linkBytes_ = 0;
    bool dropped_ = false;
    Flash flash_;
    std::vector<uint8_t> image_;  // the first keepBytes of the latest image
    uint64_t imageCount_ = 0;
    Sha256 imageHash_;
    FirmwareMarkerScanner imageMarker_;
    size_t flashes_ = 0;
    std::string versionBefore_;
    // The firmware text a flash put in; empty: as configured.
    std::string flashedVersion_;
    size_t ignoredWhileOffline_ = 0;
};

// Reply layouts of a printer that speaks the status format: a kind letter,
// then numbered fields ("00" status bytes, "01" three zero bytes, "02"
// "00000000", "03" "00C", "04" two zero bytes, "05" text length as two
// digits and the text).
std::vector<uint8_t> buildStatusReply(char kind, uint8_t byte3, uint8_t byte4,
                                      std::string_view firmwareText);
// The firmware-version reply: 'A', field 05 with the text.
std::vector<uint8_t> buildFirmwareReply(std::string_view firmwareText);

}  // namespace kv::emulator
