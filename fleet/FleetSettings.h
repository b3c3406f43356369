#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::fleet {

inline constexpr size_t kDefaultParallel = 32;
inline constexpr size_t kMaxParallel = 256;
inline constexpr uint16_t kDefaultPort = 10001;
// The maker a KV printer's device ID names, whatever else --maker adds.
inline constexpr const char* kDefaultMaker = "KV";

// How a run of many printers goes; every front end starts from these.
struct FleetSettings {
    // Printers identified or flashed at once.
    size_t parallel = kDefaultParallel;
    // Printers flashed first; the rest start only when all of them are
    // verified. 0: none.
    size_t canary = 1;
    // No new printer starts once this many failed, mismatched or did not
    // come back. 0: no limit.
    size_t maxFailures = 3;
    bool flashSameVersion = false;
    // An image without a version marker: flashed, and the canary accepts
    // "unchecked".
    bool uncheckedOk = false;
    // The makers a device ID may name to count as a KV printer (whole value,
    // any case).
    std::vector<std::string> makers{kDefaultMaker};
};

}  // namespace kv::fleet
