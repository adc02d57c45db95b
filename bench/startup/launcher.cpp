// Times programs from their creation to the signal of their first painted page, alternating
// between them run by run, and reports as JSON on the standard output the median, the peak
// working set after the first page, and the size of each program.
//
//   startup_launcher [--runs=N] [--folder=DIR] [--timeout-ms=T] PROGRAM.exe [PROGRAM.exe ...]
//
// Each program is started with DIR as its current folder and the variable
// SKYSWAP_SIGNAL_FIRST_PAINT naming an event the launcher waits on; after the first page it is
// asked to close. One warm-up round comes first and is not counted. Beside the signal, the time
// to the program's first idle moment (WaitForInputIdle) is reported too: it needs nothing from
// the program, so it also times a build without the signal. Exit status 1 when a program did
// not signal.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "startup_signal.h"

namespace {

struct Options {
    int runs = 11;
    std::wstring folder;
    DWORD timeoutMs = 60000;
    std::vector<std::wstring> programs;
};

struct Run {
    bool signalled = false;
    double milliseconds = 0;  // to the first-paint signal
    bool idle = false;
    double idleMilliseconds = 0;  // to the first wait for input, after the first paint
    SIZE_T peakWorkingSet = 0;
    std::wstring failure;
};

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// Notes when the program's event is set, while the launcher's own thread waits for the program
// to become idle.
struct SignalWatch {
    HANDLE event;
    HANDLE stop;
    LARGE_INTEGER start;
    bool signalled = false;
    double milliseconds = 0;

    static DWORD WINAPI Watch(void* parameter) {
        auto* watch = static_cast<SignalWatch*>(parameter);
        const HANDLE events[] = {watch->event, watch->stop};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
            watch->milliseconds = MillisecondsSince(watch->start);
            watch->signalled = true;
        }
        return 0;
    }
};

struct Program {
    std::wstring path;
    std::vector<Run> runs;
    bool givenUp = false;  // its warm-up start failed: the others go on without it
};

struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

std::string Json(const std::wstring& text) {
    std::string quoted = "\"";
    for (const char c : Utf8(text)) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

BOOL CALLBACK CloseWindowOfProcess(HWND window, LPARAM processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId) && IsWindowVisible(window)) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Asks the program to close as a user would, so it ends cleanly; ends it when it does not.
void EndProgram(const PROCESS_INFORMATION& process) {
    EnumWindows(CloseWindowOfProcess, static_cast<LPARAM>(process.dwProcessId));
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
}

Run TimeOneStart(const std::wstring& program, const Options& options, int serial) {
    Run run;
    const std::wstring eventName = L"Local\\SkySwapFirstPaint-" +
                                   std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(serial);
    HandleCloser event{skyswap::ExpectFirstPaint(eventName)};
    if (event.handle == nullptr) {
        run.failure = L"cannot create the event";
        return run;
    }

    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    HandleCloser stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    SignalWatch watch{event.handle, stop.handle, {}};
    QueryPerformanceCounter(&watch.start);
    HandleCloser watcher{CreateThread(nullptr, 0, SignalWatch::Watch, &watch, 0, nullptr)};
    if (stop.handle == nullptr || watcher.handle == nullptr) {
        run.failure = L"cannot watch for the signal";
        return run;
    }
    QueryPerformanceCounter(&watch.start);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        options.folder.empty() ? nullptr : options.folder.c_str(), &startup,
                        &process)) {
        run.failure = L"cannot start the program (error " + std::to_wstring(GetLastError()) + L")";
        SetEvent(stop.handle);
        WaitForSingleObject(watcher.handle, INFINITE);
        return run;
    }
    HandleCloser processHandle{process.hProcess};
    HandleCloser threadHandle{process.hThread};

    // The program signals before its message loop starts; the first idle moment of the loop
    // comes after the paint of the filled page, and needs no help from the program.
    const DWORD idle = WaitForInputIdle(process.hProcess, options.timeoutMs);
    if (idle == 0) {
        run.idle = true;
        run.idleMilliseconds = MillisecondsSince(watch.start);
    }
    const HANDLE ends[] = {watcher.handle, process.hProcess};
    // A program that signals does so before it is idle; one that went idle without a signal
    // gets a moment more, in case it signals from its message loop.
    WaitForMultipleObjects(2, ends, FALSE, run.idle ? 2000 : options.timeoutMs);
    SetEvent(stop.handle);
    WaitForSingleObject(watcher.handle, INFINITE);
    run.signalled = watch.signalled;
    run.milliseconds = watch.milliseconds;
    if (run.signalled || run.idle) {
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof(memory);
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory))) {
            run.peakWorkingSet = memory.PeakWorkingSetSize;
        }
    }
    if (!run.signalled) {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        run.failure =
            code != STILL_ACTIVE
                ? L"the program ended without signalling (exit code " + std::to_wstring(code) + L")"
                : L"no first-paint signal: the program does not signal it";
    }
    EndProgram(process);
    return run;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument.rfind(L"--runs=", 0) == 0) {
            options.runs = std::max(1, _wtoi(argument.c_str() + 7));
        } else if (argument.rfind(L"--folder=", 0) == 0) {
            options.folder = argument.substr(9);
        } else if (argument.rfind(L"--timeout-ms=", 0) == 0) {
            options.timeoutMs = static_cast<DWORD>(std::max(1, _wtoi(argument.c_str() + 13)));
        } else if (argument.rfind(L"--", 0) == 0) {
            std::fwprintf(stderr, L"unknown option %ls\n", argument.c_str());
            return false;
        } else {
            wchar_t full[MAX_PATH];
            const DWORD length = GetFullPathNameW(argument.c_str(), MAX_PATH, full, nullptr);
            options.programs.push_back(length > 0 && length < MAX_PATH ? full : argument);
        }
    }
    if (options.programs.empty()) {
        std::fwprintf(stderr,
                      L"usage: startup_launcher [--runs=N] [--folder=DIR] [--timeout-ms=T] "
                      L"PROGRAM.exe ...\n");
        return false;
    }
    return true;
}

