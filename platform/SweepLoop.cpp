#include "platform/SweepLoop.h"

#include <algorithm>
#include <chrono>

namespace kv::platform {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The longest wait between two looks at the stop.
constexpr int64_t kStopSliceMs = 50;

struct InFlight {
    size_t index;
    SweepSockets::Raw socket;
    SteadyClock::time_point deadline;
};

}  // namespace

std::vector<ConnectAnswer> runSweep(SweepSockets& sockets,
                                    const std::vector<ConnectTarget>& targets,
                                    const SweepRules& rules) {
    std::vector<ConnectAnswer> answers(targets.size(), ConnectAnswer::Untried);
    const auto settle = [&](size_t index, ConnectAnswer answer) {
        answers[index] = answer;
        if (rules.answered && answer != ConnectAnswer::Untried) rules.answered(index, answer);
    };
    const auto stopped = [&] { return rules.stopped && rules.stopped(); };
    const size_t room = std::max<size_t>(1, std::min(rules.inFlight, sockets.room()));
    const auto bound = std::chrono::milliseconds(rules.timeoutMs);

    std::vector<InFlight> flying;
    std::vector<SweepSockets::Raw> waited;
    std::vector<std::optional<ConnectAnswer>> ready;
    size_t next = 0;
    while (!stopped()) {
        while (next < targets.size() && flying.size() < room) {
            const SweepSockets::Begun begun = sockets.begin(targets[next]);
            if (begun.socket) {
                flying.push_back({next, *begun.socket, SteadyClock::now() + bound});
            } else if (begun.answer) {
                settle(next, *begun.answer);
            } else if (!flying.empty()) {
                break;  // tried again once one in flight has ended
            }
            ++next;  // no room with none in flight: this one stays untried
        }
        if (flying.empty()) {
            if (next >= targets.size()) break;
            continue;
        }

        const auto now = SteadyClock::now();
        auto nearest = flying.front().deadline;
        waited.clear();
        for (const InFlight& f : flying) {
            nearest = std::min(nearest, f.deadline);
            waited.push_back(f.socket);
        }
        const int64_t left =
            std::chrono::duration_cast<std::chrono::milliseconds>(nearest - now).count();
        ready.assign(flying.size(), std::nullopt);
        sockets.wait(waited, static_cast<uint32_t>(std::clamp<int64_t>(left, 0, kStopSliceMs)),
                     ready);

        const auto after = SteadyClock::now();
        size_t kept = 0;
        for (size_t k = 0; k < flying.size(); ++k) {
            if (!ready[k] && after < flying[k].deadline) {
                flying[kept++] = flying[k];
                continue;
            }
            sockets.close(flying[k].socket);
            settle(flying[k].index, ready[k].value_or(ConnectAnswer::Silent));
        }
        flying.resize(kept);
    }
    for (const InFlight& f : flying) sockets.close(f.socket);
    return answers;
}

}  // namespace kv::platform
