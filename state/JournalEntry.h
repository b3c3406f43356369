#pragma once
#include <string>

namespace kv {

// One queue that is, or is about to be, switched to the dummy port: what it
// needs to be put back after a crash.
struct JournalEntry {
    std::string printerName;
    std::string portName;  // as shown before the switch
    std::string location;  // the device the queue goes back to
    bool held = true;      // the switch holds the queue's jobs
    friend bool operator==(const JournalEntry&, const JournalEntry&) = default;
};

}  // namespace kv
