#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/PosixFileReader.h"
#include "tests/support/TempDir.h"

namespace kv::platform {
namespace {

namespace fs = std::filesystem;

// Firmware images: only regular files, judged on the opened file, and no
// open waits; a link to a regular file is fine.
TEST(PosixFileReader, OpensOnlyRegularFiles) {
    testing::TempDir dir;
    const fs::path root = dir.path();
    std::ofstream(root / "image.bin") << "0123456789";
    fs::create_symlink(root / "image.bin", root / "link.bin");
    ASSERT_EQ(::mkfifo((root / "fifo.bin").c_str(), 0600), 0);
    linux_impl::PosixFileReader reader;
    for (const char* name : {"image.bin", "link.bin"}) {
        const auto opened = reader.openRegular((root / name).string());
        ASSERT_TRUE(opened) << name << ": " << opened.reason();
        platform::ReadableFile& file = **opened;
        EXPECT_EQ(file.size(), 10u);
        uint8_t buffer[16] = {};
        EXPECT_EQ(*file.read(buffer, sizeof buffer), 10u);
        EXPECT_EQ(*file.read(buffer, sizeof buffer), 0u);
    }
    const struct {
        std::string path;
        std::string reason;
    } refused[] = {
        {(root / "fifo.bin").string(), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {root.string(), "not a regular file"},
        {(root / "missing.bin").string(), "No such file or directory"},
    };
    for (const auto& r : refused) {
        const auto opened = reader.openRegular(r.path);
        EXPECT_FALSE(opened) << r.path;
        EXPECT_EQ(opened.reason(), r.reason) << r.path;
    }
}

}  // namespace
}  // namespace kv::platform
