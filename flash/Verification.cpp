#include "flash/Verification.h"

#include "printer/SameVersion.h"

namespace kv {

namespace {

using platform::VerifyOutcome;

std::string shown(const std::optional<std::string>& version) {
    return version ? *version : std::string("unknown");
}

std::string beforeAndAfter(const FlashFacts& f) {
    return "before: " + shown(f.before) + ", after: " + shown(f.after);
}

}  // namespace

platform::Verification verifyFlash(const FlashFacts& f) {
    if (f.failure) {
        return {VerifyOutcome::Failed, *f.failure, "Failed: " + *f.failure};
    }
    if (f.bytesSent == 0) {
        const std::string why = "the image is empty; nothing was sent";
        return {VerifyOutcome::Failed, why, "Failed: " + why};
    }
    if (!f.cameBack) {
        return {VerifyOutcome::NotFound,
                "the printer did not come back after the flash (before: " + shown(f.before) + ")",
                "The printer did not come back after the update"};
    }
    if (f.imageVersion.empty()) {
        return {VerifyOutcome::Unchecked,
                "the image carries no version marker; " + beforeAndAfter(f),
                "Not checked: the image carries no version marker (printer reports " +
                    shown(f.after) + ")"};
    }
    if (!f.after) {
        return {VerifyOutcome::Unchecked,
                "the link does not report the printer's version; " + beforeAndAfter(f),
                "Not checked: the printer does not report its version here"};
    }
    if (sameFirmwareVersion(*f.after, f.imageVersion)) {
        return {VerifyOutcome::Verified,
                "the printer reports " + *f.after +
                    ", the image's version (before: " + shown(f.before) + ")",
                "Verified: " + *f.after + " is running"};
    }
    if (f.before && *f.before == *f.after) {
        return {VerifyOutcome::Mismatch,
                "version unchanged: the printer still reports " + *f.after +
                    "; the image carries " + f.imageVersion,
                "The printer still reports " + *f.after + " after the update"};
    }
    return {VerifyOutcome::Mismatch,
            "the printer reports " + *f.after + "; the image carries " + f.imageVersion +
                " (before: " + shown(f.before) + ")",
            "The printer reports " + *f.after + ", not the image's " + f.imageVersion};
}

}  // namespace kv
