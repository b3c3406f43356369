// The address and port texts: "A.B.C.D[:PORT]" of the terminal and
// --identify, and the dotted address and port as the link reads them.
#include "app/EthernetTarget.h"
#include "fuzz/FuzzWorld.h"
#include "link/InetAddr.h"
#include "state/TextFields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    const std::string_view text = fuzz::textOf(data, size);
    (void)inetAddr(text);
    (void)portFromText(text);
    const auto target = parseEthernetTarget(text);
    if (target) {
        fuzz::require(!target->port.empty() && target->port.size() <= 5);
        ShellState shell;
        setEthernetTexts(shell, *target);
        for (const std::string& part : shell.ipAddressText)
            fuzz::require(part.size() < kAddressTextSize);
        (void)inetAddr(target->octets[0] + "." + target->octets[1] + "." + target->octets[2] + "." +
                       target->octets[3]);
        (void)portFromText(target->port);
    }
    return 0;
}
