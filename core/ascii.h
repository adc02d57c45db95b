// Letter case of the ASCII names the program compares: file names, switches, device names.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace skyswap {

inline std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace skyswap
