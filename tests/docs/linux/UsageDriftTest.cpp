// The manual pages, the guides under docs/ and the bash completion say what
// the programs' own usage texts say: the same option names, console commands
// and event lines. A name added to one and not the others fails here.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/support/Files.h"

namespace {

using Names = std::set<std::string>;
using kv::testing::lines;
using kv::testing::readFile;

std::string joined(const std::vector<std::string>& block) {
    std::string text;
    for (const auto& line : block) text += line + "\n";
    return text;
}

// The program's stdout for these arguments.
std::string usageOf(const std::string& program, const std::string& args) {
    const char* dir = std::getenv("KVFLASH_BUILD_DIR");
    const std::string command = std::string(dir ? dir : ".") + "/bin/" + program + " " + args;
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        EXPECT_EQ(::pclose(pipe), 0) << command;
    }
    return out;
}

bool optionChar(char c) {
    return std::islower(static_cast<unsigned char>(c)) ||
           std::isdigit(static_cast<unsigned char>(c)) || c == '-';
}

// Every --name in the text (scdoc's \- escapes none of them).
Names optionNames(const std::string& text) {
    Names names;
    for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
        if (at > 0 && optionChar(text[at - 1])) continue;
        size_t end = at + 2;
        while (end < text.size() && optionChar(text[end])) ++end;
        if (end > at + 2 && text[at + 2] != '-') names.insert(text.substr(at, end - at));
        at = end - 2;
    }
    return names;
}

// The lines of a manual page's section "# TITLE" (a guide's "## TITLE" with
// level "## "), up to the next section of that level.
std::vector<std::string> pageSection(const std::string& page, const std::string& title,
                                     const std::string& level = "# ") {
    std::vector<std::string> out;
    bool inside = false;
    for (const auto& line : lines(page)) {
        if (line.rfind(level, 0) == 0) {
            inside = line == level + title;
            continue;
        }
        if (inside) out.push_back(line);
    }
    EXPECT_FALSE(out.empty()) << "no section " << title;
    return out;
}

// The page's items: a line that starts with a bold word, "*word* ...",
// followed by its indented description.
Names pageItems(const std::vector<std::string>& section) {
    Names names;
    for (size_t i = 0; i + 1 < section.size(); ++i) {
        const std::string& line = section[i];
        if (line.size() < 3 || line[0] != '*' || section[i + 1].rfind('\t', 0) != 0) continue;
        const size_t end = line.find('*', 1);
        if (end != std::string::npos) names.insert(line.substr(1, end - 1));
    }
    return names;
}

// Lines of the page that name no other program of the package (examples of
// kvflash in kvprinter-emu's page use kvflash's options).
std::string ownLines(const std::string& page, const std::string& program) {
    std::string out;
    for (const auto& line : lines(page)) {
        bool foreign = false;
        for (const char* other : {"kvflash ", "kvprinter-emu ", "kvimage "}) {
            if (program + " " != other && line.find(other) != std::string::npos) foreign = true;
        }
        if (!foreign) out += line + "\n";
    }
    return out;
}

// The usage's block that starts with a line beginning `heading`, up to the
// next empty line.
std::vector<std::string> usageBlock(const std::string& usage, const std::string& heading) {
    std::vector<std::string> out;
    bool inside = false;
    for (const auto& line : lines(usage)) {
        if (!inside) {
            inside = line.rfind(heading, 0) == 0;
            continue;
        }
        if (line.empty()) break;
        out.push_back(line);
    }
    EXPECT_FALSE(out.empty()) << "no block " << heading;
    return out;
}

// First words of the block's entries: lines indented by exactly two blanks.
Names entryNames(const std::vector<std::string>& block) {
    Names names;
    for (const auto& line : block) {
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        names.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    return names;
}

// kvimage's verbs: the word after the program's name on each usage line.
Names verbNames(const std::string& usage) {
    Names names;
    for (const auto& line : lines(usage)) {
        const size_t at = line.find("kvimage ");
        if (at == std::string::npos) continue;
        const size_t from = at + 8;
        const std::string verb = line.substr(from, line.find(' ', from) - from);
        if (verb.rfind("--", 0) != 0) names.insert(verb);
    }
    return names;
}

bool hasWord(const std::string& text, const std::string& word) {
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const bool startOk = at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1]));
        const size_t end = at + word.size();
        const bool endOk =
            end == text.size() || !std::isalnum(static_cast<unsigned char>(text[end]));
        if (startOk && endOk) return true;
    }
    return false;
}

struct Program {
    std::string name;
    std::string helpArgs;
};

