#pragma once
#include <string>
#include <string_view>

#include "image/FirmwareImage.h"
#include "platform/DialogControls.h"
#include "state/Context.h"

namespace kv {

// The signature rule: with a trusted key configured, an image is flashed
// only with a valid signature by a trusted key, checked when the file is
// selected and again over the very bytes to be sent, before flash mode.

// The signature facts of the image at `path` whose BLAKE2b-512 digest is
// `blake2b`, judged against `trust`. Not shown when checking is off and no
// .minisig lies beside the image.
platform::SignatureFacts signatureFactsFor(const platform::TrustedKeys& trust,
                                           platform::FileReader& files, const std::string& path,
                                           std::string_view blake2b);

// False, after a box that says why, when the facts refuse the image.
[[nodiscard]] bool signatureAllowsFlash(Context& ctx, const platform::SignatureFacts& facts);

// The image about to be sent, checked against the signature beside
// firmwareFileName; its key goes into the flash record. False after a box
// (and the flash's stop noted) when refused.
[[nodiscard]] bool checkImageBeforeFlash(Context& ctx, const FirmwareImage& image);

// Whether images must be signed in this world.
inline bool signaturesRequired(const Context& ctx) { return ctx.sys.trustedKeys().checking; }

}  // namespace kv
