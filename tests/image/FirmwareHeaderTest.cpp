#include <gtest/gtest.h>

#include <vector>

#include "image/FirmwareHeader.h"
#include "tests/support/TempDir.h"

namespace kv {
namespace {

// Made by hand: magic, five unexamined bytes, check byte 0x3C and 0xC3,
// bytes 18-19 making the sum 0xABCD, header version 5.12.
const std::vector<uint8_t> kValidHeader = {0x4B, 0x56, 0x5F, 0x46, 0x49, 0x52, 0x4D, 0x57,
                                           0x41, 0x52, 0x45, 0x01, 0x02, 0x03, 0x04, 0x05,
                                           0x3C, 0xC3, 0xC0, 0x3A, 0x05, 0x0C};

const uint8_t* const kUntouched = reinterpret_cast<const uint8_t*>(&kValidHeader);

int32_t check(const std::vector<uint8_t>& image, const uint8_t** payload) {
    *payload = kUntouched;
    return CheckFirmwareHeader(image.data(), static_cast<uint32_t>(image.size()), payload);
}

TEST(FirmwareChecksum, LittleEndianWordsOddByteLowModulo65536) {
    const std::vector<std::pair<std::vector<uint8_t>, uint16_t>> cases = {
        {{}, 0x0000},
        {{0x01}, 0x0001},
        {{0x01, 0x02}, 0x0201},
        {{0x01, 0x02, 0x03}, 0x0204},
        {{0xFF, 0xFF, 0x02}, 0x0001},
    };
    for (const auto& [bytes, sum] : cases)
        EXPECT_EQ(firmwareChecksum(bytes.data(), bytes.size()), sum) << bytes.size();
    // Enough words to carry past 32 bits in a naive sum: 0xFFFF * 200000.
    const std::vector<uint8_t> ones(400000, 0xFF);
    EXPECT_EQ(firmwareChecksum(ones.data(), ones.size()), uint16_t(0xFFFFull * 200000 % 65536));
}

TEST(CheckFirmwareHeader, Results) {
    const uint8_t* payload = nullptr;

    EXPECT_EQ(check(kValidHeader, &payload), 0);
    EXPECT_EQ(payload, kValidHeader.data() + 22);

    struct Case {
        const char* name;
        std::vector<uint8_t> image;
        int32_t result;
    };
    std::vector<Case> cases;
    {
        auto noMagic = kValidHeader;
        noMagic[10] = 'e';  // also breaks the checksum; fix it through byte 18
        noMagic[18] += 'E' - 'e';
        cases.push_back({"no magic", noMagic, -1});
    }
    cases.push_back({"short", {kValidHeader.begin(), kValidHeader.end() - 1}, -1});
    cases.push_back({"empty", {}, -1});
    {
        auto badSum = kValidHeader;
        badSum[19] ^= 0x01;
        cases.push_back({"wrong checksum", badSum, -1});
    }
    {
        auto badComplement = kValidHeader;
        badComplement[17] += 1;  // byte 19 is the high byte of the next word: undo there
        badComplement[19] -= 1;
        cases.push_back({"complement mismatch", badComplement, -2});
    }
    {
        auto v511 = kValidHeader;
        v511[21] = 11;
        v511[19] += 1;  // bytes 21 and 19 are both high bytes of their words
        cases.push_back({"version 5.11", v511, -2});
    }
    {
        auto v513 = kValidHeader;
        v513[21] = 13;
        v513[19] -= 1;
        cases.push_back({"version 5.13", v513, 0});
    }
    {
        auto v4112 = kValidHeader;  // 4 * 100 + 112 is 512 as well
        v4112[20] = 4;
        v4112[21] = 112;
        v4112[18] += 1;
        v4112[19] -= 100;
        cases.push_back({"version 4.112", v4112, 0});
    }
    {
        auto withPayload = kValidHeader;
        withPayload.push_back(0x34);
        withPayload.push_back(0x12);
        withPayload[18] -= 0x34;  // no borrow: 0xC0 - 0x34
        withPayload[19] -= 0x12;
        cases.push_back({"two-byte payload", withPayload, 2});
    }
    for (const Case& c : cases) {
        ASSERT_EQ(firmwareChecksum(c.image.data(), c.image.size()) == kFirmwareChecksum,
                  std::string(c.name) != "wrong checksum" && c.image.size() >= 22)
            << c.name << ": the case itself is built wrong";
        const int32_t result = check(c.image, &payload);
        EXPECT_EQ(result, c.result) << c.name;
        if (result >= 0)
            EXPECT_EQ(payload, c.image.data() + 22) << c.name;
        else
            EXPECT_EQ(payload, nullptr) << c.name;
    }
}

TEST(CheckFirmwareHeader, OddLengthLastByteIsALowByte) {
    // Valid only when the final 0x80 counts as 0x0080; as 0x8000 the sum would be 0x2B4D.
    const std::vector<uint8_t> odd = {0x4B, 0x56, 0x5F, 0x46, 0x49, 0x52, 0x4D, 0x57, 0x41,
                                      0x52, 0x45, 0x01, 0x02, 0x03, 0x04, 0x05, 0x3C, 0xC3,
                                      0x2F, 0xB9, 0x05, 0x0D, 0x11, 0x80, 0x80};
    const uint8_t* payload = nullptr;
    EXPECT_EQ(check(odd, &payload), 3);
    EXPECT_EQ(payload, odd.data() + 22);
}

TEST(BuildHeadedImage, GivesThePayloadBackByteForByte) {
    for (size_t length : {0u, 1u, 2u, 3u, 21u, 22u, 23u, 511u, 512u, 8193u, 300001u}) {
        const std::vector<uint8_t> data = testing::pseudoRandomBytes(length, 7 + length);
        const std::vector<uint8_t> image = buildHeadedImage(data.data(), data.size(), 5, 12);
        ASSERT_EQ(image.size(), length + 22);
        EXPECT_EQ(std::string(image.begin(), image.begin() + 11), "KV_FIRMWARE");
        EXPECT_EQ(image[16] ^ image[17], 0xFF);
        EXPECT_EQ(image[20], 5);
        EXPECT_EQ(image[21], 12);
        const uint8_t* payload = nullptr;
        ASSERT_EQ(check(image, &payload), static_cast<int32_t>(length)) << length;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), payload)) << length;
    }
}

TEST(BuildHeadedImage, WritesTheVersionAndCheckByteAsked) {
    const std::vector<uint8_t> data = {1, 2, 3};
    const uint8_t* payload = nullptr;
    EXPECT_EQ(check(buildHeadedImage(data.data(), 3, 5, 13, 0x00), &payload), 3);
    EXPECT_EQ(check(buildHeadedImage(data.data(), 3, 5, 11), &payload), -2);
    EXPECT_EQ(check(buildHeadedImage(data.data(), 3, 6, 0), &payload), -2);
}

}  // namespace
}  // namespace kv
