#pragma once
#include "platform/Services.h"

namespace kv::entry {

// A part of a world: it owns some of the services and wires them.
class ServiceBundle {
public:
    virtual ~ServiceBundle() = default;
    virtual void wireInto(platform::Services& sys) = 0;
};

}  // namespace kv::entry
