#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/FirmwareImage.h"
#include "image/FirmwareMarker.h"
#include "image/ImageSummary.h"
#include "image/Sha256.h"
#include "tests/support/Files.h"
#include "tests/support/HostPlatform.h"
#include "tests/support/TempDir.h"

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
        {"a false start", "FFWV:X;", "X"},
        {"a longer false start", "FWFWV:Y;", "Y"},
        {"a broken marker", "FWV-FWV:Z;", "Z"},
    };
    for (const auto& c : cases) {
        const auto* data = reinterpret_cast<const uint8_t*>(c.image.data());
        EXPECT_EQ(firmwareVersionInImage(data, c.image.size()), c.version) << c.name;
        // The same found in an image that arrives in pieces.
        for (size_t piece : {1u, 2u, 3u, 5u, 64u}) {
            FirmwareMarkerScanner scanner;
            for (size_t at = 0; at < c.image.size(); at += piece) {
                scanner.feed(data + at, std::min(piece, c.image.size() - at));
            }
            EXPECT_EQ(scanner.version(), c.version) << c.name << " in pieces of " << piece;
        }
    }
    EXPECT_EQ(firmwareVersionInImage(nullptr, 0), "");
}

TEST(MakeFirmwareImage, KeepsBytesLengthAndVersion) {
    const FirmwareImage image =
        makeFirmwareImage(bytesOf("\x01"
                                  "FWV:V5.20;\x02\x03"));
    EXPECT_EQ(image.versionText, "V5.20");
    EXPECT_EQ(image.length, 13u);
    EXPECT_EQ(image.data, bytesOf("\x01"
                                  "FWV:V5.20;\x02\x03"));
}

// A file read in pieces: its marker found across a piece's end, its hash
// over all of it; a file over the limit or none at all is not summarized.
TEST(SummarizeImageFile, ReadsInPiecesWithinTheLimit) {
    testing::TempDir dir;
    std::vector<uint8_t> bytes = testing::pseudoRandomBytes(3 * 1024 * 1024 + 5, 3);
    const std::string marker = "FWV:V9.87;";
    std::copy(marker.begin(), marker.end(), bytes.begin() + (1 << 20) - 4);
    const std::string path = dir.file("FMVQ_big.bin");
    testing::writeAll(path, bytes);
    const auto files = testing::makeHostFileReader();

    const ImageSummary whole = summarizeImageFile(*files, path);
    EXPECT_TRUE(whole.readable);
    EXPECT_EQ(whole.size, bytes.size());
    EXPECT_EQ(whole.version, "V9.87");
    EXPECT_EQ(whole.sha256, sha256Hex(bytes));

    const ImageSummary over = summarizeImageFile(*files, path, bytes.size() - 1);
    EXPECT_FALSE(over.readable);
    EXPECT_EQ(over.size, bytes.size());
    EXPECT_EQ(over.reason, "larger than " + std::to_string(bytes.size() - 1) + " bytes");

    const ImageSummary none = summarizeImageFile(*files, dir.file("missing.bin"));
    EXPECT_FALSE(none.readable);
    EXPECT_FALSE(none.reason.empty());
}

}  // namespace
}  // namespace kv
