// Starts a program and returns once it has painted its first page; the program goes on running.
//
//   first_paint [--timeout-ms=T] [--screenshot] PROGRAM.exe [ARGUMENT ...]
//
// The program (or a program it starts in turn, as Wine's explorer /desktop=... does) is told
// through SKYSWAP_SIGNAL_FIRST_PAINT which event to set after its first paint. Exit status 0 once
// it has; 1, with the reason on the standard error, when it ended with a failure first or the
// time ran out (60 s unless told); 2 for a wrong command line. --screenshot readies the screen
// for one: the mouse pointer goes to the screen's bottom right corner first, off the program's
// controls, so that no tooltip shows, and after the first paint the program has 2 s more for what
// it finishes just after it (SkySwap's title names the sky in the game once it is recognised).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "startup_signal.h"

namespace {

struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};

// Quotes an argument so that CommandLineToArgvW gives it back unchanged.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// How long a screenshot waits after the first paint.
constexpr DWORD kSettleMs = 2000;

int Fail(const std::wstring& program, const std::wstring& reason) {
    std::fwprintf(stderr, L"first_paint: %ls %ls\n", program.c_str(), reason.c_str());
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD timeoutMs = 60000;
    bool screenshot = false;
    int first = 1;
    bool known = true;
    for (; known && first < argc && std::wcsncmp(argv[first], L"--", 2) == 0; ++first) {
        if (std::wcsncmp(argv[first], L"--timeout-ms=", 13) == 0) {
            timeoutMs = static_cast<DWORD>(std::wcstoul(argv[first] + 13, nullptr, 10));
        } else {
            screenshot = std::wcscmp(argv[first], L"--screenshot") == 0;
            known = screenshot;
        }
    }
    if (!known || first >= argc || timeoutMs == 0) {
        std::fwprintf(stderr, L"usage: first_paint [--timeout-ms=T] [--screenshot] "
                              L"PROGRAM.exe [ARGUMENT ...]\n");
        return 2;
    }
    if (screenshot) {
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    const std::wstring program = argv[first];
    std::wstring commandLine;
    for (int i = first; i < argc; ++i) {
        commandLine += (i == first ? L"" : L" ") + Quoted(argv[i]);
    }

    const std::wstring eventName =
        L"Local\\SkySwapFirstPaint-" + std::to_wstring(GetCurrentProcessId());
    HandleCloser painted{skyswap::ExpectFirstPaint(eventName)};
    if (painted.handle == nullptr) {
        return Fail(program, L"cannot be watched: no event (error " +
                                 std::to_wstring(GetLastError()) + L")");
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return Fail(program, L"cannot be started (error " + std::to_wstring(GetLastError()) + L")");
    }
    HandleCloser processHandle{process.hProcess};
    HandleCloser threadHandle{process.hThread};

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool running = true;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        const HANDLE waits[] = {painted.handle, process.hProcess};
        const DWORD woken = WaitForMultipleObjects(running ? 2 : 1, waits, FALSE, left);
        if (woken == WAIT_OBJECT_0) {
            if (screenshot) {
                Sleep(kSettleMs);
            }
            return 0;
        }
        if (woken == WAIT_OBJECT_0 + 1) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            if (code != 0) {
                return Fail(program, L"ended with exit code " + std::to_wstring(code) +
                                         L" before it painted its first page");
            }
            // A launcher that handed the window to another process ends with 0: wait on.
            running = false;
            continue;
        }
        return Fail(program,
                    L"painted no first page within " + std::to_wstring(timeoutMs / 1000) + L" s");
    }
}
