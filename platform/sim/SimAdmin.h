#pragma once
#include "platform/InstanceLock.h"

namespace kv::platform::sim {

class SimAdmin final : public Admin {
public:
    explicit SimAdmin(bool admin = true) : admin_(admin) {}
    bool isAdministrator() override { return admin_; }
    unsigned effectiveUserId() override { return admin_ ? 0u : 1000u; }

private:
    bool admin_;
};

}  // namespace kv::platform::sim
