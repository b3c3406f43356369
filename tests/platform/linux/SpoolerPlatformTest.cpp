#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

#include "platform/DurableFile.h"
#include "platform/PrintSpooler.h"
#include "platform/linux/LinuxDurableFile.h"
#include "platform/linux/SigwaitTermination.h"

namespace kv::platform {
namespace {

namespace fs = std::filesystem;

TEST(PortForDeviceUri, LocalDevicesLookLikeLocalPorts) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"usb://KV/ZOW3004F%20PT?serial=42", "USB://KV/ZOW3004F%20PT?serial=42"},
        {"USB://KV/X", "USB://KV/X"},
        {"parallel:/dev/lp0", "LPT1:"},
        {"parallel:/dev/lp1", "LPT2:"},
        {"parallel:/dev/lp2", "LPT3:"},
        {"parallel:/dev/lp3", "parallel:/dev/lp3"},
        {"file:/dev/null", "FILE:"},
        {"file:///dev/null", "FILE:"},
        {"file:///tmp/out", "file:///tmp/out"},
        {"socket://192.0.2.5:9100", "socket://192.0.2.5:9100"},
        {"hp:/usb/OfficeJet?serial=1", "hp:/usb/OfficeJet?serial=1"},
        // Network queues never pass for local ones.
        {"ipp://server/printers/USB_KV", "ipp://server/printers/usb_kv"},
        {"lpd://LPTHOST/queue", "lpd://lpthost/queue"},
        {"", ""},
    };
    for (const auto& [uri, port] : cases) EXPECT_EQ(portForDeviceUri(uri), port) << uri;
}

class JournalFolder : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("kvflash-atomic-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(JournalFolder, ReplaceCreatesFoldersReadsBackAndLeavesNoTemporary) {
    linux_impl::LinuxDurableFile file((root / "a/b/journal").string());
    EXPECT_FALSE(file.exists());
    EXPECT_FALSE(file.read().has_value());
    EXPECT_TRUE(file.remove());

    ASSERT_TRUE(file.replace("first\n"));
    EXPECT_TRUE(file.exists());
    EXPECT_EQ(file.read(), "first\n");
    ASSERT_TRUE(file.replace(std::string(100000, 'x')));
    EXPECT_EQ(file.read(), std::string(100000, 'x'));
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(root / "a/b")) {
        ++entries;
        EXPECT_EQ(e.path().filename(), "journal");
    }
    EXPECT_EQ(entries, 1u);

    EXPECT_TRUE(file.remove());
    EXPECT_FALSE(file.exists());
}

TEST_F(JournalFolder, FailuresAreReportedAndLeaveNoTemporary) {
    fs::create_directories(root);
    std::ofstream(root / "plainfile") << "x";
    linux_impl::LinuxDurableFile underFile((root / "plainfile/journal").string());
    EXPECT_FALSE(underFile.replace("new\n"));

    // The rename cannot replace a folder.
    fs::create_directories(root / "journal/inside");
    linux_impl::LinuxDurableFile ontoFolder((root / "journal").string());
    EXPECT_FALSE(ontoFolder.replace("new\n"));
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(root)) {
        ++entries;
        EXPECT_TRUE(e.path().filename() == "journal" || e.path().filename() == "plainfile");
    }
    EXPECT_EQ(entries, 2u);
}

// What lies at the journal's place but was not written by the program is
// unreadable, at once: a FIFO with no writer, a link (even to a good
// journal), a device, a file past the size any journal has.
TEST_F(JournalFolder, ReadsOnlyARegularFileOfAJournalsSize) {
    fs::create_directories(root);
    std::ofstream(root / "good") << "kvflash print-queue journal 1\n";
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
    } cases[] = {
        {"FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"link to a journal", [this](const fs::path& p) { fs::create_symlink(root / "good", p); }},
        {"link to the zero device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
        {"too large",
         [](const fs::path& p) {
             std::ofstream(p) << std::string(platform::kMaxDurableFileBytes + 1, 'x');
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = root / c.name;
        c.make(path);
        linux_impl::LinuxDurableFile journal(path.string());
        EXPECT_FALSE(journal.read().has_value());
    }
    // The largest journal there may be still reads.
    std::ofstream(root / "largest") << std::string(platform::kMaxDurableFileBytes, 'x');
    EXPECT_EQ(linux_impl::LinuxDurableFile((root / "largest").string()).read()->size(),
              platform::kMaxDurableFileBytes);
}

// A link planted where the journal's temporary goes is not written through.
TEST_F(JournalFolder, ReplaceDoesNotWriteThroughALinkAtItsTemporary) {
    fs::create_directories(root);
    std::ofstream(root / "victim") << "keep";
    fs::create_symlink(root / "victim", root / ("journal.tmp." + std::to_string(::getpid())));
    linux_impl::LinuxDurableFile journal((root / "journal").string());
    ASSERT_TRUE(journal.replace("new\n"));
    EXPECT_EQ(journal.read(), "new\n");
    std::ifstream victim(root / "victim");
    std::string kept;
    victim >> kept;
    EXPECT_EQ(kept, "keep");
}

TEST(JournalPath, EndsInTheKvflashStateFolder) {
    const std::string path = linux_impl::LinuxDurableFile::queueJournalPath();
    EXPECT_EQ(fs::path(path).filename(), "print-queues.journal");
    EXPECT_FALSE(fs::path(path).parent_path().empty());
}

// The real signal delivered to this process reaches the handler on the
// watcher's thread, not the default action that would end the test.
TEST(SigwaitTermination, DeliversSigintSigtermAndSighupToTheHandler) {
    linux_impl::SigwaitTermination watcher;
    std::mutex mutex;
    std::vector<int> seen;
    std::promise<void> third;
    watcher.watch([&](const EndRequest& request) {
        std::lock_guard lock(mutex);
        // The program lives on after each: every one can wait.
        EXPECT_TRUE(request.canWait);
        seen.push_back(request.signalNumber);
        if (seen.size() == 3) third.set_value();
    });
    auto done = third.get_future();
    linux_impl::SigwaitTermination::signalProcess(SIGINT);
    linux_impl::SigwaitTermination::signalProcess(SIGTERM);
    linux_impl::SigwaitTermination::signalProcess(SIGHUP);
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    watcher.stop();
    std::lock_guard lock(mutex);
    // All arrive; their order is the kernel's.
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{SIGHUP, SIGINT, SIGTERM}));
}

TEST(SigwaitTermination, StopsWithoutASignal) {
    linux_impl::SigwaitTermination watcher;
    bool called = false;
    watcher.watch([&](const EndRequest&) { called = true; });
    watcher.stop();
    watcher.stop();
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace kv::platform
