#pragma once
#include "platform/Network.h"

namespace kv {

// What the links keep between calls.
struct LinkState {
    // The one socket of the Ethernet link. openSocket sets it on success;
    // closeSocket leaves the value as it was.
    platform::SocketHandle ethernetSocket;
};

}  // namespace kv
