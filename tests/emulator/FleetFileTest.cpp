// The lines of kvprinter-emu's fleet file: each printer with the command
// line's options first and its own faults after, and every line refused
// with its number.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "emulator/FleetFile.h"
#include "emulator/TcpServer.h"

namespace kv::emulator {
namespace {

const char kId[] = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";

FleetPrinters fleetOf(const std::string& text, const std::vector<std::string>& commandLine = {}) {
    std::string error;
    const std::optional<EmuOptions> options = parseEmuOptions(commandLine, error);
    EXPECT_TRUE(options) << error;
    const ListFileLines lines = splitListLines(text);
    EXPECT_TRUE(std::holds_alternative<std::vector<ListLine>>(lines));
    return parseFleetLines(std::get<std::vector<ListLine>>(lines), *options);
}

TEST(FleetFile, EachPrinterTakesTheCommandLineThenItsOwnFaults) {
    const FleetPrinters fleet =
        fleetOf(std::string("# three on loopback\n") + "127.0.0.2 " + kId + "\n" +
                    "127.0.0.3:9100 " + kId + " drop-image-after=4096 reset-time=20 not-ready\n" +
                    "127.0.0.2:0 " + kId + " no-flash-ready stop-reading-after-image=0\n",
                {"--reset-time", "100", "--keep-bytes", "2048"});
    ASSERT_TRUE(std::holds_alternative<std::vector<FleetPrinter>>(fleet))
        << std::get<ListFileError>(fleet).reason;
    const auto& p = std::get<std::vector<FleetPrinter>>(fleet);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(formatAddress(p[0].address, p[0].port), "127.0.0.2:10001");
    EXPECT_EQ(formatAddress(p[1].address, p[1].port), "127.0.0.3:9100");
    EXPECT_EQ(formatAddress(p[2].address, p[2].port), "127.0.0.2:0");
    EXPECT_EQ(p[0].line, 2u);
    EXPECT_EQ(p[0].options.printer.deviceId, kId);
    EXPECT_EQ(p[0].options.printer.resetMs, 100u);
    EXPECT_EQ(p[0].options.printer.keepBytes, 2048u);
    EXPECT_FALSE(p[0].options.printer.dropAfterImageBytes);
    EXPECT_EQ(p[0].options.printer.statusByte3, 0);
    EXPECT_EQ(p[1].options.printer.dropAfterImageBytes, 4096u);
    EXPECT_EQ(p[1].options.printer.resetMs, 20u);
    EXPECT_EQ(p[1].options.printer.statusByte3, 0x80);
    EXPECT_TRUE(p[2].options.printer.flashReadyMissing);
    EXPECT_EQ(p[2].options.printer.stopReadingAfterImageBytes, 0u);
    EXPECT_FALSE(p[1].options.printer.flashReadyMissing);

    // Without --keep-bytes a printer of a fleet keeps a megabyte.
    const FleetPrinters plain = fleetOf(std::string("127.0.0.2 ") + kId);
    EXPECT_EQ(std::get<std::vector<FleetPrinter>>(plain).at(0).options.printer.keepBytes,
              kFleetKeepBytes);
}

TEST(FleetFile, EveryRefusalNamesItsLine) {
    std::string tooMany;
    for (int i = 0; i <= 500; ++i)
        tooMany += "127.0.1." + std::to_string(i % 250) + ":" + std::to_string(1000 + i) + " " +
                   kId + "\n";
    const std::string first = std::string("127.0.0.2 ") + kId + "\n";
    const struct {
        std::string text;
        std::vector<std::string> commandLine;
        std::optional<size_t> line;
        std::string reason;
    } cases[] = {
        {first + "127.0.0.3\n", {}, 2, "expected ADDRESS[:PORT] DEVICE-ID [FAULT ...]"},
        {first + "127.0.0.300 " + kId, {}, 2, "bad address \"127.0.0.300\""},
        {first + "localhost " + kId, {}, 2, "bad address \"localhost\""},
        {first + "127.0.0.2:10001 " + kId, {}, 2, "127.0.0.2:10001 is named twice"},
        {first + "10.0.0.7 " + kId,
         {},
         2,
         "address 10.0.0.7 is not on loopback (127.0.0.0/8; --allow-non-loopback)"},
        {first + "127.0.0.3 " + kId + " listen=127.0.0.9",
         {},
         2,
         "not a fault: \"listen=127.0.0.9\""},
        {first + "127.0.0.3 " + kId + " link=usb", {}, 2, "not a fault: \"link=usb\""},
        {first + "127.0.0.3 " + kId + " --not-ready", {}, 2, "not a fault: \"--not-ready\""},
        {first + "127.0.0.3 " + kId + " melt", {}, 2, "unknown option --melt"},
        {first + "127.0.0.3 " + kId + " drop-image-after=lots",
         {},
         2,
         "bad value for --drop-image-after: lots"},
        {first + "127.0.0.3 " + kId + " drop-image-after",
         {},
         2,
         "--drop-image-after needs a value"},
        {tooMany, {}, 501, "more than 500 printers"},
        {"# nothing\n", {}, std::nullopt, "no printer in the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const FleetPrinters fleet = fleetOf(c.text, c.commandLine);
        ASSERT_TRUE(std::holds_alternative<ListFileError>(fleet));
        EXPECT_EQ(std::get<ListFileError>(fleet).line, c.line);
        EXPECT_EQ(std::get<ListFileError>(fleet).reason, c.reason);
    }
    // The one switch that lets a fleet leave loopback.
    EXPECT_TRUE(std::holds_alternative<std::vector<FleetPrinter>>(
        fleetOf(std::string("10.0.0.7 ") + kId, {"--allow-non-loopback"})));
}

TEST(FleetFile, TheCommandLineOfAFleetSaysNothingOfWhereToListen) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--fleet", "f", "--listen", "127.0.0.1:0"},
          {"--fleet", "f", "--gadget", "/dev/g_printer0"},
          {"--link", "usb", "--fleet", "f"}}) {
        std::string error;
        EXPECT_FALSE(parseEmuOptions(args, error)) << args[2];
        EXPECT_EQ(error, "--fleet serves TCP printers on the addresses its file gives");
    }
}

}  // namespace
}  // namespace kv::emulator
