#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "spooler/PortRedirection.h"
#include "spooler/QueueJournal.h"
#include "tests/spooler/SpoolerTestWorld.h"

namespace kv {
namespace {

using platform::QueueRecord;
using testing::queue;
using testing::SpoolerWorld;

std::vector<JournalEntry> journalOf(const SpoolerWorld& w) {
    const auto text = w.journal.content();
    if (!text) return {};
    const auto entries = parseJournal(*text);
    EXPECT_TRUE(entries.has_value()) << *text;
    return entries.value_or(std::vector<JournalEntry>{});
}

TEST(JournalFormat, RoundTripsAwkwardFields) {
    const std::vector<JournalEntry> entries = {
        {"KV_1", "USB://KV/ZOW3004F%20PT?serial=1", "usb://KV/ZOW3004F%20PT?serial=1", true},
        {"tab\there", "LPT1:", "line\nbreak\r%25", false},
        {"x", "", "", true},
    };
    const std::string text = formatJournal(entries);
    EXPECT_EQ(text.rfind(std::string(kJournalHeader) + "\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_EQ(parseJournal(text), entries);
    EXPECT_EQ(parseJournal(formatJournal({})), std::vector<JournalEntry>{});
}

TEST(JournalFormat, RefusesWhatItDidNotWrite) {
    const std::string good = formatJournal({{"A", "USB1", "usb://a", true}});
    for (const std::string& bad : {
             std::string(), std::string("something else\n"),
             good.substr(0, good.size() - 1),                       // cut short
             std::string(kJournalHeader) + "\nA\tUSB1\tusb://a\n",  // a field missing
             std::string(kJournalHeader) + "\nA\tUSB1\tusb://a\t2\n",
             std::string(kJournalHeader) + "\nA%4\tUSB1\tusb://a\t1\n",
             std::string(kJournalHeader) + "\nA%ZZ\tUSB1\tusb://a\t1\n",
             std::string(kJournalHeader) + "\n\tUSB1\tusb://a\t1\n",  // no name
         }) {
        EXPECT_FALSE(parseJournal(bad).has_value()) << bad;
    }
}

// A spooler that notes what the journal holds at each change.
class JournalWatchingSpooler final : public platform::PrintSpooler {
public:
    JournalWatchingSpooler(platform::PrintSpooler& inner, platform::sim::MemoryFile& journal)
        : inner_(inner), journal_(journal) {}
    platform::Result<std::vector<QueueRecord>> enumerateLocal() override {
        return inner_.enumerateLocal();
    }
    platform::Result<platform::QueueHandle> open(const std::string& n) override {
        return inner_.open(n);
    }
    platform::Result<QueueRecord> get(platform::QueueHandle h) override { return inner_.get(h); }
    platform::Result<void> set(platform::QueueHandle h, const QueueRecord& r) override {
        const auto text = journal_.content();
        seen.push_back(text ? parseJournal(*text).value_or(std::vector<JournalEntry>{})
                            : std::vector<JournalEntry>{});
        return inner_.set(h, r);
    }
    void adoptHold(platform::QueueHandle h) override { inner_.adoptHold(h); }
    void close(platform::QueueHandle h) override { inner_.close(h); }
    std::vector<std::vector<JournalEntry>> seen;

private:
    platform::PrintSpooler& inner_;
    platform::sim::MemoryFile& journal_;
};

TEST(Journal, NamesEverySwitchedQueueBeforeTheFirstChangeAndGoesAfterTheRestore) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("Net", "IP_1", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("B", "LPT1:", "KV ZOR22G"));
    JournalWatchingSpooler watching(w.spooler, w.journal);
    w.sys.wired.spooler = &watching;

    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    const std::vector<JournalEntry> expected = {{"A", "USB001", "loc:USB001", true},
                                                {"B", "LPT1:", "loc:LPT1:", true}};
    ASSERT_EQ(watching.seen.size(), 2u);
    EXPECT_EQ(watching.seen[0], expected);
    EXPECT_EQ(journalOf(w), expected);
    EXPECT_EQ(w.journal.history().size(), 1u);

    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_FALSE(w.journal.content().has_value());
}

TEST(Journal, NamesOnlyTheQueuesThatDidChange) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("B", "USB002", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("C", "USB003", "KV ZOW3004F PT"));
    w.spooler.setRefuseSet("A");
    w.spooler.setGoOfflineAfterListing("C");
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(journalOf(w), (std::vector<JournalEntry>{{"B", "USB002", "loc:USB002", true}}));
    EXPECT_EQ(w.journal.history().size(), 2u);
}

TEST(Journal, KeepsWhatAFailedRestoreLeftSwitched) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("B", "USB002", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    w.spooler.setRefuseSet("B");
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.ui.boxTexts(), (std::vector<std::string>{"SetPrinter - B failed, (Win7 ignore)"}));
    EXPECT_EQ(journalOf(w), (std::vector<JournalEntry>{{"B", "USB002", "loc:USB002", true}}));
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_EQ(w.portOf("B"), "FILE:");
}

TEST(Journal, EntriesOfAnEarlierRunAreCarriedUntilRestored) {
    SpoolerWorld w;
    const JournalEntry old{"Old", "USB7", "usb://old", true};
    w.journal.setContent(formatJournal({old}));
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(journalOf(w), (std::vector<JournalEntry>{old, {"A", "USB001", "loc:USB001", true}}));
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(journalOf(w), std::vector<JournalEntry>{old});
}

TEST(Journal, AnUnreadableJournalIsNeverOverwritten) {
    SpoolerWorld w;
    w.journal.setContent("not a journal");
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.portOf("A"), "FILE:");
    EXPECT_TRUE(w.trace.contains(
        "SetPortsToFile - Journal memory:journal could not be read, not replaced\r\n"));
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.journal.content(), "not a journal");
    EXPECT_EQ(w.portOf("A"), "USB001");
}

