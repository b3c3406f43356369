#pragma once
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "emulator/PrinterModel.h"
#include "platform/Network.h"

namespace kv::emulator {

// "A.B.C.D" (four decimal numbers 0..255) in network byte order.
std::optional<uint32_t> parseDottedQuad(std::string_view text);
// "A.B.C.D:PORT" or "A.B.C.D"; the port defaults to defaultPort.
struct ListenAddress {
    uint32_t address = 0;
    uint16_t port = 0;
};
std::optional<ListenAddress> parseListenAddress(std::string_view text, uint16_t defaultPort);
std::string formatAddress(uint32_t address, uint16_t port);

// Serves one PrinterModel over TCP, one connection after another, on a
// thread of its own. Each connection starts with a fresh link (see
// PrinterModel::linkReset). Replies in several pieces go out with a pause
// between them, so the peer sees each piece in a receive of its own.
// The model should not keep a status pending on its own (a local link kind
// needs statusStaysPending off), or the server would stream it forever.
class TcpServer {
public:
    struct Options {
        std::string address = "127.0.0.1";
        uint16_t port = 10001;  // 0: a free port, see port()
        uint32_t pieceGapMs = 50;
        // Stops reading once the latest image has this many bytes: what
        // the host sends then stays unread in the socket (a printer that
        // hangs mid-flash).
        std::optional<uint64_t> stopReadingAfterImageBytes;
        // Each request's reply waits this long first: a printer slow to
        // answer (wall time; a stop of the server ends the wait).
        uint32_t replyDelayMs = 0;
        // Each event and request as a readable line.
        std::function<void(const std::string&)> log;
    };

    TcpServer(PrinterModel& model, platform::Network& network, Options options);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens and starts serving; false when the address is bad or cannot
    // be bound.
    bool start();
    // The port listened on (the chosen one when asked for 0).
    uint16_t port() const;
    // Ends the current connection and the serving; idempotent.
    void stop();

    // From now on each reply waits `ms` first (as Options::replyDelayMs).
    void setReplyDelay(uint32_t ms) { replyDelayMs_ = ms; }

    size_t connectionsServed() const;
    // Bytes received on all connections and handed to the model.
    uint64_t bytesReceived() const;
    // Waits until at least `count` bytes were received and handed to the
    // model; false when the time ran out. Lets a test whose host runs on a
    // virtual clock make sure the printer has seen what was sent before
    // that clock moves on.
    bool waitForBytesReceived(uint64_t count, std::chrono::milliseconds timeout) const;

private:
    void run();
    void serve(platform::SocketHandle connection, size_t number);
    void logNewRequests(size_t number);
    void log(const std::string& line);
    // How many bytes the next receive may take: fewer near the point where
    // reading stops, 0 past it.
    size_t receiveAllowance() const;
    // Waits the gap between reply pieces; false when stopping.
    bool pauseBetweenPieces();
    // Waits `ms`; false when stopping.
    bool pause(uint32_t ms);

    PrinterModel& model_;
    platform::Network& network_;
    Options options_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    mutable std::condition_variable received_;
    uint64_t bytesReceived_ = 0;
    bool stopping_ = false;
    platform::SocketHandle listener_;
    platform::SocketHandle current_;
    uint16_t port_ = 0;
    size_t served_ = 0;
    size_t logged_ = 0;
    std::atomic<uint32_t> replyDelayMs_{0};
};

}  // namespace kv::emulator
