// ZIP archives for the tests, made in memory with minizip's writer, and the faults a download
// may carry planted into their bytes.
#pragma once

#include <string>
#include <vector>

namespace skyswap::test {

struct ZipItem {
    std::string name;  // as stored: "Pack/Sky/bnhorizn.ter", "Pack/" for a folder
    std::string bytes;
    bool deflate = true;   // else stored
    bool utf8Name = true;  // else the name is in code page 437, as older ZIP tools write it
};

// The bytes of a ZIP archive holding `items` in their order.
std::string MakeZip(const std::vector<ZipItem>& items);

// Marks every entry as encrypted (bit 0 of the flags of its local and central headers).
void MarkEncrypted(std::string& zip);
// Changes one byte of the first occurrence of `stored` (the data of a stored entry), so that
// entry fails its CRC check.
void Corrupt(std::string& zip, const std::string& stored);
// Gives the entries stored as `stored` the raw name `raw` of the same length in both their
// headers: names minizip's writer cannot take, such as one with a NUL inside.
void RenameEntries(std::string& zip, const std::string& stored, const std::string& raw);

}  // namespace skyswap::test
