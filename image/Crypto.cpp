#include "image/Crypto.h"

#include <gcrypt.h>

#include <stdexcept>
#include <utility>

namespace kv::crypto {
namespace {

// Runs before main. No secure memory: nothing secret is handled, only
// public keys, signatures and hashes.
struct LibrarySetUp {
    LibrarySetUp() {
        if (!gcry_check_version(GCRYPT_VERSION))
            throw std::runtime_error("libgcrypt older than the one built against");
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
};
const LibrarySetUp setUp;

int algorithmOf(Hash::Kind kind) {
    return kind == Hash::Kind::Sha256 ? GCRY_MD_SHA256 : GCRY_MD_BLAKE2B_512;
}

[[noreturn]] void cryptoFailure(const char* what, gcry_error_t error) {
    throw std::runtime_error(std::string(what) + ": " + gcry_strerror(error));
}

// Frees what the library built, whichever way the call leaves.
struct Sexp {
    gcry_sexp_t value = nullptr;
    ~Sexp() { gcry_sexp_release(value); }
};

}  // namespace

struct Hash::Handle {
    gcry_md_hd_t md = nullptr;
};

Hash::Hash(Kind kind) : handle_(new Handle), kind_(kind) {
    if (const gcry_error_t e = gcry_md_open(&handle_->md, algorithmOf(kind), 0)) {
        delete handle_;
        cryptoFailure("hash", e);
    }
}

Hash::Hash(const Hash& other) : handle_(new Handle), kind_(other.kind_) {
    if (const gcry_error_t e = gcry_md_copy(&handle_->md, other.handle_->md)) {
        delete handle_;
        cryptoFailure("hash copy", e);
    }
}

Hash& Hash::operator=(const Hash& other) {
    if (this != &other) *this = Hash(other);
    return *this;
}

Hash::Hash(Hash&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), kind_(other.kind_) {}

Hash& Hash::operator=(Hash&& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(kind_, other.kind_);
    return *this;
}

Hash::~Hash() {
    if (!handle_) return;
    gcry_md_close(handle_->md);
    delete handle_;
}

void Hash::update(const uint8_t* data, size_t length) {
    if (data && length) gcry_md_write(handle_->md, data, length);
}

std::string Hash::finish() {
    const int algorithm = algorithmOf(kind_);
    const unsigned char* digest = gcry_md_read(handle_->md, algorithm);
    return std::string(reinterpret_cast<const char*>(digest), gcry_md_get_algo_dlen(algorithm));
}

std::string digestOf(Hash::Kind kind, const uint8_t* data, size_t length) {
    Hash hash(kind);
    hash.update(data, length);
    return hash.finish();
}

bool ed25519Verify(const std::array<uint8_t, kEd25519KeyBytes>& publicKey, const uint8_t* message,
                   size_t length, const std::array<uint8_t, kEd25519SignatureBytes>& signature) {
    Sexp key, sig, data;
    if (const gcry_error_t e = gcry_sexp_build(
            &key.value, nullptr, "(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))",
            static_cast<int>(publicKey.size()), publicKey.data()))
        cryptoFailure("Ed25519 key", e);
    if (const gcry_error_t e =
            gcry_sexp_build(&sig.value, nullptr, "(sig-val (eddsa (r %b) (s %b)))", 32,
                            signature.data(), 32, signature.data() + 32))
        cryptoFailure("Ed25519 signature", e);
    static const uint8_t empty = 0;
    if (const gcry_error_t e = gcry_sexp_build(&data.value, nullptr,
                                               "(data (flags eddsa) (hash-algo sha512) (value %b))",
                                               static_cast<int>(length), length ? message : &empty))
        cryptoFailure("Ed25519 message", e);
    return gcry_pk_verify(sig.value, data.value, key.value) == 0;
}

std::string libraryVersion() { return std::string("libgcrypt ") + gcry_check_version(nullptr); }

}  // namespace kv::crypto
