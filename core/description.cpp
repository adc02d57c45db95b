#include "description.h"

#include <algorithm>

namespace skyswap {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 from 0x80 to 0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr char16_t kAnsiHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

enum class Utf8Result { Ok, Invalid, Cut };

struct Utf8Char {
    Utf8Result result;
    char32_t value;
    std::size_t length;  // bytes taken; for Invalid the longest prefix that could have been valid
};

// One UTF-8 sequence as RFC 3629 allows it: no overlong forms, no surrogates, nothing past
// U+10FFFF. The second byte's range carries those rules.
Utf8Char NextUtf8(std::string_view bytes, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    if (lead < 0x80) {
        return {Utf8Result::Ok, lead, 1};
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {Utf8Result::Invalid, 0, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (pos + i >= bytes.size()) {
            return {Utf8Result::Cut, 0, i};
        }
        const auto next = static_cast<unsigned char>(bytes[pos + i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
            return {Utf8Result::Invalid, 0, i};
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    return {Utf8Result::Ok, value, length};
}

// Strict: false as soon as a sequence is invalid, so that the caller can fall back to the ANSI
// code page. Lenient (text that declared itself UTF-8 with a byte-order mark): U+FFFD instead.
// A sequence cut by the end is dropped when the bytes were cut at the read limit.
bool DecodeUtf8(std::string_view bytes, bool lenient, bool cutAtEnd, std::u32string& text) {
    text.clear();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const Utf8Char next = NextUtf8(bytes, pos);
        if (next.result == Utf8Result::Ok) {
            text.push_back(next.value);
        } else if (next.result == Utf8Result::Cut && cutAtEnd) {
            break;
        } else if (lenient) {
            text.push_back(kReplacement);
        } else {
            return false;
        }
        pos += next.length;
    }
    return true;
}

std::u32string DecodeAnsi(std::string_view bytes) {
    std::u32string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x80 && value <= 0x9F) {
            if (kAnsiHigh[value - 0x80] != 0) {
                text.push_back(kAnsiHigh[value - 0x80]);
            }
        } else {
            text.push_back(value);
        }
    }
    return text;
}

// Whole UTF-16 text after its byte-order mark; false for binary data (a NUL character).
bool DecodeUtf16(std::string_view bytes, bool bigEndian, bool cutAtEnd, std::u32string& text) {
    text.clear();
    const std::size_t unitCount = bytes.size() / 2;
    const auto unitAt = [&](std::size_t index) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[2 * index]);
        const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
        return bigEndian ? (char32_t{first} << 8) | second : (char32_t{second} << 8) | first;
    };
    for (std::size_t i = 0; i < unitCount; ++i) {
        const char32_t unit = unitAt(i);
        if (unit == 0) {
            return false;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == unitCount && cutAtEnd) {
                break;
            }
            const char32_t trail = i + 1 < unitCount ? unitAt(i + 1) : 0;
            if (trail >= 0xDC00 && trail <= 0xDFFF) {
                text.push_back(0x10000 + ((unit - 0xD800) << 10) + (trail - 0xDC00));
                ++i;
            } else {
                text.push_back(kReplacement);
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            text.push_back(kReplacement);
        } else {
            text.push_back(unit);
        }
    }
    return true;
}

struct FieldSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool quoted = false;
};

// The delimiters are ASCII, so the field is found the same way in raw bytes (UTF-8 or ANSI)
// and in decoded UTF-16 text.
template <typename Text>
FieldSpan LocateField(const Text& text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '"') {
        std::size_t end = pos + 1;
        while (end < text.size() && text[end] != '"') {
            ++end;
        }
        return {pos + 1, end, true};
    }
    std::size_t end = pos;
    while (end < text.size() && text[end] != ',' && text[end] != '\r' && text[end] != '\n') {
        ++end;
    }
    return {pos, end, false};
}

void AppendUtf8(char32_t value, std::string& out) {
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        value = kReplacement;
    }
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}

