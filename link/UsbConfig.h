#pragma once
#include <array>
#include <cstdint>

namespace kv {

// The maker's USB vendor ID, the one place it is configured. 0x4B56 is
// "KV" in ASCII. It appears in no public USB ID list (checked against the
// usb.ids edition of 2025-07-26), so no other maker's product is taken for
// a KV printer. A build for the field sets the ID the USB-IF assigned.
inline constexpr uint16_t kKvUsbVendorId = 0x4B56;

// The vendor table the USB search matches against.
inline constexpr std::array<uint32_t, 1> kKvUsbVendorTable{kKvUsbVendorId};

// The name given to a USB printer of the maker's vendor ID that tells no
// name of its own.
inline constexpr const char* kKvDefaultPrinterName = "Corbelline Ticket Printer";

}  // namespace kv
