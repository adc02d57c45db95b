// The text of a command-line run, written where the one who started it looks: the console it
// types in, or the file or pipe it redirected the output to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace skyswap {

enum class OutputKind {
    Console,     // a console screen: written as wide text, so that every language shows right
    // A file, a pipe, NUL or any handle that is not a console: in the code page of the console
    // the program runs in, UTF-8 (no BOM) without one.
    Redirected,
    None,        // no handle at all, as for a window program started from Explorer
};

// GetConsoleMode tells a console from anything else; a character device such as NUL is not one.
OutputKind OutputKindOf(HANDLE handle);

// `text` as the bytes of a redirection when the console's output code page is
// `consoleCodePage`: UTF-8 for 0 (no console) and 65001, else that code page.
std::string EncodedForRedirection(const std::wstring& text, unsigned int consoleCodePage);

// Writes `text` (UTF-8, lines split by "\n") and a final line end with CR LF line ends. False
// when `handle` is not a usable one or the write failed.
bool WriteLines(HANDLE handle, const std::string& text);

// The text of a run to its standard output (or its error output for a failure). A window
// program that was given neither borrows the console of the program that started it when
// `borrowConsole`. False when the text went nowhere.
bool WriteToStarter(const std::string& text, bool failure, bool borrowConsole);

// The process's own arguments in UTF-8, without its name.
std::vector<std::string> ProgramArguments();
// The process's command line without its name, as it was typed.
std::wstring ProgramArgumentsText();

}  // namespace skyswap
