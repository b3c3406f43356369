// With a trusted key, an image is checked when it is selected and again,
// before flash mode, over the very bytes that are then sent: a file
// replaced after its selection never reaches the printer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "SignatureFixtures.h"
#include "flash/FlashHistory.h"
#include "flash/Selection.h"
#include "image/ImageTool.h"
#include "image/Sha256.h"
#include "image/Minisign.h"
#include "tests/flash/EthernetFlashWorld.h"
#include "tests/flash/LocalFlashWorld.h"

namespace kv {
namespace {

std::string fixture(const std::string& name) {
    for (const EmbeddedFile& f : kEmbeddedFiles)
        if (name == f.name) return std::string(f.bytes, f.size);
    ADD_FAILURE() << "no fixture " << name;
    return {};
}

// The site key of the fixtures, trusted: checking is on.
platform::TrustedKeys siteKeys() {
    platform::TrustedKeys trust;
    trust.checking = true;
    trust.keys.push_back({*parseMinisignKey(fixture("site.pub")).value, "site.pub"});
    return trust;
}

struct Seen {
    bool selected = false;          // the selection's check let it through
    bool started = false;           // a transfer worker ran
    bool flashModeEntered = false;  // the printer saw flash mode
    std::vector<std::string> boxes;
    std::string signatureKey;  // of the flash's record
    std::string sha256;        // of what the printer was sent
};

// The image the fixture signs, beside its signature; selected, then, when
// `replaced`, changed by one byte; then Flash Printer NOW.
template <typename World, typename Flash>
Seen run(World& w, const emulator::PrinterModel& printer, const std::string& path, bool replaced,
         Flash flash) {
    testing::Bytes bytes = makeTestPayload("V1.00", 64u << 10);
    testing::writeAll(path, bytes);
    testing::writeFile(path + ".minisig", fixture("small.minisig"));
    w.state.firmwareFileName = path;
    Seen seen;
    seen.selected = showImageFacts(w.ctx, path);
    if (replaced) {
        bytes[30000] ^= 0x01;
        testing::writeAll(path, bytes);
    }
    seen.started = flash();
    seen.flashModeEntered = printer.flashSummary().flashes > 0;
    seen.sha256 = printer.flashSummary().imageSha256;
    seen.boxes = w.ui.boxTexts();
    const HistoryContent h = parseHistory(w.history.content());
    if (!h.entries.empty()) seen.signatureKey = h.entries.back().record.signatureKey;
    return seen;
}

TEST(SignedFlash, SelectedThenReplacedIsRefusedBeforeFlashMode) {
    const platform::TrustedKeys trust = siteKeys();
    for (const bool ethernet : {false, true}) {
        for (const bool replaced : {false, true}) {
            SCOPED_TRACE(std::string(ethernet ? "Ethernet" : "USB") +
                         (replaced ? ", replaced" : ""));
            Seen seen;
            if (ethernet) {
                ethtest::EthernetFlashWorld w;
                w.sys.wired.trustedKeys = &trust;
                ASSERT_TRUE(w.find());
                seen =
                    run(w, w.model, w.dir.file("image.bin"), replaced, [&] { return w.flash(); });
            } else {
                testing::LocalFlashWorld w;
                w.sys.wired.trustedKeys = &trust;
                emulator::PrinterConfig c;
                c.link = emulator::LinkKind::Usb;
                c.deviceId = ethtest::kDeviceId;
                w.attach(c);
                w.find();
                seen = run(w, *w.printer, w.dir.file("image.bin"), replaced,
                           [&] { return w.flash().ended; });
            }
            EXPECT_TRUE(seen.selected);
            EXPECT_EQ(seen.started, !replaced) << ::testing::PrintToString(seen.boxes);
            EXPECT_EQ(seen.flashModeEntered, !replaced);
            // Sent from the bytes that were checked.
            if (!replaced) {
                EXPECT_EQ(seen.sha256, sha256Hex(makeTestPayload("V1.00", 64u << 10)));
            }
            EXPECT_EQ(seen.signatureKey, replaced ? "" : "03C33CDB3149F848");
            const bool refusedBox =
                std::any_of(seen.boxes.begin(), seen.boxes.end(), [](const std::string& b) {
                    return b.find("the image does not match its signature") != std::string::npos;
                });
            EXPECT_EQ(refusedBox, replaced);
        }
    }
}

}  // namespace
}  // namespace kv
