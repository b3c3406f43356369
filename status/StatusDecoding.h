#pragma once
#include <cstdint>

#include "platform/Services.h"
#include "status/PrinterStatus.h"

namespace kv {

// Maps the one HW status byte of a ZOR1-family printer onto a five-byte S
// reply and builds the four status strings from it. False for a missing byte
// or a count other than 1 (the strings stay empty).
[[nodiscard]] bool ProcessHWStatusString(platform::Services& sys, PrinterStatus& status,
                                         const uint8_t* statusBytes, uint32_t count);

// Traces the reply's status bits and builds the S, N, E and C strings in
// `status`. A reply shorter than five bytes reads as zeros past its end;
// its first byte (the kind letter) is read whatever the length, so a reply
// that is not null holds at least one byte.
[[nodiscard]] bool ProcessKVStatusString(platform::Services& sys, PrinterStatus& status,
                                         const uint8_t* reply, uint32_t length);

// Appends field `field` (0..5) at `*position` of `buffer` (size bytes) and
// advances the position. Field 00 needs the reply; field 05 works out the
// firmware text first when `status` has none, from the device ID or by
// asking the printer. False when a field does not fit.
[[nodiscard]] bool ProcessKVStatusStringAddField(platform::Services& sys, PrinterStatus* status,
                                                 uint32_t field, uint8_t* buffer, uint16_t size,
                                                 uint32_t* position, const uint8_t* reply);

}  // namespace kv
