#include "platform/sim/FaultNetwork.h"

#include <algorithm>

namespace kv::platform::sim {

void FaultNetwork::setFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

std::vector<FaultNetwork::Connect> FaultNetwork::connects() const {
    std::lock_guard lock(mutex_);
    return connects_;
}

int FaultNetwork::cleanups() const {
    std::lock_guard lock(mutex_);
    return cleanups_;
}

bool FaultNetwork::injected(bool fails) {
    lastWasInjected_ = fails;
    return fails;
}

bool FaultNetwork::startup() {
    {
        std::lock_guard lock(mutex_);
        if (injected(faults_.startupFails)) return false;
    }
    return inner_.startup();
}

void FaultNetwork::cleanup() {
    {
        std::lock_guard lock(mutex_);
        ++cleanups_;
    }
    inner_.cleanup();
}

SocketHandle FaultNetwork::openTcp() {
    {
        std::lock_guard lock(mutex_);
        if (injected(faults_.openFails)) return SocketHandle::invalid();
    }
    return opened(inner_.openTcp());
}

SocketHandle FaultNetwork::opened(SocketHandle socket) {
    if (socket.valid()) {
        std::lock_guard lock(mutex_);
        open_.insert(socket.value);
    }
    return socket;
}

void FaultNetwork::close(SocketHandle socket) {
    {
        std::lock_guard lock(mutex_);
        open_.erase(socket.value);
    }
    inner_.close(socket);
}

size_t FaultNetwork::openCount() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

bool FaultNetwork::connectWithin(SocketHandle socket, uint32_t address, uint16_t port,
                                 uint32_t timeoutMs) {
    {
        std::lock_guard lock(mutex_);
        connects_.push_back({address, port});
        if (injected(faults_.connectFails)) return false;
    }
    return inner_.connectWithin(socket, address, port, timeoutMs);
}

std::vector<ConnectAnswer> FaultNetwork::sweepConnects(const std::vector<ConnectTarget>& targets,
                                                       const SweepRules& rules) {
    bool refuse = false;
    {
        std::lock_guard lock(mutex_);
        for (const ConnectTarget& t : targets) connects_.push_back({t.address, t.port});
        refuse = faults_.connectFails;
    }
    if (!refuse) return inner_.sweepConnects(targets, rules);
    std::vector<ConnectAnswer> answers(targets.size(), ConnectAnswer::Refused);
    for (size_t i = 0; i < answers.size() && rules.answered; ++i) rules.answered(i, answers[i]);
    return answers;
}

int64_t FaultNetwork::sendWithin(SocketHandle socket, const uint8_t* data, size_t length,
                                 SendBudget& budget) {
    {
        std::lock_guard lock(mutex_);
        bool fails = faults_.sendsBeforeFailure == 0;
        if (faults_.sendsBeforeFailure > 0) --faults_.sendsBeforeFailure;
        if (faults_.sendCostMs > 0) {
            fails = fails || budget.leftMs <= faults_.sendCostMs;
            budget.leftMs -= std::min(budget.leftMs, faults_.sendCostMs);
        }
        if (injected(fails)) return -1;
        if (faults_.sendLimit > 0 && length > faults_.sendLimit) length = faults_.sendLimit;
    }
    const int64_t sent = inner_.sendWithin(socket, data, length, budget);
    if (sent > 0) {
        std::lock_guard lock(mutex_);
        bytesSent_ += static_cast<uint64_t>(sent);
    }
    return sent;
}

uint64_t FaultNetwork::bytesSent() const {
    std::lock_guard lock(mutex_);
    return bytesSent_;
}

int64_t FaultNetwork::receiveWithin(SocketHandle socket, uint8_t* buffer, size_t capacity,
                                    uint32_t timeoutMs) {
    {
        std::lock_guard lock(mutex_);
        bool fails = faults_.receivesBeforeFailure == 0;
        if (faults_.receivesBeforeFailure > 0) --faults_.receivesBeforeFailure;
        if (injected(fails)) return -1;
    }
    return inner_.receiveWithin(socket, buffer, capacity, timeoutMs);
}

int FaultNetwork::lastError() const {
    std::lock_guard lock(mutex_);
    return lastWasInjected_ ? faults_.errorCode : inner_.lastError();
}

}  // namespace kv::platform::sim
