// Conversions between the core's UTF-8 text and the wide text of the W functions.
#pragma once

#include <string>
#include <string_view>

namespace skyswap {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The program's name as message boxes and the window's title start with it.
std::wstring ProgramTitle();

// A message box of the program's own, owned by `owner` (none: the desktop); returns the button.
int ShowProgramMessage(void* owner, const std::string& text, unsigned int type);

// The system's message for a Win32 error code, in the user's language, without the line end.
std::string SystemMessage(unsigned long errorCode);

}  // namespace skyswap
