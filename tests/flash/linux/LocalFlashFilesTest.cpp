// Image paths that are no regular file, as a technician's machine can have
// them: the local flash refuses them before the printer hears of a flash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "flash/LocalFlash.h"
#include "tests/flash/LocalFlashWorld.h"

namespace kv {
namespace {

using testing::LocalFlashWorld;

TEST(LocalFlashFiles, NoRegularFileIsRefusedBeforeFlashMode) {
    const struct {
        const char* name;
        std::string (*make)(LocalFlashWorld&);
    } cases[] = {
        // With no writer, opening it for reading would wait for one forever.
        {"FIFO",
         [](LocalFlashWorld& w) {
             const std::string path = w.dir.file("fifo.bin");
             EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
             return path;
         }},
        // Endless: it would be streamed forever.
        {"/dev/zero", [](LocalFlashWorld&) { return std::string("/dev/zero"); }},
        {"link to a FIFO",
         [](LocalFlashWorld& w) {
             const std::string fifo = w.dir.file("fifo");
             const std::string link = w.dir.file("link.bin");
             EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
             EXPECT_EQ(::symlink(fifo.c_str(), link.c_str()), 0);
             return link;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalFlashWorld w;
        emulator::PrinterConfig printer;
        printer.link = emulator::LinkKind::Usb;
        printer.deviceId = "MFG:KV;MDL:ZOW3004F;FWV:V5.12;";
        w.attach(printer);
        w.find();
        w.ui.clear();
        w.state.firmwareFileName = c.make(w);
        const size_t receivedBefore = w.printer->received().size();

        EXPECT_FALSE(w.flash().started);
        ASSERT_EQ(w.ui.boxes().size(), 1u);
        EXPECT_EQ(w.ui.boxes()[0].caption, std::optional<std::string>("ProgramFlash"));
        EXPECT_EQ(w.ui.boxes()[0].text, "FW file DID NOT open");
        EXPECT_TRUE(w.trace.contains("ProgramFlash - FW file " + w.state.firmwareFileName +
                                     " DID NOT open: not a regular file\r\n"));
        // Nothing reached the printer after the re-probe's own requests.
        const auto received = w.printer->received();
        const std::string after(received.begin() + static_cast<ptrdiff_t>(receivedBefore),
                                received.end());
        EXPECT_EQ(after.find("\x1B*FR"), std::string::npos);
        EXPECT_EQ(w.printer->flashSummary().flashes, 0u);
        EXPECT_FALSE(w.state.flashInProgress);
        EXPECT_TRUE(w.queuesBack());
    }
}

}  // namespace
}  // namespace kv
