#include "spooler/QueueJournal.h"

#include "platform/DurableFile.h"

namespace kv {

using platform::tracef;

namespace {

std::string escapeField(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c == '%' || c < 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescapeField(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

const char* outcomeText(JournalOutcome outcome) {
    switch (outcome) {
        case JournalOutcome::Restored: return "restored to";
        case JournalOutcome::AlreadyBack: return "already on";
        case JournalOutcome::Gone: return "no longer exists";
        case JournalOutcome::Failed: return "not restored:";
    }
    return "";
}

}  // namespace

std::string formatJournal(const std::vector<JournalEntry>& entries) {
    std::string text(kJournalHeader);
    text += '\n';
    for (const JournalEntry& e : entries) {
        text += escapeField(e.printerName) + '\t' + escapeField(e.portName) + '\t' +
                escapeField(e.location) + '\t' + (e.held ? "1" : "0") + '\n';
    }
    return text;
}

std::optional<std::vector<JournalEntry>> parseJournal(std::string_view text) {
    std::vector<std::string_view> lines = split(text, '\n');
    if (lines.empty() || lines.front() != kJournalHeader) return std::nullopt;
    // The last line ends with a line break; a text cut short does not.
    if (lines.back() != "") return std::nullopt;
    lines.pop_back();
    std::vector<JournalEntry> entries;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string_view> fields = split(lines[i], '\t');
        if (fields.size() != 4 || (fields[3] != "0" && fields[3] != "1")) return std::nullopt;
        auto name = unescapeField(fields[0]);
        auto port = unescapeField(fields[1]);
        auto location = unescapeField(fields[2]);
        if (!name || !port || !location || name->empty()) return std::nullopt;
        entries.push_back(
            {std::move(*name), std::move(*port), std::move(*location), fields[3] == "1"});
    }
    return entries;
}

JournalRestore restoreQueuesFromJournal(platform::Services& sys) {
    JournalRestore result;
    if (!sys.wired.queueJournal) return result;
    platform::DurableFile& journal = *sys.wired.queueJournal;
    result.location = journal.location();
    if (!journal.exists()) return result;
    result.found = true;
    const std::optional<std::string> text = journal.read();
    const auto entries = text ? parseJournal(*text) : std::nullopt;
    if (!entries) {
        result.readable = false;
        return result;
    }

    platform::PrintSpooler& spooler = sys.spooler();
    const auto listed = spooler.enumerateLocal();
    std::vector<JournalEntry> remaining;
    for (const JournalEntry& e : *entries) {
        JournalEntryResult r{e, JournalOutcome::Failed, {}};
        const platform::QueueRecord* current = nullptr;
        if (listed) {
            for (const platform::QueueRecord& q : *listed) {
                if (q.printerName == e.printerName) current = &q;
            }
        }
        if (!listed) {
            r.detail = listed.reason();
        } else if (!current) {
            r.outcome = JournalOutcome::Gone;
        } else {
            platform::QueueRecord record = *current;
            const bool switched = current->portName == platform::kDummyPortName;
            if (switched) {
                record.portName = e.portName;
                record.location = e.location;
            }
            const auto handle = spooler.open(e.printerName);
            // Also for a queue that is back already: the earlier run may have
            // died between holding it and switching it.
            if (handle && e.held) spooler.adoptHold(*handle);
            const platform::Result<void> ok =
                handle ? spooler.set(*handle, record) : platform::Result<void>(handle.failure());
            if (!ok) r.detail = ok.reason();
            if (handle) spooler.close(*handle);
            if (ok) {
                r.outcome = switched ? JournalOutcome::Restored : JournalOutcome::AlreadyBack;
                r.detail = record.location;
            }
        }
        if (r.outcome == JournalOutcome::Failed) remaining.push_back(e);
        result.entries.push_back(std::move(r));
    }
    if (remaining.empty()) {
        result.journalKept = !journal.remove();
    } else {
        result.journalKept = true;
        // Not replaced, the journal keeps every entry: a later restore finds
        // the queues put back here already back.
        (void)journal.replace(formatJournal(remaining));
    }
    return result;
}

bool restoreJournalAtStartup(platform::Services& sys) {
    const JournalRestore r = restoreQueuesFromJournal(sys);
    if (!r.found) return true;
    platform::Trace& trace = sys.trace();
    platform::Ui& ui = sys.ui();
    tracef(trace, "restoreJournalAtStartup - Journal of an earlier run found, %s\r\n",
           r.location.c_str());
    if (!r.readable) {
        trace.write("restoreJournalAtStartup - Journal could not be read\r\n");
        platform::box(ui, kJournalNotRestoredText);
        return false;
    }
    for (const JournalEntryResult& e : r.entries) {
        tracef(trace, "restoreJournalAtStartup - Printer = %s, %s %s\r\n",
               e.entry.printerName.c_str(), outcomeText(e.outcome), e.detail.c_str());
    }
    platform::box(ui, r.complete() ? kJournalRestoredText : kJournalNotRestoredText);
    return r.complete();
}

}  // namespace kv
