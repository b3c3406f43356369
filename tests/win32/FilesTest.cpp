#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/win32/ConsoleScreen.h"
#include "platform/win32/Win32FileReader.h"
#include "platform/win32/Win32Files.h"
#include "tests/support/Files.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::win32::Win32Files;

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Every entry "*.bin" matches counts, a folder too, in any case.
TEST(Win32Files, BinSearchCountsEveryMatchingEntry) {
    TempFolder folder;
    for (const char* name : {"a.bin", "B.BIN", "c.txt", "d.bin.txt", "e.Bin"}) {
        ASSERT_TRUE(writeFile(folder.path() + name, "x"));
    }
    ASSERT_TRUE(::CreateDirectoryA((folder.path() + "images.bin").c_str(), nullptr));
    Win32Files files;
    EXPECT_EQ(sorted(files.binFilesIn(folder.path())),
              (std::vector<std::string>{"B.BIN", "a.bin", "e.Bin", "images.bin"}));
    // Without the trailing separator the same folder is searched.
    std::string bare = folder.path();
    bare.pop_back();
    EXPECT_EQ(files.binFilesIn(bare).size(), 4u);
    EXPECT_TRUE(files.binFilesIn(folder.path() + "missing\\").empty());
}

// What the terminal's file dialog answers: only an existing file.
TEST(Win32Files, NotAFileToOpenByTheEntrysAttributes) {
    TempFolder folder;
    ASSERT_TRUE(writeFile(folder.path() + "image.bin", "x"));
    ASSERT_TRUE(::CreateDirectoryA((folder.path() + "d.bin").c_str(), nullptr));
    Win32Files files;
    EXPECT_TRUE(files.fileToOpen(folder.path() + "image.bin"));
    EXPECT_EQ(files.fileToOpen(folder.path() + "d.bin").reason(), "a folder");
    EXPECT_EQ(files.fileToOpen(folder.path() + "gone.bin").reason(), "no such file");
    EXPECT_EQ(files.fileToOpen("").reason(), "no such file");
}

// Firmware images: a disk file opens with its size and reads to its end;
// a folder, a device or a missing file is refused with a reason.
TEST(Win32FileReader, OpensOnlyDiskFiles) {
    TempFolder folder;
    ASSERT_TRUE(writeFile(folder.path() + "image.bin", "0123456789"));
    platform::win32::Win32FileReader reader;
    const auto opened = reader.openRegular(folder.path() + "image.bin");
    ASSERT_TRUE(opened) << opened.reason();
    platform::ReadableFile& file = **opened;
    EXPECT_EQ(file.size(), 10u);
    uint8_t buffer[16] = {};
    EXPECT_EQ(*file.read(buffer, sizeof buffer), 10u);
    EXPECT_EQ(*file.read(buffer, sizeof buffer), 0u);
    for (const std::string& path :
         {folder.path(), std::string("NUL"), folder.path() + "missing.bin"}) {
        const auto refused = reader.openRegular(path);
        EXPECT_FALSE(refused) << path;
        EXPECT_FALSE(refused.reason().empty()) << path;
    }
}

// The program's own name and folder decide automatic loading: a copy of
// the helper program under each name runs the detection on its own path.
TEST(Win32Files, AutoLoadFollowsTheProgramsNameAndFolder) {
    struct Case {
        const char* program;
        std::vector<std::string> binFiles;
        int mode;
        const char* file;
    };
    const Case cases[] = {
        {"fwauto.exe", {"image.bin"}, 1, "image.bin"},
        {"FwAuto.EXE", {"image.bin"}, 1, "image.bin"},
        {"fwauto.exe", {"one.bin", "two.bin"}, 0, ""},
        {"fwauto.exe", {}, 0, ""},
        {"kvflash.exe", {"image.bin"}, 0, ""},
        {"autoexe.exe", {"image.bin"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " beside " + std::to_string(c.binFiles.size()) +
                     " images");
        TempFolder folder;
        const std::string program = folder.path() + c.program;
        ASSERT_TRUE(::CopyFileA(helperPath().c_str(), program.c_str(), FALSE));
        for (const std::string& bin : c.binFiles) ASSERT_TRUE(writeFile(folder.path() + bin, "x"));
        const ProcessResult r = runProcess(program, "detect-autoload", {});
        ASSERT_TRUE(r.finished) << r.out;
        EXPECT_EQ(field(r.out, "module"), program);
        EXPECT_EQ(field(r.out, "mode"), std::to_string(c.mode));
        EXPECT_EQ(field(r.out, "name"), std::string(c.file));
        EXPECT_EQ(field(r.out, "path"), c.mode ? folder.path() + c.file : std::string());
    }
}

// The fleet's rows take the console's window (not its far taller buffer)
// once the console obeys the sequences; Wine's keeps the flag and prints
// them, so lines there, with the probe wiped. The console's own mode comes
// back; a pipe has no size.
TEST(ConsoleScreen, WindowSizeWhereTheSequencesAreObeyed) {
    // Run on a terminal (tests/wine), where the program has a console.
    HANDLE buffer = ::CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                CONSOLE_TEXTMODE_BUFFER, nullptr);
    ASSERT_NE(buffer, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(::SetConsoleScreenBufferSize(buffer, {100, 300}));
    const SMALL_RECT window{0, 0, 99, 29};
    ASSERT_TRUE(::SetConsoleWindowInfo(buffer, TRUE, &window));
    DWORD own = 0;
    ASSERT_TRUE(::GetConsoleMode(buffer, &own));
    own &= ~ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    ASSERT_TRUE(::SetConsoleMode(buffer, own));
    {
        platform::win32::ConsoleScreen screen(buffer);
        const auto size = screen.size();
        CONSOLE_SCREEN_BUFFER_INFO info{};
        ::GetConsoleScreenBufferInfo(buffer, &info);
        EXPECT_EQ(info.dwCursorPosition.X + info.dwCursorPosition.Y, 0);
        char line[8] = {};
        DWORD read = 0;
        ::ReadConsoleOutputCharacterA(buffer, line, sizeof line, {0, 0}, &read);
        EXPECT_EQ(std::string(line, read), std::string(sizeof line, ' '));
        if (size) {
            EXPECT_EQ(size->columns, 100u);
            EXPECT_EQ(size->lines, 30u);
        }
    }
    DWORD after = 0;
    ::GetConsoleMode(buffer, &after);
    EXPECT_EQ(after, own);
    ::CloseHandle(buffer);
    HANDLE in = nullptr, out = nullptr;
    ASSERT_TRUE(::CreatePipe(&in, &out, nullptr, 0));
    EXPECT_FALSE(platform::win32::ConsoleScreen(out).size());
    ::CloseHandle(in);
    ::CloseHandle(out);
}

}  // namespace
}  // namespace kv::testing
