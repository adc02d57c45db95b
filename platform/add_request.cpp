#include "add_request.h"

#include "text_win.h"

namespace skyswap {

namespace {

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A path as the W functions take it: no half of a surrogate pair on its own, which UTF-8 cannot
// carry and which would come out as another name.
bool IsWholeUtf16(const wchar_t* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (IsHighSurrogate(text[i])) {
            if (i + 1 == length || !IsLowSurrogate(text[i + 1])) {
                return false;
            }
            ++i;
        } else if (IsLowSurrogate(text[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::wstring EncodeAddRequest(const std::vector<std::string>& paths) {
    if (paths.empty() || paths.size() > kMostRequestPaths) {
        return {};
    }
    std::wstring data;
    for (const std::string& path : paths) {
        const std::wstring wide = Utf8ToWide(path);
        if (wide.empty() || wide.size() > kLongestRequestPath ||
            wide.find(L'\0') != std::wstring::npos) {
            return {};
        }
        data += wide;
        data += L'\0';
    }
    return data;
}

std::optional<std::vector<std::string>> DecodeAddRequest(const COPYDATASTRUCT& data) {
    constexpr std::size_t kUnit = sizeof(wchar_t);
    constexpr std::size_t kMostBytes = kMostRequestPaths * (kLongestRequestPath + 1) * kUnit;
    if (data.dwData != kAddRequestTag || data.lpData == nullptr || data.cbData == 0 ||
        data.cbData % kUnit != 0 || data.cbData > kMostBytes) {
        return std::nullopt;
    }
    const auto* text = static_cast<const wchar_t*>(data.lpData);
    const std::size_t length = data.cbData / kUnit;
    if (text[length - 1] != L'\0') {
        return std::nullopt;  // cut short: the last path has no end
    }
    std::vector<std::string> paths;
    for (std::size_t start = 0; start < length;) {
        std::size_t end = start;
        while (text[end] != L'\0') {
            ++end;
        }
        const std::size_t size = end - start;
        if (size == 0 || size > kLongestRequestPath || paths.size() == kMostRequestPaths ||
            !IsWholeUtf16(text + start, size)) {
            return std::nullopt;
        }
        paths.push_back(WideToUtf8(std::wstring_view(text + start, size)));
        start = end + 1;
    }
    return paths;
}

bool SendAddRequest(HWND window, const std::vector<std::string>& paths, UINT milliseconds) {
    const std::wstring request = EncodeAddRequest(paths);
    if (request.empty()) {
        return false;
    }
    COPYDATASTRUCT data{};
    data.dwData = kAddRequestTag;
    data.cbData = static_cast<DWORD>(request.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(request.data());
    DWORD_PTR answer = FALSE;
    return SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, milliseconds, &answer) != 0 &&
           answer == TRUE;
}

}  // namespace skyswap
