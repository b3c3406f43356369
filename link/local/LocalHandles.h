#pragma once
#include <cstdint>

#include "state/Context.h"
#include "platform/DeviceHandle.h"
#include "platform/Services.h"
#include "state/PrinterData.h"

namespace kv {

// Probe order of the parallel ports.
inline constexpr const char* kParallelPortNames[] = {"LPT1:", "LPT2:", "LPT3:"};
// A parallel printer's port gets at least this write time-out.
inline constexpr uint32_t kParallelMinWriteTimeoutMs = 15000;
// Status bytes that show a printer on a parallel port.
inline constexpr uint32_t kParallelMinStatusBytes = 5;
inline constexpr uint32_t kParallelReopenPauseMs = 200;

// Opens the one local printer: the first USB path of the maker's vendor ID
// that opens (shared), else a parallel printer (findPrinterPARALLEL).
// Sets printer.portType (PORT_TYPE_NONE when nothing was found) and
// activePortType; empties parallelPortName before the parallel search. The
// handle is the caller's to close; it is invalid after false.
[[nodiscard]] bool GetPrinterHandle(Context& ctx, platform::DeviceHandle& handle,
                                    PrinterData& printer);

// Probes one parallel port (2: LPT2, 3: LPT3, anything else LPT1) with a
// status read. True when it answered at least 5 bytes, with the port
// reopened shared in `handle`.
[[nodiscard]] bool IsPrinterPARALLEL(platform::Services& sys, platform::DeviceHandle& handle,
                                     int portNumber, PrinterData& printer);

// Probes LPT1..LPT3 in order and takes the first printer found, raising its
// port's write time-out to at least 15000 ms. The handle is invalid after
// false.
[[nodiscard]] bool findPrinterPARALLEL(Context& ctx, platform::DeviceHandle& handle,
                                       PrinterData& printer);

}  // namespace kv
