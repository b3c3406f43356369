#pragma once
#include "platform/InstanceLock.h"

namespace kv::platform::sim {

class SimAdmin final : public Admin {
public:
    explicit SimAdmin(bool admin = true) : admin_(admin) {}
    AdminCheck check(Trace& trace) override {
        tracef(trace, "IsRunningAsAdmin - effective user id = %u\r\n", admin_ ? 0u : 1000u);
        return admin_ ? AdminCheck::Administrator : AdminCheck::NotAdministrator;
    }

private:
    bool admin_;
};

}  // namespace kv::platform::sim
