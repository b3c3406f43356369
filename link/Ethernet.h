#pragma once
#include <optional>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Network.h"
#include "platform/Services.h"
#include "state/PrinterData.h"

namespace kv {

inline constexpr size_t kEthernetReplySize = 256;
inline constexpr size_t kAddressJoinedSize = 256;
inline constexpr uint32_t kIdReplyPauseMs = 300;
inline constexpr uint32_t kStatusReplyPauseMs = 200;

// The four address texts joined with "." (cut to 255 characters).
std::string joinAddress(std::string_view part1, std::string_view part2, std::string_view part3,
                        std::string_view part4);

// Connects to the printer. On success the socket is stored and portType is
// PORT_TYPE_ETHERNET; on any failure portType is PORT_TYPE_NONE and socket
// keeps its value.
[[nodiscard]] bool openSocket(platform::Services& sys, platform::SocketHandle& socket,
                              std::string_view part1, std::string_view part2,
                              std::string_view part3, std::string_view part4,
                              std::string_view portText, PrinterData& printer);
void closeSocket(platform::Services& sys, platform::SocketHandle socket);

// "<SA08>": the reply is stored in deviceId.
[[nodiscard]] bool GetPrinterIDEthernet(platform::Services& sys, platform::SocketHandle socket,
                                        PrinterData& printer);
// "<SS>": true when bytes 3 and 4 say ready (only low paper tolerated).
// `statusBytes`, when given, gets those two bytes of a reply that came.
[[nodiscard]] bool isPrinterReadyEthernet(
    platform::Services& sys, platform::SocketHandle socket, const PrinterData& printer,
    std::optional<std::array<uint8_t, 2>>* statusBytes = nullptr);

// One send; bytesSent gets its result (-1 on failure).
[[nodiscard]] bool WriteFileEthernet(platform::Services& sys, platform::SocketHandle socket,
                                     const uint8_t* data, uint32_t length, int32_t& bytesSent);
// The same within what is left of a bound shared with other sends.
[[nodiscard]] bool WriteFileEthernet(platform::Services& sys, platform::SocketHandle socket,
                                     const uint8_t* data, uint32_t length, int32_t& bytesSent,
                                     platform::SendBudget& budget);
// One receive; length is the capacity in and the bytes received out (left
// as it was on failure).
[[nodiscard]] bool ReadDataEthernet(platform::Services& sys, platform::SocketHandle socket,
                                    uint8_t* buffer, uint32_t& length);

}  // namespace kv
