#include "fleet/ConnectSweep.h"

#include "platform/Ipv4.h"

namespace kv::fleet {

std::optional<Reach> sweptReach(platform::ConnectAnswer answer) {
    switch (answer) {
        case platform::ConnectAnswer::Refused: return Reach::Refused;
        case platform::ConnectAnswer::Silent: return Reach::Silent;
        case platform::ConnectAnswer::Accepted:
        case platform::ConnectAnswer::Untried: break;
    }
    return std::nullopt;
}

std::vector<platform::ConnectAnswer> sweepTargets(
    platform::Network& network, const std::vector<Endpoint>& targets, uint32_t connectMs,
    const std::function<bool()>& stopped,
    const std::function<void(size_t index, Reach reach)>& missed) {
    // Without sockets nothing is settled: each target is identified as before.
    if (!network.startup()) {
        return std::vector<platform::ConnectAnswer>(targets.size(),
                                                    platform::ConnectAnswer::Untried);
    }
    std::vector<platform::ConnectTarget> wanted;
    wanted.reserve(targets.size());
    for (const Endpoint& e : targets) {
        wanted.push_back({platform::swapToNetworkOrder(e.address), e.port});
    }
    platform::SweepRules rules;
    rules.timeoutMs = connectMs;
    rules.inFlight = kSweepInFlight;
    rules.stopped = stopped;
    if (missed) {
        rules.answered = [&](size_t index, platform::ConnectAnswer answer) {
            if (const auto reach = sweptReach(answer)) missed(index, *reach);
        };
    }
    auto answers = network.sweepConnects(wanted, rules);
    network.cleanup();
    return answers;
}

}  // namespace kv::fleet
