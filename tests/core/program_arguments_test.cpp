// The program's own name at the start of its command line, however a launcher wrote it, and
// which command lines the console program hands to the window program.
#include "program_arguments.h"

#include <gtest/gtest.h>

namespace skyswap {
namespace {

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

TEST(ProgramArguments, TheProgramsNameIsNeverReadAsArguments) {
    const std::wstring module = L"C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe";
    const struct {
        const wchar_t* commandLine;
        const wchar_t* modulePath;
        const wchar_t* arguments;
    } cases[] = {
        // Unquoted with spaces, as old launchers start programs.
        {L"C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe /status", module.c_str(), L"/status"},
        {L"c:\\program files (x86)\\eaw\\sky\\SKYSWAP.EXE /install 3", module.c_str(),
         L"/install 3"},
        {L"C:\\Program Files (x86)\\EAW\\Sky\\skyswap /random", module.c_str(), L"/random"},
        {L"C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe", module.c_str(), L""},
        {L"C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe\t/status", module.c_str(), L"/status"},
        {L"  C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe  /status", module.c_str(), L"/status"},
        {L"C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe /library \"D:\\My Skies\"",
         L"\\\\?\\C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe", L"/library \"D:\\My Skies\""},
        // Quoted, or without spaces: the usual rules.
        {L"\"C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe\" /status", module.c_str(), L"/status"},
        {L"\"C:\\Program Files (x86)\"\\EAW\\Sky\\skyswap.exe /status", module.c_str(), L"/status"},
        {L"skyswap /status", L"C:\\Games\\EAW\\Sky\\skyswap.com", L"/status"},
        {L"skyswap.exe", L"C:\\Games\\EAW\\Sky\\skyswap.exe", L""},
        {L"C:\\PROGRA~2\\EAW\\Sky\\skyswap.exe /gamedefault", module.c_str(), L"/gamedefault"},
        {L"", module.c_str(), L""},
        // A longer name that only starts like the program's is another program's name.
        {L"C:\\Program Files (x86)\\EAW\\Sky\\skyswap.exe.bak /status", module.c_str(),
         L"Files (x86)\\EAW\\Sky\\skyswap.exe.bak /status"},
        // Another folder: the first blank ends the name, as the C runtime reads it.
        {L"D:\\Old Games\\skyswap.exe /status", module.c_str(), L"Games\\skyswap.exe /status"},
        // No extension on the module path: nothing to drop.
        {L"C:\\Tools\\sky swap /status", L"C:\\Tools\\sky swap", L"/status"},
        {L"C:\\Tools.d\\sky swap /status", L"C:\\Tools.d\\sky swap", L"/status"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ArgumentsAfterProgramName(c.commandLine, c.modulePath), c.arguments)
            << Narrow(c.commandLine);
    }
}

TEST(ProgramArguments, TheConsoleProgramHandsOnlyTheWindowToTheWindowProgram) {
    const struct {
        std::vector<std::string> arguments;
        bool startsTheWindow;
    } cases[] = {
        {{}, true},
        {{"/library", "D:\\Sky"}, true},
        {{"/library", "D:\\Sky", "/virtualstore", "D:\\VS"}, true},
        // Paths are added in the console, where their outcome and exit code are seen.
        {{"C:\\Downloads\\storm.zip"}, false},
        {{"C:\\Downloads\\storm.zip", "C:\\Downloads\\Dusk"}, false},
        {{"-"}, false},
        {{"/status"}, false},
        {{"/install", "3"}, false},
        {{"/?"}, false},
        {{"/bogus"}, false},
        {{"/library"}, false},
        {{"random"}, false},
        {{"C:\\a.zip", "/quiet"}, false},
    };
    for (const auto& c : cases) {
        const bool starts = StartsTheWindow(ParseCommandLine(c.arguments));
        std::string line;
        for (const std::string& argument : c.arguments) {
            line += argument + " ";
        }
        EXPECT_EQ(starts, c.startsTheWindow) << line;
    }
}

}  // namespace
}  // namespace skyswap
