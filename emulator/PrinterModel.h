#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace kv::emulator {

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
};

// A KV printer as a byte machine: bytes written by the host go in, replies
// come out on later reads. Safe to share between threads.
//
// Requests are recognised from a table chosen by link and family (see
// requestTable()); a new request kind is a table row and a case in
// answer(). Bytes that start no known request are logged and dropped.
// Flash programming is not modelled yet; it slots in as rows for the
// flash-mode requests, a mode in which write() hands bytes to the image
// instead of the parser, and a reset timed on the clock after which
// deviceIdNow() and firmwareText() report the image's version.
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

    // The device-ID query of a local port; nothing when the printer does
    // not answer it.
    std::optional<std::string> queryDeviceId() const;

    // Every byte the host wrote, in order.
    std::vector<uint8_t> received() const;
    // One readable line per request recognised, for logs.
    std::vector<std::string> requestLog() const;
    // The lines from index `from` on.
    std::vector<std::string> requestLogFrom(size_t from) const;

    PrinterConfig config() const;
    void setConfig(const PrinterConfig& config);

    // Switched off and on: unread replies and partial requests are gone and
    // the power-up status is pending again. What was received is kept.
    void powerCycle();
    // A new connection (TCP) or reopened port: partial requests and unread
    // replies of the old one are gone, and the drop fault is re-armed.
    void linkReset();
    // The link dropped (dropAfterBytes reached); the host side should close.
    bool linkDropped() const;

    // The firmware text and device ID the printer reports now.
    std::string firmwareText() const;
    std::string deviceIdNow() const;

    // The request kinds the model knows.
    enum class Request {
        DeviceIdTcp,   // "<SA08>"
        StatusTcp,     // "<SS>"
        StatusS,       // ESC I S
        StatusN,       // ESC I N
        StatusE,       // ESC I E
        StatusC,       // ESC I C
        FirmwareA,     // ESC I A 05
        HwStatus,      // 10 AA 55 80 54 AB
        HwVersion,     // GS I A
    };
    struct RequestRow {
        Request kind;
        std::string_view bytes;
        std::string_view name;  // for the log
    };
    // The requests this configuration recognises.
    static std::vector<RequestRow> requestTable(const PrinterConfig& config);

private:
    void powerUpLocked();
    void parseLocked();
    void answerLocked(const RequestRow& row);
    void flushUnknownLocked();
    void enqueueLocked(std::vector<uint8_t> reply, const std::vector<size_t>& bursts);
    bool idleStatusAppliesLocked() const;
    std::string firmwareTextLocked() const;
    std::string deviceIdLocked() const;
    std::vector<uint8_t> statusReplyLocked(char kind) const;
    std::vector<uint8_t> firmwareReplyLocked() const;
    std::vector<uint8_t> hwVersionReplyLocked() const;

    mutable std::mutex mutex_;
    PrinterConfig config_;
    platform::Clock* clock_;
    std::vector<uint8_t> received_;
    std::vector<uint8_t> inbox_;    // bytes not yet parsed into a request
    std::vector<uint8_t> unknown_;  // unrecognised bytes not yet logged
    std::deque<std::vector<uint8_t>> pending_;  // reply pieces, one per read
    std::vector<std::string> requestLog_;
    size_t linkBytes_ = 0;
    bool dropped_ = false;
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
