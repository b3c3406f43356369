#include "link/Ethernet.h"

#include <array>

#include "link/InetAddr.h"

namespace kv {

namespace {

constexpr const char* kSeparator = "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr";

int64_t sendText(platform::Services& sys, platform::SocketHandle socket, std::string_view text) {
    return sys.network().send(socket, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace

std::string joinAddress(std::string_view part1, std::string_view part2, std::string_view part3,
                        std::string_view part4) {
    std::string joined;
    joined.reserve(part1.size() + part2.size() + part3.size() + part4.size() + 3);
    joined.append(part1).append(".").append(part2).append(".").append(part3).append(".").append(
        part4);
    return fitField(joined, kAddressJoinedSize);
}

bool openSocket(platform::Services& sys, platform::SocketHandle& socket, std::string_view part1,
                std::string_view part2, std::string_view part3, std::string_view part4,
                std::string_view portText, PrinterData& printer) {
    platform::Trace& t = sys.trace();
    platform::Network& n = sys.network();
    const std::string address = joinAddress(part1, part2, part3, part4);
    platform::tracef(t, "IP address = %s", address.c_str());
    const uint16_t port = portFromText(portText);
    platform::tracef(t, "Port number = %d", static_cast<int>(port));

    if (!n.startup()) {
        t.write("Client: Error at WSAStartup()");
        printer.portType = PORT_TYPE_NONE;
        return false;
    }
    t.write("Client: WSAStartup() is OK");

    const platform::SocketHandle opened = n.openTcp();
    if (!opened.valid()) {
        platform::tracef(t, "Client: socket() - Error at socket(): %ld",
                         static_cast<long>(n.lastError()));
        n.cleanup();
        printer.portType = PORT_TYPE_NONE;
        return false;
    }
    t.write("Client: socket() is OK");

    if (!n.connect(opened, inetAddr(address), port)) {
        t.write("Client: connect() - Failed to connect");
        // The socket of a failed connect is of no further use; keeping it
        // open would leak one descriptor per failed search.
        n.close(opened);
        n.cleanup();
        printer.portType = PORT_TYPE_NONE;
        return false;
    }
    t.write("Client: connect() is OK");
    socket = opened;
    printer.portType = PORT_TYPE_ETHERNET;
    t.write("Client: setting printerData->portType = PORT_TYPE_ETHERNET");
    return true;
}

void closeSocket(platform::Services& sys, platform::SocketHandle socket) {
    platform::Trace& t = sys.trace();
    t.write("closeSocket - Entry");
    sys.network().close(socket);
    t.write("closeSocket - Complete");
}

bool GetPrinterIDEthernet(platform::Services& sys, platform::SocketHandle socket,
                          PrinterData& printer) {
    platform::Trace& t = sys.trace();
    std::array<uint8_t, kEthernetReplySize> reply{};
    t.write("GetPrinterIDEthernet - Entry");

    const int64_t sent = sendText(sys, socket, "<SA08>");
    if (sent < 0) {
        t.write("GetPrinterIDEthernet - Error sending <SA08>");
        return false;
    }
    platform::tracef(t, "GetPrinterIDEthernet - Sent <SA08> bytes send = %d",
                     static_cast<int>(sent));
    sys.clock().sleepMs(kIdReplyPauseMs);

    const int64_t received = sys.network().receive(socket, reply.data(), reply.size());
    if (received == 0) {
        t.write("GetPrinterIDEthernet - Connection Closed");
        return false;
    }
    if (received < 0) {
        t.write("GetPrinterIDEthernet - bytesRecv < 0");
        return false;
    }
    // A text: it ends at the first NUL or with the bytes received.
    std::string_view id(reinterpret_cast<const char*>(reply.data()), static_cast<size_t>(received));
    id = id.substr(0, id.find('\0'));
    printer.deviceId = fitField(id, kPrinterTextSize);
    return true;
}

bool isPrinterReadyEthernet(platform::Services& sys, platform::SocketHandle socket,
                            const PrinterData& /*printer*/,
                            std::optional<std::array<uint8_t, 2>>* statusBytes) {
    platform::Trace& t = sys.trace();
    std::array<uint8_t, kEthernetReplySize> reply{};
    t.write("isPrinterReadyEthernet - Entry");

    const int64_t sent = sendText(sys, socket, "<SS>");
    if (sent < 0) {
        t.write("isPrinterReadyEthernet - Error sending <SS>");
        return false;
    }
    platform::tracef(t, "isPrinterReadyEthernet - Sent <SS> bytes send = %d",
                     static_cast<int>(sent));
    sys.clock().sleepMs(kStatusReplyPauseMs);

    const int64_t received = sys.network().receive(socket, reply.data(), reply.size());
    if (received == 0) {
        t.write("isPrinterReadyEthernet - Connection Closed");
        return false;
    }
    if (received < 0) {
        t.write("GetPrinterIDEthernet - bytesRecv < 0");
        return false;
    }
    platform::tracef(t, "Status Length = %d, Data = ", static_cast<int>(received));
    for (int64_t i = 0; i < received; ++i)
        platform::tracef(t, "%X ", static_cast<unsigned>(reply[i]));

    // Bytes the reply did not reach are still zero and count as such.
    if (statusBytes) *statusBytes = std::array<uint8_t, 2>{reply[3], reply[4]};
    if (reply[3] == 0 && (reply[4] & 0xFE) == 0) {
        t.write("GetPrinterIDEthernet - Returning printer ready");
        return true;
    }
    t.write("GetPrinterIDEthernet - Returning printer NOT READY");
    return false;
}

bool WriteFileEthernet(platform::Services& sys, platform::SocketHandle socket, const uint8_t* data,
                       uint32_t length, int32_t& bytesSent) {
    platform::SendBudget budget{sys.network().bounds().sendMs};
    return WriteFileEthernet(sys, socket, data, length, bytesSent, budget);
}

bool WriteFileEthernet(platform::Services& sys, platform::SocketHandle socket, const uint8_t* data,
                       uint32_t length, int32_t& bytesSent, platform::SendBudget& budget) {
    platform::Trace& t = sys.trace();
    t.write("WriteFileEthernet - Entry");
    const int64_t sent = sys.network().sendWithin(socket, data, data ? length : 0, budget);
    bytesSent = sent < 0 ? -1 : static_cast<int32_t>(sent);
    if (sent < 0) {
        t.write("WriteFileEthernet - Error sending data");
        return false;
    }
    platform::tracef(t, "WriteFileEthernet - bytes sent = %d", bytesSent);
    return true;
}

bool ReadDataEthernet(platform::Services& sys, platform::SocketHandle socket, uint8_t* buffer,
                      uint32_t& length) {
    platform::Trace& t = sys.trace();
    t.write("ReadDataEthernet - Entry");
    const int64_t received = sys.network().receive(socket, buffer, buffer ? length : 0);
    if (received == 0) {
        t.write("ReadDataEthernet - Connection Closed");
        return false;
    }
    if (received < 0) return false;
    platform::tracef(t, "ReadDataEthernet - Read bytes = %d", static_cast<int>(received));
    length = static_cast<uint32_t>(received);
    t.write(kSeparator);
    for (uint32_t i = 0; i < length; ++i)
        platform::tracef(t, "%X", static_cast<unsigned>(buffer[i]));
    t.write(kSeparator);
    return true;
}

}  // namespace kv
