#include "flash/BoxTap.h"

namespace kv {

platform::BoxAnswer BoxTap::messageBox(const std::optional<std::string>& caption,
                                       const std::string& text, platform::BoxButtons buttons) {
    const platform::BoxAnswer answer = inner_->messageBox(caption, text, buttons);
    if (buttons == platform::BoxButtons::YesNo) {
        log_.add(text + (answer == platform::BoxAnswer::Yes ? " -> yes" : " -> no"));
    } else {
        log_.add(text);
    }
    return answer;
}

}  // namespace kv
