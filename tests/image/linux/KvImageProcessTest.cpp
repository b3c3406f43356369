#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/FirmwareHeader.h"
#include "image/ImageTool.h"
#include "tests/support/TempDir.h"

namespace kv {
namespace {

TEST(ParseHeaderVersion, Forms) {
    const struct {
        const char* text;
        bool ok;
        int major, minor;
    } cases[] = {
        {"5.12", true, 5, 12}, {"5.13", true, 5, 13}, {"5.1", true, 5, 1},
        {"255.255", true, 255, 255}, {"0.0", true, 0, 0}, {"256.1", false, 0, 0},
        {"5.256", false, 0, 0}, {"5", false, 0, 0}, {"5.", false, 0, 0},
        {".12", false, 0, 0}, {"a.b", false, 0, 0}, {"5.12.1", false, 0, 0},
        {"-5.12", false, 0, 0}, {" 5.12", false, 0, 0}, {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto v = parseHeaderVersion(c.text);
        ASSERT_EQ(v.has_value(), c.ok) << c.text;
        if (v) {
            EXPECT_EQ(v->major, c.major) << c.text;
            EXPECT_EQ(v->minor, c.minor) << c.text;
        }
    }
}

TEST(MakeTestPayload, MarkerFirstThenTheSameBytesEveryTime) {
    const std::vector<uint8_t> a = makeTestPayload("V5.20", 4096);
    ASSERT_EQ(a.size(), 4096u);
    EXPECT_EQ(std::string(a.begin(), a.begin() + 10), "FWV:V5.20;");
    EXPECT_EQ(a, makeTestPayload("V5.20", 4096));
    EXPECT_EQ(makeTestPayload("V5.20", 10), std::vector<uint8_t>(a.begin(), a.begin() + 10));
    // Not a constant fill: the bytes after the marker vary.
    std::vector<int> seen(256, 0);
    for (size_t i = 10; i < a.size(); ++i) seen[a[i]] = 1;
    EXPECT_GT(std::count(seen.begin(), seen.end(), 1), 200);
    EXPECT_THROW(makeTestPayload("V5.20", 9), std::invalid_argument);
}

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
    static std::string text(const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
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
        r.code = std::stoi(text(dir.file("rc.txt")));
        r.out = text(dir.file("out.txt"));
        r.err = text(dir.file("err.txt"));
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
    ASSERT_EQ(CheckFirmwareHeader(image.data(), static_cast<uint32_t>(image.size()), &body),
              10001);
    EXPECT_EQ(std::vector<uint8_t>(body, body + 10001), payload);

    ToolRun valid = run({"check", imagePath});
    EXPECT_EQ(valid.code, kImageToolOk);
    EXPECT_EQ(valid.out, imagePath +
                             ": headed, valid; header version 5.12, checksum 0xABCD, payload "
                             "10001 bytes; image version \"V5.20\"\n");

    ToolRun plain = run({"check", payloadPath});
    EXPECT_EQ(plain.code, kImageToolNotHeaded);
    EXPECT_NE(plain.out.find("not headed (no KV_FIRMWARE magic)"), std::string::npos)
        << plain.out;
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
    expectOneErrorLine(run({"wrap", dir.file("p.bin"), dir.file("w.bin"), "--header-version",
                            "5-12"}),
                       "bad header version");
    expectOneErrorLine(run({"wrap", dir.file("p.bin")}), "expected PAYLOAD and OUT");
    expectOneErrorLine(run({"fold", dir.file("p.bin")}), "unknown verb");
    expectOneErrorLine(run({"check", "--fast", dir.file("p.bin")}), "unknown option");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bin")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("w.bin")));
}

}  // namespace
}  // namespace kv
