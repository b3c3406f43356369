#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/FileBytes.h"
#include "flash/LoadFirmwareImage.h"
#include "image/FirmwareMarker.h"
#include "tests/flash/FlashTestSupport.h"

namespace kv {
namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(FirmwareVersionInImage, Rule) {
    const std::string a127(127, 'A');
    const struct {
        const char* name;
        std::string image;
        std::string version;
    } cases[] = {
        {"at the start", "FWV:V5.20;\x01\x02", "V5.20"},
        {"in the middle", std::string("\xFF\x00xx", 4) + "FWV:V1.0;yy", "V1.0"},
        {"first of two", "FWV:A;FWV:B;", "A"},
        {"none", "MDL:ZOW;fwv:V1;", ""},
        {"cut marker", "xxFWV", ""},
        {"marker at the end", "xxFWV:", ""},
        {"empty value", "FWV:;V2", ""},
        {"NUL ends it", std::string("FWV:AB\0CD;", 10), "AB"},
        {"end of data ends it", "FWV:V7", "V7"},
        {"127 then ';'", "FWV:" + a127 + ";", a127},
        {"no terminator within 127", "FWV:" + a127 + "BCD;", a127},
        {"empty image", "", ""},
    };
    for (const auto& c : cases) {
        const auto* data = reinterpret_cast<const uint8_t*>(c.image.data());
        EXPECT_EQ(firmwareVersionInImage(data, c.image.size()), c.version) << c.name;
    }
    EXPECT_EQ(firmwareVersionInImage(nullptr, 0), "");
}

TEST(MakeFirmwareImage, KeepsBytesLengthAndVersion) {
    const FirmwareImage image = makeFirmwareImage(bytesOf("\x01" "FWV:V5.20;\x02\x03"));
    EXPECT_EQ(image.versionText, "V5.20");
    EXPECT_EQ(image.length, 13u);
    EXPECT_EQ(image.data, bytesOf("\x01" "FWV:V5.20;\x02\x03"));
}

class LoadImage : public ::testing::Test {
protected:
    test::SimWorld w;
    test::TempDir dir;
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
    std::vector<uint8_t> bytes = test::pseudoRandomBytes(20000, 3);
    const std::string marker = "FWV:V5.20;";
    std::copy(marker.begin(), marker.end(), bytes.begin() + 9000);
    w.state.firmwareFileName = dir.file("a.bin");
    test::writeAll(w.state.firmwareFileName, bytes);
    image.versionText = "stale";

    ASSERT_TRUE(loadFirmwareImage(w.ctx, image));
    EXPECT_EQ(image.data, bytes);
    EXPECT_EQ(image.length, 20000u);
    EXPECT_EQ(image.versionText, firmwareVersionInImage(bytes.data(), bytes.size()));
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_TRUE(w.trace.contains("LoadFirmwareImage - 20000 bytes, version \"" +
                                 image.versionText + "\"\r\n"));
}

TEST_F(LoadImage, EmptyFileIsAnEmptyImage) {
    w.state.firmwareFileName = dir.file("empty.bin");
    test::writeAll(w.state.firmwareFileName, {});
    ASSERT_TRUE(loadFirmwareImage(w.ctx, image));
    EXPECT_EQ(image.length, 0u);
}

TEST_F(LoadImage, NoNameSelected) {
    image = makeFirmwareImage(bytesOf("FWV:old;"));
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image));
    expectRefused("No firmware file selected");
}

TEST_F(LoadImage, MissingFile) {
    w.state.firmwareFileName = dir.file("gone.bin");
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image));
    ASSERT_EQ(w.ui.boxes().size(), 1u);
    EXPECT_EQ(w.ui.boxes()[0].caption, std::optional<std::string>("Firmware update"));
    EXPECT_EQ(w.ui.boxes()[0].text.rfind("Could not read the firmware file " +
                                             w.state.firmwareFileName + " (", 0),
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
    test::writeAll(w.state.firmwareFileName, std::vector<uint8_t>(100, 0x55));
    EXPECT_TRUE(loadFirmwareImage(w.ctx, image, 100));
    EXPECT_EQ(image.length, 100u);

    test::writeAll(w.state.firmwareFileName, std::vector<uint8_t>(101, 0x55));
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image, 100));
    expectRefused("The firmware file " + w.state.firmwareFileName +
                  " is too large: 101 bytes, at most 100 bytes can be sent");
}

TEST_F(LoadImage, RefusesOver64MiBWithoutReadingIt) {
    EXPECT_EQ(kMaxFirmwareImageBytes, 64ull * 1024 * 1024);
    w.state.firmwareFileName = dir.file("huge.bin");
    test::writeAll(w.state.firmwareFileName, {});
    // Sparse: no 64 MiB is written.
    std::filesystem::resize_file(w.state.firmwareFileName, kMaxFirmwareImageBytes + 1);
    EXPECT_FALSE(loadFirmwareImage(w.ctx, image));
    expectRefused("The firmware file " + w.state.firmwareFileName +
                  " is too large: 67108865 bytes, at most 67108864 bytes can be sent");
}

TEST(ReadFileBytes, LargerThanOneReadChunk) {
    test::TempDir dir;
    const std::vector<uint8_t> bytes = test::pseudoRandomBytes(3 * (1 << 20) + 5, 11);
    test::writeAll(dir.file("big.bin"), bytes);
    FileBytes whole = readFileBytes(dir.file("big.bin"));
    ASSERT_EQ(whole.status, FileBytes::Status::Ok);
    EXPECT_EQ(whole.bytes, bytes);
    EXPECT_EQ(readFileBytes(dir.file("big.bin"), bytes.size() - 1).status,
              FileBytes::Status::TooLarge);
}

}  // namespace
}  // namespace kv
