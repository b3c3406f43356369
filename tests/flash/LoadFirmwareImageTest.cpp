#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/FileBytes.h"
#include "flash/LoadFirmwareImage.h"
#include "image/FirmwareMarker.h"
#include "tests/support/Files.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempDir.h"

namespace kv {
namespace {

class LoadImage : public ::testing::Test {
protected:
    testing::SimWorld w;
    testing::TempDir dir;
    FirmwareImage image;

    void expectRefused(const std::string& text) {
        ASSERT_EQ(w.ui.boxes().size(), 1u);
        EXPECT_EQ(w.ui.boxes()[0].caption, std::optional<std::string>("Firmware update"));
        EXPECT_EQ(w.ui.boxes()[0].text, text);
        EXPECT_TRUE(image.data.empty());
        EXPECT_EQ(image.length, 0u);
        EXPECT_EQ(image.versionText, "");
    }
};

TEST_F(LoadImage, ReadsTheSelectedFileWhole) {
    std::vector<uint8_t> bytes = testing::pseudoRandomBytes(20000, 3);
    const std::string marker = "FWV:V5.20;";
    std::copy(marker.begin(), marker.end(), bytes.begin() + 9000);
    w.state.firmwareFileName = dir.file("a.bin");
    testing::writeAll(w.state.firmwareFileName, bytes);
    image.versionText = "stale";

    ASSERT_TRUE(loadFirmwareImage(w.ctx, image));
    EXPECT_EQ(image.data, bytes);
    EXPECT_EQ(image.length, 20000u);
    EXPECT_EQ(image.versionText, firmwareVersionInImage(bytes.data(), bytes.size()));
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_TRUE(w.trace.contains("LoadFirmwareImage - 20000 bytes, version \"" + image.versionText +
                                 "\"\r\n"));
}

TEST_F(LoadImage, EmptyFileIsAnEmptyImage) {
    w.state.firmwareFileName = dir.file("empty.bin");
    testing::writeAll(w.state.firmwareFileName, {});
    ASSERT_TRUE(loadFirmwareImage(w.ctx, image));
    EXPECT_EQ(image.length, 0u);
}

TEST_F(LoadImage, NoNameSelected) {
    image = makeFirmwareImage({0x46, 0x57, 0x56, 0x3A});
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image));
    expectRefused("No firmware file selected");
}

TEST_F(LoadImage, MissingFile) {
    w.state.firmwareFileName = dir.file("gone.bin");
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image));
    ASSERT_EQ(w.ui.boxes().size(), 1u);
    EXPECT_EQ(w.ui.boxes()[0].caption, std::optional<std::string>("Firmware update"));
    EXPECT_EQ(w.ui.boxes()[0].text.rfind(
                  "Could not read the firmware file " + w.state.firmwareFileName + " (", 0),
              0u)
        << w.ui.boxes()[0].text;
}

TEST_F(LoadImage, FolderIsNotAnImage) {
    w.state.firmwareFileName = dir.path().string();
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image));
    expectRefused("Could not read the firmware file " + dir.path().string() +
                  " (not a regular file)");
}

TEST_F(LoadImage, SizeLimitIsInclusive) {
    w.state.firmwareFileName = dir.file("limit.bin");
    testing::writeAll(w.state.firmwareFileName, std::vector<uint8_t>(100, 0x55));
    EXPECT_TRUE(loadFirmwareImage(w.ctx, image, 100));
    EXPECT_EQ(image.length, 100u);

    testing::writeAll(w.state.firmwareFileName, std::vector<uint8_t>(101, 0x55));
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image, 100));
    expectRefused("The firmware file " + w.state.firmwareFileName +
                  " is too large: 101 bytes, at most 100 bytes can be sent");
}

TEST_F(LoadImage, RefusesOver64MiBWithoutReadingIt) {
    EXPECT_EQ(kMaxFirmwareImageBytes, 64ull * 1024 * 1024);
    w.state.firmwareFileName = dir.file("huge.bin");
    testing::writeAll(w.state.firmwareFileName, {});
    // Sparse: no 64 MiB is written.
    std::filesystem::resize_file(w.state.firmwareFileName, kMaxFirmwareImageBytes + 1);
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image));
    expectRefused("The firmware file " + w.state.firmwareFileName +
                  " is too large: 67108865 bytes, at most 67108864 bytes can be sent");
}

TEST(ReadFileBytes, LargerThanOneReadChunk) {
    testing::TempDir dir;
    const std::vector<uint8_t> bytes = testing::pseudoRandomBytes(3 * (1 << 20) + 5, 11);
    testing::writeAll(dir.file("big.bin"), bytes);
    const auto files = testing::makeHostFileReader();
    FileBytes whole = readFileBytes(*files, dir.file("big.bin"));
    ASSERT_EQ(whole.status, FileBytes::Status::Ok);
    EXPECT_EQ(whole.bytes, bytes);
    EXPECT_EQ(readFileBytes(*files, dir.file("big.bin"), bytes.size() - 1).status,
              FileBytes::Status::TooLarge);
}

}  // namespace
}  // namespace kv