// The middle figure; the mean of the middle two for an even count; 0 for none.
double Median(std::vector<double> times) {
    if (times.empty()) {
        return 0;
    }
    const std::size_t middle = times.size() / 2;
    std::nth_element(times.begin(), times.begin() + middle, times.end());
    if (times.size() % 2 == 1) {
        return times[middle];
    }
    const double below = *std::max_element(times.begin(), times.begin() + middle);
    return (below + times[middle]) / 2;
}

std::string TimesJson(const std::vector<double>& times) {
    std::string json;
    for (const double time : times) {
        char figure[32];
        std::snprintf(figure, sizeof figure, "%s%.3f", json.empty() ? "" : ", ", time);
        json += figure;
    }
    return "[" + json + "]";
}

void Report(const std::vector<Program>& programs, const Options& options) {
    std::printf("{\n  \"runs\": %d,\n  \"folder\": %s,\n  \"programs\": [", options.runs,
                Json(options.folder).c_str());
    for (std::size_t p = 0; p < programs.size(); ++p) {
        const Program& program = programs[p];
        std::vector<double> times;
        std::vector<double> idleTimes;
        SIZE_T peak = 0;
        std::wstring failure;
        for (const Run& run : program.runs) {
            if (run.signalled) {
                times.push_back(run.milliseconds);
            } else if (failure.empty()) {
                failure = run.failure;
            }
            if (run.idle) {
                idleTimes.push_back(run.idleMilliseconds);
            }
            peak = std::max(peak, run.peakWorkingSet);
        }
        const std::size_t slash = program.path.find_last_of(L"\\/");
        std::printf("%s\n    {\n      \"name\": %s,\n      \"path\": %s,\n", p == 0 ? "" : ",",
                    Json(program.path.substr(slash == std::wstring::npos ? 0 : slash + 1)).c_str(),
                    Json(program.path).c_str());
        std::printf("      \"size_bytes\": %lld,\n", FileSize(program.path));
        std::printf(
            "      \"signalled_runs\": %zu,\n      \"times_ms\": %s,\n"
            "      \"median_ms\": %.3f,\n",
            times.size(), TimesJson(times).c_str(), Median(times));
        std::printf(
            "      \"idle_runs\": %zu,\n      \"idle_times_ms\": %s,\n"
            "      \"idle_median_ms\": %.3f,\n",
            idleTimes.size(), TimesJson(idleTimes).c_str(), Median(idleTimes));
        std::printf("      \"peak_working_set_bytes\": %llu,\n      \"failure\": %s\n    }",
                    static_cast<unsigned long long>(peak), Json(failure).c_str());
    }
    std::printf("\n  ]\n}\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 2;
    }
    std::vector<Program> programs;
    for (const std::wstring& path : options.programs) {
        programs.push_back({path, {}});
    }
    int serial = 0;
    // Round 0 warms the caches and is dropped. The order turns every round, so that neither
    // program always runs right after the other.
    for (int round = 0; round <= options.runs; ++round) {
        for (std::size_t i = 0; i < programs.size(); ++i) {
            Program& program = programs[(i + static_cast<std::size_t>(round)) % programs.size()];
            if (program.givenUp) {
                continue;
            }
            Run run = TimeOneStart(program.path, options, serial++);
            if (!run.signalled && round == 0) {
                std::fwprintf(stderr, L"%ls: %ls\n", program.path.c_str(), run.failure.c_str());
            }
            if (round > 0 || (!run.signalled && !run.idle)) {
                program.runs.push_back(run);
            }
            program.givenUp = round == 0 && !run.signalled && !run.idle;
        }
    }
    Report(programs, options);
    bool allSignalled = true;
    for (const Program& program : programs) {
        for (const Run& run : program.runs) {
            allSignalled = allSignalled && run.signalled;
        }
    }
    return allSignalled ? 0 : 1;
}
