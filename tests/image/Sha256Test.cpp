#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/Sha256.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;
Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(Sha256, KnownAnswerVectors) {
    EXPECT_EQ(sha256Hex(bytes("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex(bytes("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex(bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(Bytes(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Fed in odd pieces, the digest is the same.
    const Bytes data(1000, 'q');
    Sha256 pieces;
    for (size_t at = 0; at < data.size(); at += 37)
        pieces.update(data.data() + at, std::min<size_t>(37, data.size() - at));
    Sha256 whole;
    whole.update(data.data(), data.size());
    EXPECT_EQ(pieces.finish(), whole.finish());
    // A copy taken mid-stream (the emulator's summary) leaves the original
    // running.
    Sha256 running;
    running.update(data.data(), 500);
    Sha256 copy = running;
    EXPECT_EQ(copy.finishHex(), sha256Hex(data.data(), 500));
    running.update(data.data() + 500, 500);
    EXPECT_EQ(running.finishHex(), sha256Hex(data));
}

}  // namespace
}  // namespace kv
