#include "flash/LoadFirmwareImage.h"

#include <algorithm>
#include <limits>

#include "platform/Trace.h"
#include "platform/Ui.h"

namespace kv {
namespace {

constexpr const char* kCaption = "Firmware update";

}  // namespace

bool loadFirmwareImage(Context& ctx, FirmwareImage& image, uint64_t maxBytes) {
    image = FirmwareImage{};
    platform::Trace& trace = ctx.trace();
    const std::string& path = ctx.state.firmwareFileName;
    if (path.empty()) {
        trace.write("LoadFirmwareImage - No firmware file selected\r\n");
        platform::box(ctx.ui(), kCaption, "No firmware file selected");
        return false;
    }
    // The record's length is 32-bit, whatever the caller allows.
    maxBytes = std::min<uint64_t>(maxBytes, std::numeric_limits<uint32_t>::max());
    FileBytes file = readFileBytes(ctx.sys.fileReader(), path, maxBytes);
    switch (file.status) {
        case FileBytes::Status::TooLarge:
            platform::tracef(trace, "LoadFirmwareImage - %s is too large (%llu bytes)\r\n",
                             platform::escapeDeviceText(path).c_str(),
                             static_cast<unsigned long long>(file.size));
            platform::box(ctx.ui(), kCaption,
                          "The firmware file " + path +
                              " is too large: " + std::to_string(file.size) + " bytes, at most " +
                              std::to_string(maxBytes) + " bytes can be sent");
            return false;
        case FileBytes::Status::Unreadable:
            platform::tracef(trace, "LoadFirmwareImage - Could not read %s: %s\r\n",
                             platform::escapeDeviceText(path).c_str(),
                             platform::escapeDeviceText(file.reason).c_str());
            platform::box(ctx.ui(), kCaption,
                          "Could not read the firmware file " + path + " (" + file.reason + ")");
            return false;
        case FileBytes::Status::Ok: break;
    }
    image = makeFirmwareImage(std::move(file.bytes));
    platform::tracef(trace, "LoadFirmwareImage - %u bytes, version \"%s\"\r\n",
                     static_cast<unsigned>(image.length),
                     platform::escapeDeviceText(image.versionText).c_str());
    return true;
}

}  // namespace kv
