// Letter case of the ASCII names the program compares: file names, switches, device names. Only
// A-Z and a-z change, whatever the C locale says, as Windows folds the case of such names.
#pragma once

#include <string>
#include <string_view>

namespace skyswap {

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string text) {
    for (char& c : text) {
        c = AsciiLower(c);
    }
    return text;
}

// Whether two names are the same but for the letter case: "CLOUD1.TER" is "cloud1.ter".
inline bool SameAsciiText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace skyswap
