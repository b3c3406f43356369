#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "fleet/Scan.h"
#include "fleet/Targets.h"
#include "platform/Network.h"

namespace kv::fleet {

// Connects in flight at once, at most; the system's limits may allow fewer.
inline constexpr size_t kSweepInFlight = 1024;

// A scan's first step: a connection tried to every target at once, each
// within `connectMs`, so that only the addresses that take one are
// identified. An answer per target, in their order; `missed` (when given)
// hears of each address refused or silent as soon as it is known, on this
// thread. A true `stopped` (looked at every 50 ms or sooner) ends the sweep;
// the targets it did not answer stay Untried.
std::vector<platform::ConnectAnswer> sweepTargets(
    platform::Network& network, const std::vector<Endpoint>& targets, uint32_t connectMs,
    const std::function<bool()>& stopped,
    const std::function<void(size_t index, Reach reach)>& missed = {});

// What an address's sweep answer settles: refused or silent; nothing for one
// still to be identified (it took the connection, or it was not tried).
std::optional<Reach> sweptReach(platform::ConnectAnswer answer);

}  // namespace kv::fleet
