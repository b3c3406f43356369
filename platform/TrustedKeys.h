#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::platform {

// A minisign public key: its 8-byte key ID, as stored (little-endian), and
// the Ed25519 key.
struct MinisignKey {
    std::array<uint8_t, 8> id{};
    std::array<uint8_t, 32> key{};
    friend bool operator==(const MinisignKey&, const MinisignKey&) = default;
};

struct TrustedKey {
    MinisignKey key;
    std::string file;  // where it was read from
};

// The keys images must be signed by, read once when a world is made (the
// image library reads them; the world wires them in as a service).
struct TrustedKeys {
    std::vector<TrustedKey> keys;
    // Key files present but not trusted (unreadable, malformed, or open to
    // others in the system folder), each with why: while there is one,
    // every image is refused, naming it.
    std::vector<std::string> badFiles;
    // Checking is on: some *.pub lay in a trusted keys' folder.
    bool checking = false;
    // The folder KVFLASH_TRUSTED_KEYS added, named wherever images are
    // judged; empty without one.
    std::string extraFolder;
    // Trusted but never turning checking on: the demo key of --simulate.
    std::vector<TrustedKey> demoKeys;
};

}  // namespace kv::platform
