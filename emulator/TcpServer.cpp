#include "emulator/TcpServer.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "platform/Ipv4.h"

namespace kv::emulator {

namespace {

constexpr size_t kReceiveChunk = 4096;
// How often an idle connection looks for a stop and for a newer connection.
constexpr uint32_t kWaitSliceMs = 100;

}  // namespace

std::optional<uint32_t> parseDottedQuad(std::string_view text) {
    const std::optional<uint32_t> host = platform::parseDottedDecimal(text);
    if (!host) return std::nullopt;
    return platform::swapToNetworkOrder(*host);
}

std::optional<ListenAddress> parseListenAddress(std::string_view text, uint16_t defaultPort) {
    ListenAddress out;
    out.port = defaultPort;
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        const std::optional<uint32_t> port = platform::parsePortDigits(text.substr(colon + 1));
        if (!port || *port > 65535) return std::nullopt;
        out.port = static_cast<uint16_t>(*port);
        text = text.substr(0, colon);
    }
    const std::optional<uint32_t> address = parseDottedQuad(text);
    if (!address) return std::nullopt;
    out.address = *address;
    return out;
}

std::string formatAddress(uint32_t address, uint16_t port) {
    return platform::dottedDecimal(platform::swapToNetworkOrder(address)) + ":" +
           std::to_string(port);
}

TcpServer::TcpServer(PrinterModel& model, platform::Network& network, Options options)
    : model_(model),
      network_(network),
      options_(std::move(options)),
      replyDelayMs_(options_.replyDelayMs) {}

TcpServer::~TcpServer() { stop(); }

bool TcpServer::start() {
    const std::optional<uint32_t> address = parseDottedQuad(options_.address);
    if (!address) {
        log("bad listen address " + options_.address);
        return false;
    }
    const platform::SocketHandle listener = network_.listen(*address, options_.port);
    if (!listener.valid()) {
        log("cannot listen on " + formatAddress(*address, options_.port) + " (error " +
            std::to_string(network_.lastError()) + ")");
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        listener_ = listener;
        port_ = network_.localPort(listener);
        logged_ = model_.requestLog().size();
    }
    log("listening on " + formatAddress(*address, port()));
    thread_ = std::thread([this] { run(); });
    return true;
}

uint16_t TcpServer::port() const {
    std::lock_guard lock(mutex_);
    return port_;
}

uint64_t TcpServer::bytesReceived() const {
    std::lock_guard lock(mutex_);
    return bytesReceived_;
}

bool TcpServer::waitForBytesReceived(uint64_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return received_.wait_for(lock, timeout, [&] { return bytesReceived_ >= count; });
}

size_t TcpServer::connectionsServed() const {
    std::lock_guard lock(mutex_);
    return served_;
}

void TcpServer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (listener_.valid()) network_.shutdown(listener_);
        if (current_.valid()) network_.shutdown(current_);
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    if (listener_.valid()) {
        network_.close(listener_);
        listener_ = platform::SocketHandle::invalid();
    }
}

void TcpServer::run() {
    platform::SocketHandle listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    for (size_t number = 1;; ++number) {
        const platform::SocketHandle connection = network_.accept(listener);
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                if (connection.valid()) network_.close(connection);
                return;
            }
            current_ = connection;
        }
        if (!connection.valid()) {
            log("accept failed (error " + std::to_string(network_.lastError()) + ")");
            return;
        }
        serve(connection, number);
        {
            std::lock_guard lock(mutex_);
            current_ = platform::SocketHandle::invalid();
            ++served_;
            network_.close(connection);
        }
    }
}

void TcpServer::serve(platform::SocketHandle connection, size_t number) {
    const std::string tag = "[" + std::to_string(number) + "] ";
    log(tag + "connection opened");
    model_.linkReset();
    logNewRequests(number);
    if (model_.offline()) {
        // A printer that is resetting has no one to talk to.
        log(tag + "connection closed (" +
            (model_.flashPhase() == FlashPhase::Dead ? "printer never came back"
                                                     : "printer resetting") +
            ")");
        return;
    }
    platform::SocketHandle listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    std::array<uint8_t, kReceiveChunk> buffer{};
    const char* why = "peer closed";
    bool readingStopped = false;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                why = "server stopping";
                break;
            }
        }
        const size_t allowance = receiveAllowance();
        bool readable = false;
        if (allowance > 0) {
            readable = network_.waitReadable(connection, kWaitSliceMs);
        } else {
            if (!readingStopped) log(tag + "stopped reading");
            readingStopped = true;
            pause(kWaitSliceMs);
        }
        if (!readable) {
            // One connection at a time, like the printer: an idle one gives
            // way to a newer one (a host that reconnects without closing,
            // as after a flash, whose connection it leaves open).
            if (network_.waitReadable(listener, 0)) {
                why = "a newer connection is waiting";
                break;
            }
            continue;
        }
        const int64_t n = network_.receive(connection, buffer.data(), allowance);
        if (n <= 0) {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                why = "server stopping";
            } else if (n < 0) {
                why = "receive failed";
            }
            break;
        }
        // A printer taking short writes gets the rest offered again.
        size_t at = 0;
        while (at < static_cast<size_t>(n)) {
            const size_t took = model_.write(buffer.data() + at, static_cast<size_t>(n) - at);
            at += took;
            if (took == 0 || model_.linkDropped() || at == static_cast<size_t>(n)) break;
            if (!pauseBetweenPieces()) break;
        }
        {
            std::lock_guard lock(mutex_);
            bytesReceived_ += static_cast<uint64_t>(n);
        }
        received_.notify_all();
        logNewRequests(number);
        if (model_.linkDropped()) {
            why = "printer dropped the link";
            break;
        }
        if (model_.hasPending() && replyDelayMs_ > 0 && !pause(replyDelayMs_)) {
            why = "server stopping";
            break;
        }
        bool first = true;
        bool sendFailed = false;
        while (model_.hasPending()) {
            if (!first && !pauseBetweenPieces()) break;
            first = false;
            const std::vector<uint8_t> piece = model_.read(SIZE_MAX);
            if (piece.empty()) break;
            if (network_.send(connection, piece.data(), piece.size()) < 0) {
                sendFailed = true;
                break;
            }
        }
        if (sendFailed) {
            why = "send failed";
            break;
        }
    }
    log(tag + "connection closed (" + why + ")");
}

size_t TcpServer::receiveAllowance() const {
    if (!options_.stopReadingAfterImageBytes || model_.flashPhase() != FlashPhase::Receiving) {
        return kReceiveChunk;
    }
    const uint64_t taken = model_.flashSummary().imageBytes;
    const uint64_t limit = *options_.stopReadingAfterImageBytes;
    return taken >= limit ? 0
                          : static_cast<size_t>(std::min<uint64_t>(kReceiveChunk, limit - taken));
}

bool TcpServer::pauseBetweenPieces() { return pause(options_.pieceGapMs); }

bool TcpServer::pause(uint32_t ms) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void TcpServer::logNewRequests(size_t number) {
    size_t from;
    {
        std::lock_guard lock(mutex_);
        from = logged_;
    }
    const std::vector<std::string> lines = model_.requestLogFrom(from);
    {
        std::lock_guard lock(mutex_);
        logged_ = from + lines.size();
    }
    for (const std::string& line : lines) log("[" + std::to_string(number) + "] " + line);
}

void TcpServer::log(const std::string& line) {
    if (options_.log) options_.log(line);
}

}  // namespace kv::emulator
