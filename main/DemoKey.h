#pragma once
#include <cstdlib>
#include <string>

#include "image/TrustedKeyFiles.h"
#include "platform/TrustedKeys.h"

namespace kv::entry {

// The demo key's public half (main/demo/demo-key.pub), which signed the
// demo image's .minisig: trusted in --simulate worlds alone, where it never
// turns checking on.
inline constexpr const char* kDemoPublicKey =
    "untrusted comment: minisign public key 4657CEF660F2F093\n"
    "RWST8PJg9s5XRvhqdsrV2vZiN/iBE1bzAF4ahzloS2Vwq15TQ65GtS9A\n";

// The keys of a simulated world: the host's, and the demo key.
inline platform::TrustedKeys simulatedWorldKeys(const platform::TrustedKeys* host) {
    platform::TrustedKeys keys = host ? *host : platform::TrustedKeys{};
    keys.demoKeys.push_back(builtInKey(kDemoPublicKey, "the demo key"));
    return keys;
}

// The KVFLASH_TRUSTED_KEYS folder, empty when unset.
inline std::string trustedKeysVariable() {
    const char* folder = std::getenv("KVFLASH_TRUSTED_KEYS");
    return folder ? folder : "";
}

}  // namespace kv::entry
