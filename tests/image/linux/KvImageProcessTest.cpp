#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/FirmwareHeader.h"
#include "image/ImageTool.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace kv {
namespace {

// kvimage run as a process.
struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

class KvImage : public ::testing::Test {
protected:
    testing::TempDir dir;

    static std::string quote(const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }

    ToolRun run(const std::vector<std::string>& args) {
        const char* build = std::getenv("KVFLASH_BUILD_DIR");
        if (!build) {
            ADD_FAILURE() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
            return {};
        }
        std::string command = quote(std::string(build) + "/bin/kvimage");
        for (const std::string& a : args) command += " " + quote(a);
        command += " >" + quote(dir.file("out.txt")) + " 2>" + quote(dir.file("err.txt")) +
                   "; echo $? >" + quote(dir.file("rc.txt"));
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        ToolRun r;
        r.code = std::stoi(testing::readFile(dir.file("rc.txt")));
        r.out = testing::readFile(dir.file("out.txt"));
        r.err = testing::readFile(dir.file("err.txt"));
        return r;
    }

    static void expectOneErrorLine(const ToolRun& r, const std::string& part) {
        EXPECT_EQ(r.code, kImageToolError);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("kvimage: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
    }
};

TEST_F(KvImage, MakeWrapCheck) {
    const std::string payloadPath = dir.file("payload.bin");
    const std::string imagePath = dir.file("image.bin");

    ToolRun made = run({"make", "--version", "V5.20", "--size", "10001", payloadPath});
    ASSERT_EQ(made.code, 0) << made.err;
    const std::vector<uint8_t> payload = testing::readAll(payloadPath);
    EXPECT_EQ(payload, makeTestPayload("V5.20", 10001));

    ToolRun wrapped = run({"wrap", payloadPath, imagePath, "--header-version", "5.12"});
    ASSERT_EQ(wrapped.code, 0) << wrapped.err;
    EXPECT_EQ(wrapped.err, "");
    const std::vector<uint8_t> image = testing::readAll(imagePath);
    const uint8_t* body = nullptr;
    ASSERT_EQ(CheckFirmwareHeader(image.data(), static_cast<uint32_t>(image.size()), &body), 10001);
    EXPECT_EQ(std::vector<uint8_t>(body, body + 10001), payload);

    ToolRun valid = run({"check", imagePath});
    EXPECT_EQ(valid.code, kImageToolOk);
    EXPECT_EQ(valid.out, imagePath +
                             ": headed, valid; header version 5.12, checksum 0xABCD, payload "
                             "10001 bytes; image version \"V5.20\"\n");

    ToolRun plain = run({"check", payloadPath});
    EXPECT_EQ(plain.code, kImageToolNotHeaded);
    EXPECT_NE(plain.out.find("not headed (no KV_FIRMWARE magic)"), std::string::npos) << plain.out;
}

TEST_F(KvImage, WrapEveryLengthAndAnOptionFirst) {
    for (size_t length : {0u, 1u, 2u, 513u}) {
        const std::vector<uint8_t> payload = testing::pseudoRandomBytes(length, 100 + length);
        testing::writeAll(dir.file("p.bin"), payload);
        ToolRun r = run({"wrap", "--header-version=5.13", dir.file("p.bin"), dir.file("w.bin")});
        ASSERT_EQ(r.code, 0) << r.err;
        const std::vector<uint8_t> image = testing::readAll(dir.file("w.bin"));
        const uint8_t* body = nullptr;
        ASSERT_EQ(CheckFirmwareHeader(image.data(), static_cast<uint32_t>(image.size()), &body),
                  static_cast<int32_t>(length));
        EXPECT_EQ(image[21], 13);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), body)) << length;
    }
}

TEST_F(KvImage, CheckSaysWhyAFileIsRefusedOrNotHeaded) {
    const std::vector<uint8_t> payload = {1, 2, 3};
    std::vector<uint8_t> v511 = buildHeadedImage(payload.data(), 3, 5, 11);
    testing::writeAll(dir.file("v511.bin"), v511);
    ToolRun r = run({"check", dir.file("v511.bin")});
    EXPECT_EQ(r.code, kImageToolRefused);
    EXPECT_NE(r.out.find("refused (header version 5.11 is neither 5.12 nor 5.13)"),
              std::string::npos)
        << r.out;

    std::vector<uint8_t> complement = buildHeadedImage(payload.data(), 3, 5, 12);
    complement[17] += 1;
    complement[19] -= 1;
    testing::writeAll(dir.file("complement.bin"), complement);
    r = run({"check", dir.file("complement.bin")});
    EXPECT_EQ(r.code, kImageToolRefused);
    EXPECT_NE(r.out.find("is not the complement of the check byte"), std::string::npos) << r.out;

    std::vector<uint8_t> badSum = buildHeadedImage(payload.data(), 3, 5, 12);
    badSum.back() ^= 0x40;
    testing::writeAll(dir.file("badsum.bin"), badSum);
    r = run({"check", dir.file("badsum.bin")});
    EXPECT_EQ(r.code, kImageToolNotHeaded);
    EXPECT_NE(r.out.find("checksum is not 0xABCD"), std::string::npos) << r.out;

    testing::writeAll(dir.file("short.bin"), {'K', 'V'});
    r = run({"check", dir.file("short.bin")});
    EXPECT_EQ(r.code, kImageToolNotHeaded);
    EXPECT_NE(r.out.find("shorter than the 22-byte header"), std::string::npos) << r.out;
}

TEST_F(KvImage, ErrorsAreOneLineAndExit3) {
    expectOneErrorLine(run({"make", "--version", "V5.20", "--size", "9", dir.file("x.bin")}),
                       "smaller than the marker \"FWV:V5.20;\" (10 bytes)");
    expectOneErrorLine(run({"make", "--version", "V5.20", "--size", "12k", dir.file("x.bin")}),
                       "bad size \"12k\"");
    expectOneErrorLine(run({"make", "--size", "100", dir.file("x.bin")}), "--version");
    expectOneErrorLine(run({"check", dir.file("missing.bin")}), "cannot read");
    testing::writeAll(dir.file("p.bin"), {1, 2, 3});
    expectOneErrorLine(run({"wrap", dir.file("p.bin"), dir.file("no/such/folder/w.bin")}),
                       "cannot write");
    expectOneErrorLine(
        run({"wrap", dir.file("p.bin"), dir.file("w.bin"), "--header-version", "5-12"}),
        "bad header version");
    expectOneErrorLine(run({"wrap", dir.file("p.bin")}), "expected PAYLOAD and OUT");
    expectOneErrorLine(run({"fold", dir.file("p.bin")}), "unknown verb");
    expectOneErrorLine(run({"check", "--fast", dir.file("p.bin")}), "unknown option");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bin")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("w.bin")));
}

}  // namespace
}  // namespace kv
