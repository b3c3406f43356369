#pragma once
#include <string_view>

namespace kv {

// The one rule by which two firmware versions are the same: whether a
// printer that reports `reported` (its whole "FWV:" value where the link
// gives one) runs the firmware whose image marker is `imageVersion`.
//
// The marker must be a whole token of the reported value, or of its part
// up to and including the first ")" (what a ZOR1 printer shows): the same
// text, or that text followed only by characters that are neither letters
// nor digits. Against "V1.03)GAP" the markers "V1.03)GAP", "V1.03)" and
// "V1.03" are the same version, "V1.03)PR" is not; "V5.2" is not "V5.21".
// An empty marker matches nothing. The verification after a flash and the
// same-version question before one both ask this.
bool sameFirmwareVersion(std::string_view reported, std::string_view imageVersion);

}  // namespace kv
