// Includes may only point down the layer order of docs/development.md's layout
// section; within one layer they may not form a cycle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Folder {
    std::string path;  // longest prefix wins
    int layer;
};

// Bottom to top. The emulator stands beside the product above image and
// printer identity, its simulated devices above it.
const std::vector<Folder> kFolders = {
    {"platform", 0},     {"state", 1},      {"image", 2},
    {"link", 3},         {"status", 3},     {"spooler", 3},
    {"printer", 3},      {"link/local", 4}, {"printer/discovery", 5},
    {"flash", 5},        {"fleet", 6},      {"app", 7},
    {"ui", 8},           {"main", 9},       {"emulator", 4},
    {"emulator/sim", 5},
};

// Only these may include the emulator or its simulated devices.
bool mayIncludeEmulator(const std::string& folder) {
    return folder == "main" || folder.starts_with("emulator");
}

bool isEmulator(const std::string& folder) { return folder.starts_with("emulator"); }

// The folder a project path belongs to; nothing for a path outside them.
std::optional<Folder> folderOf(const std::string& path) {
    std::optional<Folder> best;
    for (const Folder& f : kFolders) {
        if (path == f.path || path.starts_with(f.path + "/")) {
            if (!best || f.path.size() > best->path.size()) best = f;
        }
    }
    return best;
}

// A folder's subfolders (platform/linux, ui/qt, ...) are the folder itself
// for the cycle check, except those named on their own.
std::string unitOf(const std::string& path) { return folderOf(path)->path; }

struct Include {
    std::string file;
    int line;
    std::string target;
};

// The name in a line `#include "name"`, if the line is one.
std::optional<std::string> quotedInclude(std::string_view line) {
    const auto skipBlanks = [&line] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
    };
    skipBlanks();
    if (!line.starts_with('#')) return std::nullopt;
    line.remove_prefix(1);
    skipBlanks();
    if (!line.starts_with("include")) return std::nullopt;
    line.remove_prefix(7);
    skipBlanks();
    if (!line.starts_with('"')) return std::nullopt;
    line.remove_prefix(1);
    const size_t end = line.find('"');
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(line.substr(0, end));
}

std::vector<Include> projectIncludes(const fs::path& root) {
    std::vector<Include> out;
    for (const Folder& f : kFolders) {
        if (f.path.find('/') != std::string::npos) continue;  // walked with its parent
        if (!fs::exists(root / f.path)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / f.path)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
            std::ifstream in(entry.path());
            std::string text;
            for (int n = 1; std::getline(in, text); ++n) {
                if (auto target = quotedInclude(text)) {
                    out.push_back({fs::relative(entry.path(), root).generic_string(), n, *target});
                }
            }
        }
    }
    return out;
}

// Names of the folders on a cycle of same-layer includes, if any.
std::set<std::string> foldersOnCycles(const std::map<std::string, std::set<std::string>>& edges) {
    std::set<std::string> onCycle;
    for (const auto& [start, _] : edges) {
        // Can start reach itself?
        std::set<std::string> seen;
        std::vector<std::string> stack(edges.at(start).begin(), edges.at(start).end());
        while (!stack.empty()) {
            const std::string at = stack.back();
            stack.pop_back();
            if (at == start) {
                onCycle.insert(start);
                break;
            }
            if (!seen.insert(at).second) continue;
            if (auto it = edges.find(at); it != edges.end()) {
                stack.insert(stack.end(), it->second.begin(), it->second.end());
            }
        }
    }
    return onCycle;
}

std::string sourceDir() {
#ifdef KVFLASH_SOURCE_DIR
    return KVFLASH_SOURCE_DIR;
#else
    return {};
#endif
}

TEST(Layering, EveryIncludePointsDownAndNoLayerHasACycle) {
    const fs::path root = sourceDir();
    ASSERT_TRUE(fs::exists(root / "platform")) << "source tree not found at " << root;
    const std::vector<Include> includes = projectIncludes(root);
    ASSERT_GT(includes.size(), 100u);

    std::vector<std::string> faults;
    std::map<std::string, std::set<std::string>> sameLayer;
    for (const Include& inc : includes) {
        const auto from = folderOf(inc.file);
        const auto to = folderOf(inc.target);
        if (!to) continue;  // a test or outside header: not a product folder
        const std::string where = inc.file + ":" + std::to_string(inc.line) + ": " + inc.target;
        if (isEmulator(to->path) && !mayIncludeEmulator(from->path)) {
            faults.push_back(where + " (only main/ and tests use the emulator)");
        } else if (to->layer > from->layer) {
            faults.push_back(where + " (runs up from " + from->path + " to " + to->path + ")");
        } else if (to->layer == from->layer && unitOf(inc.file) != unitOf(inc.target)) {
            sameLayer[unitOf(inc.file)].insert(unitOf(inc.target));
        }
    }
    for (const std::string& folder : foldersOnCycles(sameLayer)) {
        faults.push_back(folder + " is on an include cycle within its layer");
    }
    for (const std::string& f : faults) ADD_FAILURE() << f;
}

TEST(Layering, TheRulesThemselves) {
    struct Case {
        const char* path;
        const char* folder;
    };
    const Case cases[] = {
        {"link/local/LocalHandles.h", "link/local"},
        {"link/Usb.h", "link"},
        {"printer/discovery/Discovery.h", "printer/discovery"},
        {"printer/Identity.h", "printer"},
        {"emulator/sim/SimDeviceIo.h", "emulator/sim"},
        {"platform/linux/PosixNetwork.h", "platform"},
        {"ui/qt/QtUi.h", "ui"},
    };
    for (const Case& c : cases) EXPECT_EQ(folderOf(c.path)->path, c.folder) << c.path;
    EXPECT_FALSE(folderOf("tests/flash/LocalFlashWorld.h"));
    EXPECT_FALSE(folderOf("linkage/X.h"));
    EXPECT_EQ(quotedInclude(" #  include \"link/Usb.h\" // why"), "link/Usb.h");
    EXPECT_FALSE(quotedInclude("#include <vector>"));
    EXPECT_FALSE(quotedInclude("// #include \"app/X.h\""));
    EXPECT_EQ(foldersOnCycles({{"a", {"b"}}, {"b", {"a"}}, {"c", {"a"}}}),
              (std::set<std::string>{"a", "b"}));
}

}  // namespace
