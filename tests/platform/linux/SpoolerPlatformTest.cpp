#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <vector>

#include "platform/PrintSpooler.h"
#include "platform/linux/AtomicFile.h"
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
    linux_impl::AtomicFile file((root / "a/b/journal").string());
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
    linux_impl::AtomicFile underFile((root / "plainfile/journal").string());
    EXPECT_FALSE(underFile.replace("new\n"));

    // The rename cannot replace a folder.
    fs::create_directories(root / "journal/inside");
    linux_impl::AtomicFile ontoFolder((root / "journal").string());
    EXPECT_FALSE(ontoFolder.replace("new\n"));
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(root)) {
        ++entries;
        EXPECT_TRUE(e.path().filename() == "journal" || e.path().filename() == "plainfile");
    }
    EXPECT_EQ(entries, 2u);
}

TEST(JournalPath, EndsInTheKvflashStateFolder) {
    const std::string path = linux_impl::AtomicFile::queueJournalPath();
    EXPECT_EQ(fs::path(path).filename(), "print-queues.journal");
    EXPECT_FALSE(fs::path(path).parent_path().empty());
}

// The real signal delivered to this process reaches the handler on the
// watcher's thread, not the default action that would end the test.
TEST(SigwaitTermination, DeliversSigintAndSigtermToTheHandler) {
    linux_impl::SigwaitTermination watcher;
    std::mutex mutex;
    std::vector<int> seen;
    std::promise<void> second;
    watcher.watch([&](int signalNumber) {
        std::lock_guard lock(mutex);
        seen.push_back(signalNumber);
        if (seen.size() == 2) second.set_value();
    });
    auto done = second.get_future();
    linux_impl::SigwaitTermination::signalProcess(SIGINT);
    linux_impl::SigwaitTermination::signalProcess(SIGTERM);
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    watcher.stop();
    std::lock_guard lock(mutex);
    // Both arrive; their order is the kernel's.
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{SIGINT, SIGTERM}));
}

TEST(SigwaitTermination, StopsWithoutASignal) {
    linux_impl::SigwaitTermination watcher;
    bool called = false;
    watcher.watch([&](int) { called = true; });
    watcher.stop();
    watcher.stop();
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace kv::platform
