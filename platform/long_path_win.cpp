#include "long_path_win.h"

#include <windows.h>

#include "text_win.h"

namespace skyswap {

std::wstring WinPath(const std::string& path) {
    std::wstring wide = Utf8ToWide(path);
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\') {
        return L"\\\\?\\" + wide;
    }
    if (wide.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + wide.substr(2);
    }
    return wide;
}

}  // namespace skyswap