const Program kPrograms[] = {
    {"kvflash", "--help"}, {"kvprinter-emu", "--help"}, {"kvimage", "--help"}};

std::string manSource(const std::string& program) {
    return readFile(std::string(KVFLASH_SOURCE_DIR) + "/docs/man/" + program + ".1.scd");
}

std::string docsFile(const std::string& name) {
    return readFile(std::string(KVFLASH_SOURCE_DIR) + "/docs/" + name);
}

std::string completion(const std::string& program) {
    return readFile(std::string(KVFLASH_SOURCE_DIR) + "/dist/bash-completion/" + program);
}

TEST(UsageDrift, ManualPagesDescribeExactlyTheOptionsOfTheUsage) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.name);
        const std::string usage = usageOf(p.name, p.helpArgs);
        const Names usageOptions = optionNames(usage);
        ASSERT_FALSE(usageOptions.empty());
        const std::string page = manSource(p.name);
        EXPECT_EQ(optionNames(joined(pageSection(page, "OPTIONS"))), usageOptions);
        // Nowhere else in the page either an option the program lacks.
        for (const auto& name : optionNames(ownLines(page, p.name))) {
            EXPECT_TRUE(usageOptions.count(name)) << name << " is in the page, not in --help";
        }
    }
}

TEST(UsageDrift, KvflashPageListsTheCommandsAndEventLinesOfItsUsage) {
    const std::string usage = usageOf("kvflash", "--help");
    const std::string page = manSource("kvflash");
    const Names commands = entryNames(usageBlock(usage, "Commands"));
    EXPECT_TRUE(commands.count("find") && commands.count("flash")) << "the usage's commands moved";
    EXPECT_EQ(pageItems(pageSection(page, "COMMANDS")), commands);
    const Names events = entryNames(usageBlock(usage, "Event lines"));
    EXPECT_TRUE(events.count("title") && events.count("box")) << "the usage's event lines moved";
    EXPECT_EQ(pageItems(pageSection(page, "EVENT LINES")), events);
}

TEST(UsageDrift, KvimagePageListsTheVerbsOfItsUsage) {
    const std::string usage = usageOf("kvimage", "--help");
    const Names verbs = verbNames(usage);
    EXPECT_EQ(verbs, (Names{"check", "make", "verify", "wrap"}));
    EXPECT_EQ(pageItems(pageSection(manSource("kvimage"), "COMMANDS")), verbs);
}

// The guides under docs/ that hold a program's options name exactly the
// usage's (its --help aside); kvflash's terminal guide also names each
// command and event line. "FILE#TITLE" is one "## TITLE" section of FILE.
TEST(UsageDrift, GuidesDescribeExactlyTheOptionsOfTheUsage) {
    const std::pair<std::string, std::vector<std::string>> guides[] = {
        {"kvflash", {"terminal.md", "fleet.md", "print-queues.md"}},
        {"kvprinter-emu", {"emulator.md#kvprinter-emu"}},
        {"kvimage", {"emulator.md#kvimage"}}};
    for (const auto& [program, files] : guides) {
        SCOPED_TRACE(program);
        std::string text;
        for (const auto& file : files) {
            const size_t hash = file.find('#');
            const std::string guide = docsFile(file.substr(0, hash));
            text += hash == std::string::npos
                        ? guide
                        : joined(pageSection(guide, file.substr(hash + 1), "## "));
        }
        Names usage = optionNames(usageOf(program, "--help"));
        Names described = optionNames(ownLines(text, program));
        usage.erase("--help");
        described.erase("--help");
        EXPECT_EQ(described, usage);
    }
    const std::string usage = usageOf("kvflash", "--help"), terminal = docsFile("terminal.md");
    for (const char* block : {"Commands", "Event lines"}) {
        for (const auto& name : entryNames(usageBlock(usage, block))) {
            EXPECT_TRUE(terminal.find("`" + name + "`") != std::string::npos ||
                        terminal.find("`" + name + " ") != std::string::npos)
                << name;
        }
    }
}

TEST(UsageDrift, BashCompletionOffersTheOptionsAndCommandsOfTheUsage) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.name);
        const std::string usage = usageOf(p.name, p.helpArgs);
        const std::string script = completion(p.name);
        ASSERT_FALSE(script.empty());
        EXPECT_EQ(optionNames(script), optionNames(usage));
        Names words = p.name == "kvflash"   ? entryNames(usageBlock(usage, "Commands"))
                      : p.name == "kvimage" ? verbNames(usage)
                                            : Names{};
        for (const auto& word : words) EXPECT_TRUE(hasWord(script, word)) << word;
    }
}

}  // namespace
