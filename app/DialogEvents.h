#pragma once
#include <string>

namespace kv {

// What a front end forwards to the main dialog's logic. Called on the UI
// thread only.
class DialogEvents {
public:
    virtual ~DialogEvents() = default;
    virtual void onInit() = 0;
    virtual void onTimer(int id) = 0;
    // A button click or the cancel command (id 2: Escape, the close box).
    virtual void onCommand(int id) = 0;
    // An edit field changed; `text` is the field's whole text.
    virtual void onEditChanged(int id, const std::string& text) = 0;
    virtual void onOptionSelected(int index) = 0;
};

}  // namespace kv
