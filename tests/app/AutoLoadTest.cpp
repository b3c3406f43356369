// The automatic-load search: the image beside the program judged against
// the one printer found, and flashed while its queues stay on the dummy port.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

#include "app/AutoLoad.h"
#include "tests/flash/LocalFlashWorld.h"

namespace kv {
namespace {

using emulator::LinkKind;
using platform::Control;
using testing::Bytes;
using testing::DiscoveryWorld;
using testing::LocalFlashWorld;

TEST(AutomaticLoad, ARejectedFileShowsWhyAndRestores) {
    DiscoveryWorld w;
    w.plugUsb(w.model(LinkKind::Usb));  // MVQ Plus: needs "FMVQ" in the path
    w.state.autoLoadMode = true;
    w.state.autoLoadFilePath = "/opt/kv/F2ZOW_V6.bin";

    searchAndLoadAutomatically(w.ctx, w.state.printerData);

    const auto boxes = w.ui.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "You have selected firmware not compatible with this printer");
    EXPECT_EQ(boxes[1].caption, "Validating FW File");
    EXPECT_EQ(boxes[1].text, "Invalid firmware file selected");
    EXPECT_EQ(w.controls.text(Control::statusText), "Checking file compatibility");
    EXPECT_TRUE(w.state.firmwareFileName.empty());
    EXPECT_TRUE(w.queuesBack());
    // Automatic-load mode does not hide the Flash button.
    for (const auto& e : w.controls.events()) {
        EXPECT_FALSE(e.control == Control::flashButton &&
                     e.kind == platform::sim::RecordingDialogControls::Kind::Hide);
    }
}

TEST(AutomaticLoad, LeavesTheQueuesToTheWorker) {
    using Kind = testing::HookedControls::Kind;
    LocalFlashWorld w;
    emulator::PrinterConfig config;
    config.link = LinkKind::Usb;
    config.deviceId = "MFG:KV;MDL:ZOW3004F;FWV:V5.12;";
    w.attach(config);
    const Bytes image = testing::imageBytes(9000);
    w.image(image, "FMVQ_V5.20.bin");
    w.state.autoLoadMode = true;
    w.state.autoLoadFilePath = w.state.firmwareFileName;
    w.state.firmwareFileName.clear();

    // The worker waits at its first text until the search has returned.
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    const auto ui = std::this_thread::get_id();
    w.hooked.setHook([&](Kind kind, Control c, const std::string&) {
        if (kind == Kind::Text && c == Control::programStatusText &&
            std::this_thread::get_id() != ui) {
            gate.wait_for(std::chrono::seconds(30));
        }
    });

    searchAndLoadAutomatically(w.ctx, w.state.printerData);
    ++w.workersStarted;
    EXPECT_TRUE(w.state.flashInProgress);
    EXPECT_EQ(w.state.firmwareFileName, w.state.autoLoadFilePath);
    // Still held for the worker, which has not sent a byte yet.
    EXPECT_EQ(w.kvQueueNow(), "FILE:");
    EXPECT_TRUE(w.controls.visible(Control::flashButton) ||
                w.controls.textsOf(Control::flashButton).empty());
    release.set_value();

    ASSERT_TRUE(w.state.workerSignal.waitForWorkerEnd());
    EXPECT_EQ(w.printer->flashImage(), image);
    EXPECT_EQ(w.controls.textsOf(Control::programStatusText).back(),
              "Printer successfully flashed");
    EXPECT_FALSE(w.state.flashInProgress);
    EXPECT_TRUE(w.queuesBack()) << w.kvQueueNow();
    EXPECT_FALSE(w.state.portsMoved);
    EXPECT_EQ(w.io.openHandles(), 0u);
}

}  // namespace
}  // namespace kv