// A tooltip shows one line: line breaks and tabs (possible inside quotes) become one space each,
// other control characters go.
std::string ToToolTipText(const std::u32string& field, bool quoted) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char32_t value = field[i];
        if (value == '\r' && i + 1 < field.size() && field[i + 1] == '\n') {
            continue;
        }
        if (value == '\t' || value == '\r' || value == '\n') {
            out.push_back(' ');
        } else if (value < 0x20 || (value >= 0x7F && value <= 0x9F)) {
            continue;
        } else {
            AppendUtf8(value, out);
        }
    }
    if (!quoted) {
        const std::size_t first = out.find_first_not_of(' ');
        if (first == std::string::npos) {
            return {};
        }
        out.erase(0, first);
        out.erase(out.find_last_not_of(' ') + 1);
    }
    return out;
}

std::string FirstFieldOfUtf16(std::string_view bytes, bool bigEndian, bool cutAtEnd) {
    std::u32string text;
    if (!DecodeUtf16(bytes, bigEndian, cutAtEnd, text)) {
        return {};
    }
    const FieldSpan span = LocateField(text);
    return ToToolTipText(text.substr(span.begin, span.end - span.begin), span.quoted);
}

std::string FirstFieldOfBytes(std::string_view bytes, bool declaredUtf8, bool cutAtEnd) {
    if (bytes.find('\0') != std::string_view::npos) {
        return {};
    }
    const FieldSpan span = LocateField(bytes);
    const std::string_view field = bytes.substr(span.begin, span.end - span.begin);
    // Only a field that runs into the read limit can end in a sequence cut short.
    const bool fieldCut = cutAtEnd && span.end == bytes.size();
    std::u32string text;
    if (!DecodeUtf8(field, declaredUtf8, fieldCut, text)) {
        text = DecodeAnsi(field);
    }
    return ToToolTipText(text, span.quoted);
}

}  // namespace

std::string FirstField(std::string_view bytes) {
    // A text of exactly the limit is taken for a file cut there by the reader.
    const bool cutAtEnd = bytes.size() >= kDescriptionReadLimit;
    bytes = bytes.substr(0, kDescriptionReadLimit);
    if (bytes.size() >= 2) {
        const auto first = static_cast<unsigned char>(bytes[0]);
        const auto second = static_cast<unsigned char>(bytes[1]);
        if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
            return FirstFieldOfUtf16(bytes.substr(2), first == 0xFE, cutAtEnd);
        }
    }
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        return FirstFieldOfBytes(bytes.substr(kUtf8Bom.size()), true, cutAtEnd);
    }
    return FirstFieldOfBytes(bytes, false, cutAtEnd);
}

std::string CleanDescription(std::string_view text) {
    std::u32string decoded;
    DecodeUtf8(text, true, false, decoded);
    for (char32_t& value : decoded) {
        if (value == '"') {
            value = '\'';
        }
    }
    return ToToolTipText(decoded, false);
}

std::string WithFirstField(std::string_view bytes, const std::string& field) {
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    std::string file = std::string(kUtf8Bom) + "\"" + field + "\"";
    if (bytes.empty()) {
        return file + "\r\n";
    }
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = bytes.size() >= 2 ? static_cast<unsigned char>(bytes[1]) : 0;
    std::u32string text;
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
        // A NUL character stops the decoding; what was read before it is kept.
        DecodeUtf16(bytes.substr(2), first == 0xFE, false, text);
    } else {
        if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            bytes.remove_prefix(kUtf8Bom.size());
            DecodeUtf8(bytes, true, false, text);
        } else if (!DecodeUtf8(bytes, false, false, text)) {
            text = DecodeAnsi(bytes);
        }
    }
    const FieldSpan span = LocateField(text);
    const std::size_t rest = std::min(text.size(), span.end + (span.quoted ? 1 : 0));
    for (std::size_t i = rest; i < text.size(); ++i) {
        AppendUtf8(text[i], file);
    }
    return file;
}

std::string ReadDescription(FileSystem& fs, const std::string& path) {
    std::string bytes;
    if (!fs.ReadPrefix(path, kDescriptionReadLimit, bytes).ok()) {
        return {};
    }
    return FirstField(bytes);
}

}  // namespace skyswap
