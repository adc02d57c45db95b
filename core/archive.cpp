#include "archive.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "ascii.h"

namespace skyswap {

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
        const std::string part = name.substr(start, end - start);
        if (part == "..") {
            return false;
        }
        // The device names Windows keeps in every folder, also with an extension or trailing
        // spaces: "CON", "nul.txt", "COM1 .ter".
        std::string base = AsciiLower(part.substr(0, part.find('.')));
        while (!base.empty() && base.back() == ' ') {
            base.pop_back();
        }
        static const std::set<std::string> devices = {"con",    "prn",     "aux",   "nul",
                                                      "conin$", "conout$", "clock$"};
        const bool numbered = base.size() == 4 &&
                              (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
                              std::isdigit(static_cast<unsigned char>(base[3])) != 0;
        // COM and LPT with a superscript digit (UTF-8 of ¹, ², ³) are devices too.
        const bool superscript =
            base.size() == 5 &&
            (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
            (base.compare(3, 2, "\xC2\xB9") == 0 || base.compare(3, 2, "\xC2\xB2") == 0 ||
             base.compare(3, 2, "\xC2\xB3") == 0);
        if (devices.count(base) != 0 || numbered || superscript) {
            return false;
        }
        start = end + 1;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

}  // namespace skyswap
