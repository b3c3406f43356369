// The targets of a fleet run: every form a technician types or keeps in a
// list file, every refusal, with the token and line the error names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "fleet/Targets.h"
#include "platform/EventText.h"
#include "tests/support/HostPlatform.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace kv::fleet {
namespace {

using Tokens = std::vector<std::string>;

// The endpoints as texts, or the usage error.
std::vector<std::string> parsed(const Tokens& tokens) {
    const auto reader = testing::makeHostFileReader();
    const auto result = parseTargets(tokens, 10001, *reader);
    if (const auto* error = std::get_if<TargetError>(&result)) return {describe(*error)};
    std::vector<std::string> out;
    for (const Endpoint& e : std::get<std::vector<Endpoint>>(result)) out.push_back(e.text());
    return out;
}

// The usage error of refused tokens. A list file's token, the first 40
// characters of its escaped path, reads "@FILE" here: the temporary folder's
// path is the system's.
std::string refusal(const Tokens& tokens) {
    const auto reader = testing::makeHostFileReader();
    const auto result = parseTargets(tokens, 10001, *reader);
    const auto* error = std::get_if<TargetError>(&result);
    if (!error) return "accepted";
    TargetError shown = *error;
    EXPECT_LE(shown.token.size(), 40u);
    const std::string path = platform::escapeEventText(tokens.back());
    if (tokens.back().starts_with('@') && shown.token.size() >= 37 &&
        path.starts_with(shown.token)) {
        shown.token = "@FILE";
    }
    return describe(shown);
}

TEST(Targets, GoodFormsNameTheirAddressesInOrderWithoutDuplicates) {
    testing::TempDir dir;
    ASSERT_TRUE(testing::writeFile(
        dir.file("site.txt"),
        "# box office\r\n\n  10.1.0.7:9100  # the one on the wall\n10.1.0.1-2\n\t\n10.0.0.3\n"));
    const struct {
        Tokens tokens;
        std::vector<std::string> endpoints;
    } cases[] = {
        {{"10.0.0.3"}, {"10.0.0.3:10001"}},
        {{"10.0.0.3:9100", "10.0.0.3"}, {"10.0.0.3:9100", "10.0.0.3:10001"}},
        {{"010.000.000.003:00080"}, {"10.0.0.3:80"}},
        {{"10.0.0.3-5"}, {"10.0.0.3:10001", "10.0.0.4:10001", "10.0.0.5:10001"}},
        {{"10.0.0.255-255:1"}, {"10.0.0.255:1"}},
        {{"10.0.0.9/30"}, {"10.0.0.9:10001", "10.0.0.10:10001"}},
        {{"10.0.0.9/31:65535"}, {"10.0.0.8:65535", "10.0.0.9:65535"}},
        {{"10.0.0.9/32"}, {"10.0.0.9:10001"}},
        // Next to the addresses no printer has, but not them.
        {{"223.255.255.254/31"}, {"223.255.255.254:10001", "223.255.255.255:10001"}},
        {{"240.0.0.0-1"}, {"240.0.0.0:10001", "240.0.0.1:10001"}},
        {{"255.255.255.254"}, {"255.255.255.254:10001"}},
        {{"10.0.0.4", "10.0.0.3-5", "10.0.0.4"},
         {"10.0.0.4:10001", "10.0.0.3:10001", "10.0.0.5:10001"}},
        {{"@" + dir.file("site.txt"), "10.1.0.2"},
         {"10.1.0.7:9100", "10.1.0.1:10001", "10.1.0.2:10001", "10.0.0.3:10001"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tokens.front());
        EXPECT_EQ(parsed(c.tokens), c.endpoints);
    }
    const std::vector<std::string> slash24 = parsed({"192.168.7.77/24"});
    ASSERT_EQ(slash24.size(), 254u);
    EXPECT_EQ(slash24.front(), "192.168.7.1:10001");
    EXPECT_EQ(slash24.back(), "192.168.7.254:10001");
}

TEST(Targets, EveryRefusalNamesTheTokenEscapedAndCut) {
    testing::TempDir dir;
    ASSERT_TRUE(
        testing::writeFile(dir.file("bad-line.txt"), "10.0.0.1\n# fine so far\n10.0.0.300\n"));
    ASSERT_TRUE(testing::writeFile(dir.file("nested.txt"), "10.0.0.1\n@other.txt\n"));
    ASSERT_TRUE(
        testing::writeFile(dir.file("binary.txt"), std::string("10.0.0.1\n10.0.\0.2\n", 19)));
    ASSERT_TRUE(testing::writeFile(dir.file("utf8.txt"), "10.0.0.1 # caf\xc3\xa9\n"));
    ASSERT_TRUE(testing::writeFile(dir.file("long.txt"),
                                   "10.0.0.1\n" + std::string(2000, ' ') + "10.0.0.2\n"));
    ASSERT_TRUE(testing::writeFile(dir.file("huge.txt"), std::string(1024 * 1024 + 1, '\n')));
    ASSERT_TRUE(testing::writeFile(dir.file("empty.txt"), ""));
    ASSERT_TRUE(testing::writeFile(dir.file("comments.txt"), "# none yet\n\n  # still none\n"));
    std::filesystem::create_directory(dir.file("folder"));
    const struct {
        Tokens tokens;
        std::string error;
    } cases[] = {
        {{"10.0.0.300"}, "bad target \"10.0.0.300\": not an address A.B.C.D"},
        {{"10.0.0"}, "bad target \"10.0.0\": not an address A.B.C.D"},
        {{"10.0.0.1.2"}, "bad target \"10.0.0.1.2\": not an address A.B.C.D"},
        {{"0x0a.0.0.1"}, "bad target \"0x0a.0.0.1\": not an address A.B.C.D"},
        {{"167772161"}, "bad target \"167772161\": not an address A.B.C.D"},
        {{"+10.0.0.1"}, "bad target \"+10.0.0.1\": not an address A.B.C.D"},
        {{"10.0.0.0001"}, "bad target \"10.0.0.0001\": not an address A.B.C.D"},
        {{" 10.0.0.1"}, "bad target \" 10.0.0.1\": not an address A.B.C.D"},
        {{""}, "bad target \"\": not an address A.B.C.D"},
        {{"10.0.0.1:0"}, "bad target \"10.0.0.1:0\": the port is outside 1..65535"},
        {{"10.0.0.1:65536"}, "bad target \"10.0.0.1:65536\": the port is outside 1..65535"},
        {{"10.0.0.1:+80"}, "bad target \"10.0.0.1:+80\": the port is not a decimal number"},
        {{"10.0.0.1:"}, "bad target \"10.0.0.1:\": the port is not a decimal number"},
        {{"10.0.0.1:100000"}, "bad target \"10.0.0.1:100000\": the port is not a decimal number"},
        {{"10.0.0.0/15"}, "bad target \"10.0.0.0/15\": the prefix length is not 16..32"},
        {{"10.0.0.0/33"}, "bad target \"10.0.0.0/33\": the prefix length is not 16..32"},
        {{"10.0.0.0/"}, "bad target \"10.0.0.0/\": the prefix length is not 16..32"},
        {{"10.0.0.0/024"}, "bad target \"10.0.0.0/024\": the prefix length is not 16..32"},
        {{"10.0.0.9-8"}, "bad target \"10.0.0.9-8\": the range ends before it starts"},
        {{"10.0.0.9-256"}, "bad target \"10.0.0.9-256\": the range's end is not a number 0..255"},
        {{"10.0.0.9-10.0.0.12"},
         "bad target \"10.0.0.9-10.0.0.12\": the range's end is not a number 0..255"},
        {{"10.0.0.1", "caf\xc3\xa9\t\"x\"\x1b[2J-and-on-and-on-for-ever"},
         "bad target \"caf\\xc3\\xa9\\t\\\"x\\\"\\x1b[2J-and-on-and-on-\": not an address A.B.C.D"},
        {{"@" + dir.file("bad-line.txt")},
         "bad target \"10.0.0.300\" (line 3): not an address A.B.C.D"},
        {{"@" + dir.file("nested.txt")},
         "bad target \"@other.txt\" (line 2): a list file names no other"},
        {{"@" + dir.file("binary.txt")}, "bad target \"@FILE\" (line 2): binary data"},
        {{"@" + dir.file("utf8.txt")}, "bad target \"@FILE\" (line 1): binary data"},
        {{"@" + dir.file("long.txt")},
         "bad target \"@FILE\" (line 2): a line longer than 1024 characters"},
        {{"@" + dir.file("huge.txt")}, "bad target \"@FILE\": larger than 1048576 bytes"},
        {{"10.0.0.1", "@" + dir.file("empty.txt")},
         "bad target \"@FILE\": the list file names no address"},
        {{"@" + dir.file("comments.txt")}, "bad target \"@FILE\": the list file names no address"},
        {{"0.0.0.0"}, "bad target \"0.0.0.0\": the unspecified address 0.0.0.0 is no printer's"},
        // The /24's ends are not scanned, but the block reaches them.
        {{"0.0.0.9/24"}, "bad target \"0.0.0.9/24\": reaches the unspecified address 0.0.0.0"},
        {{"255.255.255.255:9100"},
         "bad target \"255.255.255.255:9100\": the broadcast address 255.255.255.255 is no "
         "printer's"},
        {{"255.255.255.250-255"},
         "bad target \"255.255.255.250-255\": reaches the broadcast address 255.255.255.255"},
        {{"10.0.0.1", "224.0.0.1"},
         "bad target \"224.0.0.1\": a multicast address (224.0.0.0/4) is no printer's"},
        {{"239.255.0.0/16"},
         "bad target \"239.255.0.0/16\": reaches the multicast addresses 224.0.0.0/4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tokens.back());
        EXPECT_EQ(refusal(c.tokens), c.error);
    }
    // What the system says of a folder or a missing file is its own; the
    // token is named and nothing is taken.
    for (const std::string name : {"folder", "missing.txt"}) {
        const std::string error = refusal({"10.0.0.1", "@" + dir.file(name)});
        EXPECT_EQ(error.rfind("bad target \"@FILE\": ", 0), 0u) << error;
    }
}

TEST(Targets, AtMost65536AddressesInAll) {
    // A /16 is 65534 printers; two more fill the run, a third is refused.
    EXPECT_EQ(parsed({"10.7.0.0/16", "10.8.0.1-2", "10.7.0.9"}).size(), 65536u);
    EXPECT_EQ(refusal({"10.7.0.0/16", "10.8.0.1-3"}),
              "bad target \"10.8.0.1-3\": more than 65536 addresses in all");
}

}  // namespace
}  // namespace kv::fleet
