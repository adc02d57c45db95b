// skyswap.com: the same command line as skyswap.exe, as a console program. cmd and PowerShell
// look for .COM before .EXE, so "skyswap /status" at a prompt runs this one: the shell waits for
// it, its text comes before the next prompt, and %ERRORLEVEL% / $LASTEXITCODE is its exit code.
// Without an action it starts the window program beside it with the same arguments and waits for
// it, so that in a batch file "skyswap" then "eaw.exe" lets the player choose a sky first; its
// exit code is the window's. Bare paths are "/add" here, run in the console.
#include <windows.h>

#include <string>

#include "command_line_win.h"
#include "console_win.h"
#include "elevation_win.h"
#include "program_arguments.h"
#include "system_library_win.h"
#include "text_win.h"

namespace {

std::wstring WindowProgramPath() {
    std::wstring path = skyswap::ThisProgramPath();
    const std::size_t dot = path.find_last_of(L'.');
    const std::size_t slash = path.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
        path.resize(dot);
    }
    return path + L".exe";
}

int StartWindowProgram() {
    const std::wstring program = WindowProgramPath();
    std::wstring line = L"\"" + program + L"\"";
    const std::wstring arguments = skyswap::ProgramArgumentsText();
    if (!arguments.empty()) {
        line += L" " + arguments;
    }
    // The window gets none of this program's handles nor its console: a shell reading its
    // output through a pipe must not wait for the window to close.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &process)) {
        skyswap::WriteToStarter("SkySwap cannot start " + skyswap::WideToUtf8(program) + ": " +
                                    skyswap::SystemMessage(GetLastError()),
                                true, false);
        return skyswap::kExitFailed;
    }
    CloseHandle(process.hThread);
    DWORD exitCode = skyswap::kExitFailed;
    if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &exitCode)) {
        exitCode = skyswap::kExitFailed;
    }
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

}  // namespace

int wmain() {
    // Before anything can load a DLL: none comes from the program's own folder.
    skyswap::LoadLibrariesFromSystemOnly();
    const skyswap::CommandLine command = skyswap::ProcessCommandLine(skyswap::ProgramArguments());
    if (skyswap::StartsTheWindow(command)) {
        return StartWindowProgram();
    }
    return skyswap::RunFromCommandLine(command, skyswap::CommandFront::Console);
}
