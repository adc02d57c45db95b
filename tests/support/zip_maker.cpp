#include "zip_maker.h"

#include <minizip/zip.h>

#include "zip_memory_file.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace skyswap::test {

namespace {

std::uint32_t Little(const std::string& bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

// Writes `size` at `sizeOffset` in every header with `signature` whose name (its length at
// `nameLengthOffset`, the name at `nameOffset`) is `name`; how many there were.
int PatchHeaders(std::string& zip, const char* signature, std::size_t sizeOffset,
                 std::size_t nameLengthOffset, std::size_t nameOffset, const std::string& name,
                 std::uint32_t size) {
    int patched = 0;
    for (std::size_t at = zip.find(signature, 0, 4); at != std::string::npos;
         at = zip.find(signature, at + 4, 4)) {
        if (at + nameOffset + name.size() > zip.size() ||
            Little(zip, at + nameLengthOffset, 2) != name.size() ||
            zip.compare(at + nameOffset, name.size(), name) != 0) {
            continue;
        }
        for (std::size_t i = 0; i < 4; ++i) {
            zip[at + sizeOffset + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
        }
        ++patched;
    }
    return patched;
}

void SetFlagBit(std::string& zip, const char* signature, std::size_t flagOffset) {
    for (std::size_t at = zip.find(signature, 0, 4); at != std::string::npos;
         at = zip.find(signature, at + 4, 4)) {
        zip[at + flagOffset] = static_cast<char>(zip[at + flagOffset] | 1);
    }
}

}  // namespace

std::string MakeZip(const std::vector<ZipItem>& items, const std::string& comment) {
    if (comment.size() > 0xFFFF || comment.find('\0') != std::string::npos) {
        throw std::runtime_error("a ZIP comment holds up to 65,535 bytes and no NUL");
    }
    ZipMemoryFile file;
    zlib_filefunc64_def functions = file.Functions();
    zipFile zip = zipOpen2_64("memory", APPEND_STATUS_CREATE, nullptr, &functions);
    if (zip == nullptr) {
        throw std::runtime_error("zipOpen2_64 failed");
    }
    for (const ZipItem& item : items) {
        zip_fileinfo info{};
        // Bit 11: the name is UTF-8.
        if (zipOpenNewFileInZip4_64(zip, item.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    item.deflate ? Z_DEFLATED : 0, Z_DEFAULT_COMPRESSION, 0,
                                    -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                    item.utf8Name ? 1U << 11 : 0U, 0) != ZIP_OK ||
            zipWriteInFileInZip(zip, item.bytes.data(), static_cast<unsigned>(item.bytes.size())) !=
                ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            throw std::runtime_error("minizip could not write " + item.name);
        }
    }
    zipClose(zip, comment.c_str());
    return file.bytes;
}

void MarkEncrypted(std::string& zip) {
    SetFlagBit(zip, "PK\x03\x04", 6);
    SetFlagBit(zip, "PK\x01\x02", 8);
}

void Corrupt(std::string& zip, const std::string& stored) {
    const std::size_t at = zip.find(stored);
    if (at == std::string::npos) {
        throw std::runtime_error("no such stored data");
    }
    zip[at] = static_cast<char>(zip[at] ^ 0x55);
}

void PatchDeclaredSize(std::string& zip, const std::string& name, std::uint32_t size) {
    if (PatchHeaders(zip, "PK\x03\x04", 22, 26, 30, name, size) != 1 ||
        PatchHeaders(zip, "PK\x01\x02", 24, 28, 46, name, size) != 1) {
        throw std::runtime_error("no single entry named " + name);
    }
}

void RenameEntries(std::string& zip, const std::string& stored, const std::string& raw) {
    if (stored.size() != raw.size() || zip.find(stored) == std::string::npos) {
        throw std::runtime_error("no entry stored as " + stored + " to rename");
    }
    for (std::size_t at = zip.find(stored); at != std::string::npos;
         at = zip.find(stored, at + raw.size())) {
        zip.replace(at, raw.size(), raw);
    }
}

}  // namespace skyswap::test
