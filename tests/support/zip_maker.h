// ZIP archives for the tests, made in memory with minizip's writer, and the faults a download
// may carry planted into their bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skyswap::test {

struct ZipItem {
    std::string name;  // as stored: "Pack/Sky/bnhorizn.ter", "Pack/" for a folder
    std::string bytes;
    bool deflate = true;   // else stored
    bool utf8Name = true;  // else the name's bytes are stored without the UTF-8 flag, in
                           // whatever code page they are, as Windows' own ZIP folders write
};

// The bytes of a ZIP archive holding `items` in their order, ending in `comment` (up to 65,535
// bytes, no NUL).
std::string MakeZip(const std::vector<ZipItem>& items, const std::string& comment = "");

// Marks every entry as encrypted (bit 0 of the flags of its local and central headers).
void MarkEncrypted(std::string& zip);
// Changes one byte of the first occurrence of `stored` (the data of a stored entry), so that
// entry fails its CRC check.
void Corrupt(std::string& zip, const std::string& stored);
// Makes the entry named `name` declare `size` uncompressed bytes, in its local and its central
// header alike, so that only unpacking it shows the lie.
void PatchDeclaredSize(std::string& zip, const std::string& name, std::uint32_t size);
// Gives the entries stored as `stored` the raw name `raw` of the same length in both their
// headers: names minizip's writer cannot take, such as one with a NUL inside.
void RenameEntries(std::string& zip, const std::string& stored, const std::string& raw);

}  // namespace skyswap::test
