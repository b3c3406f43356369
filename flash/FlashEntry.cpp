#include "flash/FlashEntry.h"

#include "platform/Format.h"
#include "state/TextFields.h"

namespace kv {

std::string notReadyText(const PrinterData& printer) {
    return fitField(platform::formatted("%s printer is NOT ready, resolve and try again  %s",
                                        printer.typeName.c_str(), printer.portName.c_str()),
                    kMessageSize);
}

}  // namespace kv
