#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/MainDialog.h"
#include "link/UsbConfig.h"
#include "tests/support/Files.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempDir.h"
#include "ui/console/ConsoleDialogControls.h"
#include "ui/console/ConsoleDialogHost.h"
#include "ui/console/ConsoleSession.h"
#include "ui/console/ConsoleUi.h"

namespace kv {
namespace {

using Kind = ui::ConsoleCommand::Kind;
using Lines = std::vector<std::string>;

// A stream the session writes to, read back line by line.
struct Capture {
    std::FILE* file = std::tmpfile();
    Capture() { EXPECT_NE(file, nullptr); }
    ~Capture() { std::fclose(file); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    Lines lines() const {
        std::fflush(file);
        std::rewind(file);
        Lines out;
        std::string line;
        for (int c; (c = std::fgetc(file)) != EOF;) {
            if (c != '\n') {
                line += static_cast<char>(c);
                continue;
            }
            out.push_back(line);
            line.clear();
        }
        if (!line.empty()) out.push_back(line);
        return out;
    }
};

// The terminal front end on the simulated world: a session runs the
// dialog's commands as `kvflash --console` does.
struct ConsoleWorld : testing::SimWorld {
    ConsoleWorld() : SimWorld(platform::sim::MemorySpooler::defaultWorld()) {
        wireFrontEnd(ctx, consoleUi, consoleControls);
        useHostInstanceLock(dir.str());
        testing::writeAll(image, testing::pseudoRandomBytes(4096, 3));
    }

    // A USB printer named by its serial number, as real ones are, so it is
    // counted even when its device ID cannot be read.
    void plugUsb(emulator::PrinterConfig config, emulator::SimDeviceOptions options = {}) {
        config.link = emulator::LinkKind::Usb;
        enumerator.plugUsbPrinter(kKvUsbVendorId, 1, "5a4f573330303446", model(std::move(config)),
                                  options);
    }

    testing::TempDir dir;
    // A file the ZOW3004F printer accepts.
    const std::string image = dir.file("FMVQ_V5.20.bin");
    platform::Files& files = useHostFiles(dir.file("kvflash"));
    Capture out;
    Capture err;
    ui::ConsoleUi consoleUi{out.file, files, false, err.file};
    ui::ConsoleDialogControls consoleControls{out.file,
                                              ui::ConsoleDialogControls::templateStates()};
    ui::ConsoleDialogHost host{out.file, "kvflash"};
    MainDialog dialog{ctx, host};
    ui::ConsoleSession session{{dialog, consoleControls, host, consoleUi, clock, out.file,
                                [this] { return state.flashInProgress.load(); },
                                [this] { EXPECT_TRUE(state.workerSignal.waitForWorkerEnd()); }}};
};

bool has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Wherever the dialog posts its quit request, the terminal ends as the
// window does: the command that posted it finishes, no later one runs.
TEST(ConsoleSession, QuitRequestEndsTheRun) {
    struct Case {
        const char* name;
        std::function<void(ConsoleWorld&)> setUp;
        bool flashRuns;
    };
    const Case cases[] = {
        {"device ID unreadable",
         [](ConsoleWorld& w) { w.plugUsb({}, emulator::SimDeviceOptions{.deviceIdFails = true}); },
         false},
        {"print queues cannot be switched",
         [](ConsoleWorld& w) {
             w.plugUsb({});
             w.spooler.setListOutOfMemory(true);
         },
         false},
        // Posted by the worker's re-probe, on its own thread.
        {"printer gone after the flash",
         [](ConsoleWorld& w) {
             emulator::PrinterConfig c;
             c.neverComesBack = true;
             w.plugUsb(c);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleWorld w;
        c.setUp(w);
        const int code = w.session.run(
            {{Kind::Find, {}}, {Kind::Select, w.image}, {Kind::Flash, {}}, {Kind::Help, {}}});
        EXPECT_EQ(code, 1);
        const Lines out = w.out.lines();
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.back(), "quit");
        EXPECT_EQ(std::count(out.begin(), out.end(), "quit"), 1);
        EXPECT_EQ(has(out, "text programStatusText \"Printer successfully flashed\""), c.flashRuns);
        if (!c.flashRuns) {
            EXPECT_FALSE(std::any_of(out.begin(), out.end(), [](const std::string& line) {
                return line.rfind("file-dialog", 0) == 0;
            }));
        }
        EXPECT_FALSE(std::any_of(out.begin(), out.end(), [](const std::string& line) {
            return line.find("Help information") != std::string::npos;
        }));
        // Ended by the request, not by Exit.
        EXPECT_FALSE(w.host.ended());
    }
}

// The file dialog returns only an existing regular file that can be read,
// as the window's does; anything else is a cancelled dialog, with the reason
// on stderr.
TEST(ConsoleSession, FileDialogReturnsOnlyFilesThatCanBeRead) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        std::function<std::string(ConsoleWorld&)> make;  // the path to select
        const char* reason;                              // nothing: accepted
    };
    const Case cases[] = {
        {"a folder",
         [](ConsoleWorld& w) {
             fs::create_directory(w.dir.file("FMVQ_d.bin"));
             return w.dir.file("FMVQ_d.bin");
         },
         "a folder"},
        {"no such file", [](ConsoleWorld& w) { return w.dir.file("FMVQ_gone.bin"); },
         "no such file"},
        {"not readable",
         [](ConsoleWorld& w) {
             fs::permissions(w.image, fs::perms::none);
             return w.image;
         },
         "not readable"},
        {"an image", [](ConsoleWorld& w) { return w.image; }, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleWorld w;
        w.plugUsb({});
        const std::string path = c.make(w);
        if (c.name == std::string_view("not readable") && std::ifstream(path).is_open()) {
            continue;  // an administrator reads it all the same
        }
        EXPECT_EQ(w.session.run({{Kind::Find, {}}, {Kind::Select, path}}), 0);
        const Lines out = w.out.lines();
        if (c.reason) {
            EXPECT_TRUE(has(out, "file-dialog \"Bin Files (*.bin)\" \"*.bin\" -> -"));
            EXPECT_TRUE(has(out, "box \"Get Firmware file\" \"Did not get a file to open\""));
            EXPECT_EQ(w.err.lines(), Lines{"select \"" + path + "\": " + c.reason});
        } else {
            EXPECT_TRUE(
                has(out, "file-dialog \"Bin Files (*.bin)\" \"*.bin\" -> \"" + path + "\""));
            EXPECT_TRUE(
                has(out, "box \"Validating FW File\" \" Firmware compatible with this printer \""));
            EXPECT_TRUE(w.err.lines().empty());
        }
    }
}

}  // namespace
}  // namespace kv
