#include "archive.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "ascii.h"

namespace skyswap {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The device names Windows keeps in every folder, also with an extension or trailing spaces:
// "CON", "nul.txt", "COM1 .ter", "aux   .txt".
bool IsDeviceName(const std::string& part) {
    std::string base = AsciiLower(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    static const std::set<std::string> devices = {"con",    "prn",     "aux",   "nul",
                                                  "conin$", "conout$", "clock$"};
    if (devices.count(base) != 0) {
        return true;
    }
    const bool port = base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0;
    // COM0 to COM9 and LPT0 to LPT9, and those with a superscript digit (UTF-8 of ¹, ², ³).
    return port && ((base.size() == 4 && IsDigit(base[3])) ||
                    (base.size() == 5 &&
                     (base.compare(3, 2, "\xC2\xB9") == 0 || base.compare(3, 2, "\xC2\xB2") == 0 ||
                      base.compare(3, 2, "\xC2\xB3") == 0)));
}

// A name in the 8.3 form Windows gives a long name as its short one ("CLOUD1~1.TER",
// "PROGRA~1"): written, it may land on another file of the folder that has this short name.
bool IsShortNameForm(const std::string& part) {
    const std::size_t dot = part.find('.');
    const std::string base = part.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : part.substr(dot + 1);
    if (base.size() > 8 || extension.size() > 3 || extension.find('.') != std::string::npos) {
        return false;
    }
    const std::size_t tilde = base.rfind('~');
    return tilde != std::string::npos && tilde > 0 && tilde + 1 < base.size() &&
           std::all_of(base.begin() + static_cast<std::ptrdiff_t>(tilde) + 1, base.end(), IsDigit);
}

bool IsUnsafePart(const std::string& part) {
    if (part == "." || part.empty()) {
        return false;  // "a/./b" and "a//b" are "a\b" to Windows
    }
    return part == ".." || part.back() == '.' || part.back() == ' ' || IsDeviceName(part) ||
           IsShortNameForm(part);
}

}  // namespace

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (IsUnsafePart(name.substr(start, end - start))) {
            return false;
        }
        start = end + 1;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
               std::string_view(":*?<>|\"").find(c) != std::string_view::npos;
    });
}

std::string ShownName(const std::string& name) {
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            // U+2400 + byte (U+2421 for DEL), three bytes of UTF-8.
            const unsigned symbol = 0x2400 + (byte == 0x7F ? 0x21U : byte);
            shown += static_cast<char>(0xE0 | (symbol >> 12));
            shown += static_cast<char>(0x80 | ((symbol >> 6) & 0x3F));
            shown += static_cast<char>(0x80 | (symbol & 0x3F));
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace skyswap
