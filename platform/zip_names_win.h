// The names of ZIP entries without the UTF-8 flag, read in a Windows code page.
#pragma once

#include "zip_archive.h"

namespace skyswap {

// Decodes with MultiByteToWideChar in `codePage`; bytes that are no text there (a broken
// double-byte sequence) fall back to code page 437, where every byte is a character.
ZipNameDecoder CodePageZipNameDecoder(unsigned int codePage);

}  // namespace skyswap
