#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace kv::testing {

// A file's whole content; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    const std::string text = readFile(path);
    return {text.begin(), text.end()};
}

// False when the file could not be written whole.
inline bool writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

inline void writeAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(writeFile(path, std::string(bytes.begin(), bytes.end()))) << path;
}

// The lines of a text, split at '\n' only (a '\r' stays), without an
// empty one after a final line end.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace kv::testing
