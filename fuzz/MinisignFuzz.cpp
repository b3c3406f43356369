// minisign's key and signature files, as a site or a stranger may write
// them, and the verdict on an image under a real key.
#include <string_view>

#include "fuzz/FuzzWorld.h"
#include "image/Minisign.h"
#include "image/SignatureCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Parsed<MinisignKey> key = parseMinisignKey(text);
    fuzz::require(key.value.has_value() != !key.reason.empty());
    const Parsed<MinisignSignature> sig = parseMinisignSignature(text);
    fuzz::require(sig.value.has_value() != !sig.reason.empty());
    if (sig.value) {
        fuzz::require(sig.value->trustedComment.find('\n') == std::string::npos);
        // A real key under the signature's ID: whatever the signature holds,
        // the library judges it without harm.
        static const Parsed<MinisignKey> site = parseMinisignKey(
            "untrusted comment: minisign public key 3C33CDB3149F848\n"
            "RWRI+Ekx2zzDAxYAZex7g7/G+kPQykx9FD7EzieU7WLrxlHhaPwZVwyp\n");
        TrustedKeys trust;
        trust.keys.push_back({MinisignKey{sig.value->keyId, site.value->key}, "site.pub"});
        const SignatureCheck check = checkSignature(trust, text, std::string(64, '\0'));
        // A random signature never verifies.
        fuzz::require(!check.good());
        fuzz::require(check.keyId.size() == 16 && !check.reason.empty());
    }
    return 0;
}
