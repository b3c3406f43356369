#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv::crypto {

// The cryptography of the whole program comes from libgcrypt. The library
// is set up by a static initialiser of this file's object, so in every
// program that uses it that happens before main, before any thread.

// A running hash; a copy goes on from the same point without touching the
// original (the emulator summarises what it received so far that way).
class Hash {
public:
    enum class Kind { Sha256, Blake2b512 };
    explicit Hash(Kind kind);
    Hash(const Hash& other);
    Hash& operator=(const Hash& other);
    Hash(Hash&& other) noexcept;
    Hash& operator=(Hash&& other) noexcept;
    ~Hash();

    void update(const uint8_t* data, size_t length);
    // The digest (32 or 64 bytes); the hash is spent afterwards.
    std::string finish();

private:
    struct Handle;
    Handle* handle_ = nullptr;
    Kind kind_;
};

// The digest of these bytes.
std::string digestOf(Hash::Kind kind, const uint8_t* data, size_t length);

inline constexpr size_t kEd25519KeyBytes = 32;
inline constexpr size_t kEd25519SignatureBytes = 64;

// Whether `signature` is the Ed25519 signature of `message` by `publicKey`.
bool ed25519Verify(const std::array<uint8_t, kEd25519KeyBytes>& publicKey, const uint8_t* message,
                   size_t length, const std::array<uint8_t, kEd25519SignatureBytes>& signature);

// "libgcrypt 1.10.1", for the tools' version texts.
std::string libraryVersion();

}  // namespace kv::crypto
