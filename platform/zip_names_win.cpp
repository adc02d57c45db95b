#include "zip_names_win.h"

#include <windows.h>

#include "text_win.h"

namespace skyswap {

ZipNameDecoder CodePageZipNameDecoder(unsigned int codePage) {
    return [codePage](const std::string& raw) {
        const int size = static_cast<int>(raw.size());
        const int length =
            MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, raw.data(), size, nullptr, 0);
        if (length <= 0) {
            return Cp437ToUtf8(raw);
        }
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, raw.data(), size, wide.data(), length);
        return WideToUtf8(wide);
    };
}

ZipNameDecoder SystemZipNameDecoder() {
    return CodePageZipNameDecoder(GetOEMCP());
}

}  // namespace skyswap
