#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/PosixFileReader.h"
#include "platform/linux/PosixFileWriter.h"
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

// The fleet's logs: a new regular file readable by all whatever the umask;
// a name already taken (a file, a link, a FIFO) is refused and left as it was.
TEST(PosixFileWriter, CreatesOnlyNewFiles) {
    testing::TempDir dir;
    const fs::path root = dir.path();
    std::ofstream(root / "taken.log") << "kept";
    fs::create_symlink(root / "target.log", root / "link.log");
    ASSERT_EQ(::mkfifo((root / "fifo.log").c_str(), 0600), 0);
    linux_impl::PosixFileWriter writer;
    const mode_t umask = ::umask(077);
    auto created = writer.createNew((root / "new.log").string());
    ::umask(umask);
    ASSERT_TRUE(created) << created.reason();
    ASSERT_TRUE((*created)->append("line\n"));
    struct stat info {};
    ASSERT_EQ(::stat((root / "new.log").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    for (const char* name : {"taken.log", "link.log", "fifo.log", "new.log"}) {
        const auto refused = writer.createNew((root / name).string());
        EXPECT_FALSE(refused) << name;
        EXPECT_EQ(refused.reason(), "File exists") << name;
    }
    EXPECT_FALSE(fs::exists(root / "target.log")) << "nothing made through the link";
    std::ifstream taken(root / "taken.log");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(taken), {}), "kept");
}

}  // namespace
}  // namespace kv::platform
