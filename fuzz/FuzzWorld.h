#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Services.h"
#include "platform/Trace.h"
#include "platform/Ui.h"

namespace kv::fuzz {

// Boxes and files answered at once, as a user who clicks OK or cancels.
class NullUi final : public platform::Ui {
public:
    platform::BoxAnswer messageBox(const std::optional<std::string>&, const std::string&,
                                   platform::BoxButtons buttons) override {
        return buttons == platform::BoxButtons::YesNo ? platform::BoxAnswer::No
                                                      : platform::BoxAnswer::Ok;
    }
    std::optional<std::string> openFile(const platform::OpenFileRequest&) override {
        return std::nullopt;
    }
    void postQuit(int) override {}
};

// The services a decoder asks for: a trace that keeps nothing, boxes
// answered at once.
struct FuzzServices {
    FuzzServices() {
        sys.wired.trace = &trace;
        sys.wired.ui = &ui;
    }
    platform::NullTrace trace;
    NullUi ui;
    platform::Services sys;
};

inline std::string_view textOf(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A broken promise is a crash, so the fuzzer keeps the input.
inline void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace kv::fuzz
