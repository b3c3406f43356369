// A host that never stops sending: what the model keeps stays bounded, and
// what it reports (counts, hash, version, log) still covers everything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "image/Sha256.h"
#include "platform/sim/VirtualClock.h"

namespace kv::emulator {
namespace {

using Bytes = std::vector<uint8_t>;

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(ModelMemory, EndlessNoiseIsLoggedAsItComesAndKeptOnlyUpToTheCap) {
    PrinterConfig c;
    c.keepBytes = 4096;
    PrinterModel model(c);
    // Each '<' could start "<SA08>" until the next one arrives.
    const std::string block(8192, '<');
    constexpr size_t kBlocks = 1024;  // 8 MiB
    for (size_t i = 0; i < kBlocks; ++i) model.write(block);

    EXPECT_EQ(model.received().size(), 4096u);
    EXPECT_EQ(model.receivedCount(), kBlocks * block.size());
    const auto log = model.requestLog();
    ASSERT_EQ(log.size(), kBlocks);
    // The first write's last '<' still waits; every later one pushes it out.
    EXPECT_EQ(log[0], "unrecognised 8191 bytes: " + std::string(kUnknownBytesShown, '<') + "...");
    EXPECT_EQ(log[1], "unrecognised 8192 bytes: " + std::string(kUnknownBytesShown, '<') + "...");
    // It still understands a request after all that.
    model.write(">");
    model.write("<SA08>");
    EXPECT_EQ(text(model.read(1024)), c.deviceId);
}

TEST(ModelMemory, RequestsNobodyReadsAreBoundedInTheLogAndTheReplies) {
    PrinterModel model;
    const size_t requests = kMaxRequestLogLines + 500;
    std::string many;
    for (size_t i = 0; i < requests; ++i) many += "<SS>";
    model.write(many);

    const auto log = model.requestLog();
    ASSERT_EQ(log.size(), kMaxRequestLogLines);
    EXPECT_EQ(log.back(), "request log full: later lines are counted only");
    EXPECT_EQ(log.size() - 1 + model.requestLinesNotKept(),
              requests + (requests - kMaxPendingReplies));
    size_t replies = 0;
    while (!model.read(1024).empty()) ++replies;
    EXPECT_EQ(replies, kMaxPendingReplies);
}

TEST(ModelMemory, AnImageBeyondTheCapIsHashedWholeAndItsVersionFound) {
    PrinterConfig c;
    c.keepBytes = 65536;
    c.resetMs = 0;
    platform::sim::VirtualClock clock;
    PrinterModel model(c, &clock);
    Bytes image(200 * 1024);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
    // Well past the kept bytes, and split across two writes.
    const std::string marker = "FWV:V9.99;";
    std::copy(marker.begin(), marker.end(), image.begin() + 100000);

    model.write("\x1B*FR<SA15>");
    model.read(1024);
    for (size_t at = 0; at < image.size(); at += 8192) {
        const size_t n = std::min<size_t>(8192, image.size() - at);
        model.write(image.data() + at, n);
    }
    const FlashSummary summary = model.flashSummary();
    EXPECT_EQ(summary.imageBytes, image.size());
    EXPECT_EQ(summary.imageSha256, sha256Hex(image));
    EXPECT_EQ(model.flashImage(), Bytes(image.begin(), image.begin() + 65536));

    clock.advanceMs(2000);
    model.linkReset();  // the host's next connection ends the image
    EXPECT_EQ(model.firmwareText(), "V9.99");
}

}  // namespace
}  // namespace kv::emulator