TEST(Journal, AJournalThatCannotBeWrittenDoesNotStopTheSwitch) {
    SpoolerWorld w;
    w.journal.setFailReplace(true);
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    EXPECT_EQ(w.portOf("A"), "FILE:");
    EXPECT_TRUE(
        w.trace.contains("SetPortsToFile - Journal memory:journal could not be written\r\n"));
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.portOf("A"), "USB001");
}

TEST(Journal, NoJournalServiceMeansNoJournal) {
    SpoolerWorld w;
    w.sys.wired.queueJournal = nullptr;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state, w.printer));
    RestorePortsToOriginal(w.sys, w.state);
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_FALSE(restoreQueuesFromJournal(w.sys).found);
}

// The run that switched the queues dies: its memory is gone, the spooler
// and the journal stay. The next run puts the queues back.
TEST(JournalRestore, AfterACrashEveryQueueComesBack) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("B", "LPT1:", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("C", "USB003", "Acme"));
    {
        SpoolerState crashed;
        ASSERT_TRUE(SetPortsToFile(w.sys, crashed, w.printer));
    }
    w.spooler.forgetHolds();
    ASSERT_EQ(w.portOf("A"), "FILE:");
    ASSERT_TRUE(w.spooler.held("B"));
    w.trace.clear();

    EXPECT_TRUE(restoreJournalAtStartup(w.sys));
    EXPECT_EQ(w.portOf("A"), "USB001");
    EXPECT_EQ(w.spooler.queue("A")->location, "loc:USB001");
    EXPECT_EQ(w.portOf("B"), "LPT1:");
    EXPECT_FALSE(w.spooler.held("A"));
    EXPECT_FALSE(w.spooler.held("B"));
    EXPECT_EQ(w.portOf("C"), "USB003");
    EXPECT_FALSE(w.journal.content().has_value());
    EXPECT_EQ(w.ui.boxTexts(), (std::vector<std::string>{kJournalRestoredText}));
    EXPECT_EQ(w.trace.lines(),
              (std::vector<std::string>{
                  "restoreJournalAtStartup - Journal of an earlier run found, memory:journal\r\n",
                  "restoreJournalAtStartup - Printer = A, restored to loc:USB001\r\n",
                  "restoreJournalAtStartup - Printer = B, restored to loc:LPT1:\r\n"}));
}

