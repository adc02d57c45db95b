#include "program_arguments.h"

#include <algorithm>
#include <cwctype>

namespace skyswap {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool SameLetters(wchar_t a, wchar_t b) {
    return a == b || std::towupper(static_cast<wint_t>(a)) == std::towupper(static_cast<wint_t>(b));
}

// The length of `name` at the start of `text` when it is there whole, followed by a blank or
// the end; 0 otherwise.
std::size_t LeadingName(std::wstring_view text, std::wstring_view name) {
    if (name.empty() || text.size() < name.size() ||
        !std::equal(name.begin(), name.end(), text.begin(), SameLetters) ||
        (text.size() > name.size() && !IsBlank(text[name.size()]))) {
        return 0;
    }
    return name.size();
}

std::wstring_view WithoutLongPathPrefix(std::wstring_view path) {
    constexpr std::wstring_view kPrefix = L"\\\\?\\";
    if (path.substr(0, kPrefix.size()) == kPrefix) {
        path.remove_prefix(kPrefix.size());
    }
    return path;
}

}  // namespace

std::wstring ArgumentsAfterProgramName(std::wstring_view commandLine,
                                       std::wstring_view modulePath) {
    std::size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) {
        ++start;
    }
    const std::wstring_view text = commandLine.substr(start);
    const std::wstring_view module = WithoutLongPathPrefix(modulePath);
    const std::size_t lastSlash = module.find_last_of(L"\\/");
    const std::size_t dot = module.find_last_of(L'.');
    const bool hasExtension =
        dot != std::wstring_view::npos && (lastSlash == std::wstring_view::npos || dot > lastSlash);
    std::size_t nameEnd = LeadingName(text, module);
    if (nameEnd == 0 && hasExtension) {
        nameEnd = LeadingName(text, module.substr(0, dot));
    }
    if (nameEnd == 0) {
        bool quoted = false;
        while (nameEnd < text.size() && (quoted || !IsBlank(text[nameEnd]))) {
            if (text[nameEnd] == L'"') {
                quoted = !quoted;
            }
            ++nameEnd;
        }
    }
    std::size_t argumentsStart = nameEnd;
    while (argumentsStart < text.size() && IsBlank(text[argumentsStart])) {
        ++argumentsStart;
    }
    return std::wstring(text.substr(argumentsStart));
}

bool StartsTheWindow(const CommandLine& parsed) {
    return parsed.ok() && parsed.OpensTheWindow();
}

}  // namespace skyswap
