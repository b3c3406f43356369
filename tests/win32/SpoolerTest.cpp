#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "platform/win32/WinspoolSpooler.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::QueueRecord;
using platform::win32::WinspoolSpooler;

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

const QueueRecord* findQueue(const std::vector<QueueRecord>& queues, const std::string& name) {
    for (const QueueRecord& q : queues) {
        if (q.printerName == name) return &q;
    }
    return nullptr;
}

// The print queues of the private scheduler the Linux side runs, as the
// spooler shows them, switched to "FILE:" and back.
TEST(WinspoolSpooler, ListsTheSchedulersQueuesAndSwitchesOneToFileAndBack) {
    const auto names = environment("KVTEST_QUEUES");
    const auto switched = environment("KVTEST_SWITCH_QUEUE");
    if (!names || !switched)
        GTEST_SKIP() << "needs a print scheduler on the Linux side (tests/wine)";
    WinspoolSpooler spooler;
    const auto listed = spooler.enumerateLocal();
    ASSERT_TRUE(listed) << listed.reason();
    for (const QueueRecord& q : *listed) {
        std::printf("queue=%s\t%s\t%s\t%#x\t%#x\n", q.printerName.c_str(), q.portName.c_str(),
                    q.driverName.c_str(), q.attributes, q.status);
    }
    for (const std::string& name : splitList(*names)) {
        const QueueRecord* q = findQueue(*listed, name);
        ASSERT_NE(q, nullptr) << name;
        EXPECT_EQ(q->location, q->portName);
    }
    const QueueRecord before = *findQueue(*listed, *switched);

    const auto opened = spooler.open(*switched);
    ASSERT_TRUE(opened) << opened.reason();
    const platform::QueueHandle handle = *opened;
    QueueRecord toFile = before;
    toFile.portName = "FILE:";
    const auto toFileSet = spooler.set(handle, toFile);
    ASSERT_TRUE(toFileSet) << toFileSet.reason();
    const auto during = spooler.get(handle);
    ASSERT_TRUE(during);
    EXPECT_EQ(during->portName, "FILE:");
    EXPECT_EQ(during->driverName, before.driverName);
    std::printf("during=%s\t%#x\n", during->portName.c_str(), during->status);

    // The queue's own record brings its port back.
    const auto backSet = spooler.set(handle, before);
    ASSERT_TRUE(backSet) << backSet.reason();
    const auto after = spooler.get(handle);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->portName, before.portName);
    EXPECT_EQ(after->status, before.status);
    spooler.close(handle);

    // A record whose port is neither "FILE:" nor its own place is refused.
    const auto again = spooler.open(*switched);
    ASSERT_TRUE(again) << again.reason();
    QueueRecord foreign = before;
    foreign.portName = "LPT1:";
    EXPECT_FALSE(spooler.set(*again, foreign));
    spooler.close(*again);
    EXPECT_FALSE(spooler.open("no such queue"));
}

}  // namespace
}  // namespace kv::testing