TEST(JournalRestore, EachQueueGetsItsOwnOutcome) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("Switched", "FILE:", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("Back", "USB002", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("Moved", "USB009", "KV ZOW3004F PT"));
    w.spooler.addQueue(queue("Refuses", "FILE:", "KV ZOW3004F PT"));
    w.spooler.setRefuseSet("Refuses");
    w.journal.setContent(formatJournal({{"Switched", "USB001", "usb://1", true},
                                        {"Back", "USB002", "loc:USB002", true},
                                        {"Moved", "USB003", "usb://3", true},
                                        {"Gone", "USB004", "usb://4", true},
                                        {"Refuses", "USB005", "usb://5", true}}));
    const JournalRestore r = restoreQueuesFromJournal(w.sys);
    ASSERT_EQ(r.entries.size(), 5u);
    EXPECT_EQ(r.entries[0].outcome, JournalOutcome::Restored);
    EXPECT_EQ(r.entries[0].detail, "usb://1");
    EXPECT_EQ(r.entries[1].outcome, JournalOutcome::AlreadyBack);
    EXPECT_EQ(r.entries[2].outcome, JournalOutcome::AlreadyBack);
    EXPECT_EQ(r.entries[3].outcome, JournalOutcome::Gone);
    EXPECT_EQ(r.entries[4].outcome, JournalOutcome::Failed);
    EXPECT_EQ(r.entries[4].detail, "change refused by a test switch");
    EXPECT_EQ(w.portOf("Switched"), "USB001");
    EXPECT_EQ(w.spooler.queue("Switched")->location, "usb://1");
    // Pointed elsewhere by someone since: left where it is.
    EXPECT_EQ(w.portOf("Moved"), "USB009");
    EXPECT_FALSE(r.complete());
    EXPECT_EQ(journalOf(w), (std::vector<JournalEntry>{{"Refuses", "USB005", "usb://5", true}}));
}

// The earlier run died after holding the queue and before switching it.
TEST(JournalRestore, AHoldTheJournalNamesIsLiftedOnAQueueThatIsBack) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "USB001", "KV ZOW3004F PT"));
    platform::QueueRecord r = *w.spooler.queue("A");
    r.portName = "FILE:";
    const platform::QueueHandle h = *w.spooler.open("A");
    ASSERT_TRUE(w.spooler.set(h, r));
    r = *w.spooler.queue("A");
    r.portName = "USB001";
    r.location = "loc:USB001";
    w.spooler.forgetHolds();
    // Pointing back alone does not lift a hold this run did not place.
    ASSERT_TRUE(w.spooler.set(h, r));
    w.spooler.close(h);
    ASSERT_TRUE(w.spooler.held("A"));

    w.journal.setContent(formatJournal({{"A", "USB001", "loc:USB001", true}}));
    const JournalRestore result = restoreQueuesFromJournal(w.sys);
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_EQ(result.entries[0].outcome, JournalOutcome::AlreadyBack);
    EXPECT_FALSE(w.spooler.held("A"));
    EXPECT_EQ(w.spooler.queue("A")->attributes, 0u);
}

TEST(JournalRestore, UnreachableSpoolerKeepsTheJournal) {
    SpoolerWorld w;
    w.spooler.setUnreachable(true);
    const std::string text = formatJournal({{"A", "USB001", "usb://1", true}});
    w.journal.setContent(text);
    EXPECT_FALSE(restoreJournalAtStartup(w.sys));
    EXPECT_EQ(w.journal.content(), text);
    EXPECT_EQ(w.ui.boxTexts(), (std::vector<std::string>{kJournalNotRestoredText}));
}

TEST(JournalRestore, UnreadableJournalIsLeftAlone) {
    SpoolerWorld w;
    w.journal.setContent("garbage");
    EXPECT_FALSE(restoreJournalAtStartup(w.sys));
    EXPECT_EQ(w.journal.content(), "garbage");
    EXPECT_EQ(w.ui.boxTexts(), (std::vector<std::string>{kJournalNotRestoredText}));
}

TEST(JournalRestore, NoJournalNoBoxNoTrace) {
    SpoolerWorld w;
    w.spooler.addQueue(queue("A", "FILE:", "KV ZOW3004F PT"));
    EXPECT_TRUE(restoreJournalAtStartup(w.sys));
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_TRUE(w.trace.lines().empty());
    EXPECT_TRUE(w.spooler.writes().empty());
}

}  // namespace
}  // namespace kv
