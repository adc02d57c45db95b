#include "console_win.h"

#include <shellapi.h>

#include "elevation_win.h"
#include "program_arguments.h"
#include "text_win.h"

namespace skyswap {

namespace {

bool WriteAll(HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    for (std::size_t done = 0; done < bytes.size(); done += written) {
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0) {
            return false;
        }
    }
    return true;
}

std::wstring WithCrLf(const std::string& text) {
    std::wstring wide;
    for (wchar_t c : Utf8ToWide(text)) {
        if (c == L'\n') {
            wide += L'\r';
        }
        wide += c;
    }
    return wide + L"\r\n";
}

bool WriteConsoleText(HANDLE console, const std::wstring& lines) {
    DWORD written = 0;
    for (std::size_t done = 0; done < lines.size(); done += written) {
        if (!WriteConsoleW(console, lines.data() + done, static_cast<DWORD>(lines.size() - done),
                           &written, nullptr) ||
            written == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

OutputKind OutputKindOf(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return OutputKind::None;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        return OutputKind::Console;
    }
    // A handle value that names nothing in this process (a window program may be left one).
    SetLastError(NO_ERROR);
    if (GetFileType(handle) == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) {
        return OutputKind::None;
    }
    return OutputKind::Redirected;
}

std::string EncodedForRedirection(const std::wstring& text, unsigned int consoleCodePage) {
    if (consoleCodePage == 0 || consoleCodePage == CP_UTF8 || text.empty()) {
        return WideToUtf8(text);
    }
    const int length = WideCharToMultiByte(consoleCodePage, 0, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length <= 0 || WideCharToMultiByte(consoleCodePage, 0, text.data(),
                                           static_cast<int>(text.size()), bytes.data(), length,
                                           nullptr, nullptr) != length) {
        return WideToUtf8(text);  // a code page this system cannot write
    }
    return bytes;
}

bool WriteLines(HANDLE handle, const std::string& text) {
    switch (OutputKindOf(handle)) {
        case OutputKind::Console:
            return WriteConsoleText(handle, WithCrLf(text));
        case OutputKind::Redirected: {
            // for /f, findstr and PowerShell 5.1 read a pipe in the console's code page;
            // GetConsoleOutputCP gives 0 where there is no console.
            const bool written =
                WriteAll(handle, EncodedForRedirection(WithCrLf(text), GetConsoleOutputCP()));
            // The reader may look the moment this process ends.
            FlushFileBuffers(handle);
            return written;
        }
        case OutputKind::None:
            break;
    }
    return false;
}

bool WriteToStarter(const std::string& text, bool failure, bool borrowConsole) {
    HANDLE given = GetStdHandle(failure ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (OutputKindOf(given) != OutputKind::None) {
        // A redirection is the starter's choice even where the write fails (a pipe closed
        // early): the text never goes to the console instead.
        WriteLines(given, text);
        return true;
    }
    if (!borrowConsole) {
        return false;
    }
    // A window program has no console of its own; it borrows its starter's. Wine hands it
    // that console already, and then AttachConsole refuses with "access denied".
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    if (!attached && GetLastError() != ERROR_ACCESS_DENIED) {
        return false;
    }
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    bool ok = false;
    if (console != INVALID_HANDLE_VALUE) {
        ok = WriteConsoleText(console, WithCrLf(text));
        CloseHandle(console);
    }
    if (attached) {
        FreeConsole();
    }
    return ok;
}

std::wstring ProgramArgumentsText() {
    return ArgumentsAfterProgramName(GetCommandLineW(), ThisProgramPath());
}

std::vector<std::string> ProgramArguments() {
    // CommandLineToArgvW reads its first word by the rules for a program's name: a stand-in
    // name keeps the arguments to the rules for arguments.
    const std::wstring line = L"skyswap " + ProgramArgumentsText();
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(WideToUtf8(words[i]));
    }
    LocalFree(words);
    return arguments;
}

}  // namespace skyswap
