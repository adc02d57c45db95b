#include "zip_maker.h"

#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace skyswap::test {

namespace {

// minizip's writer aimed at a string.
struct MemoryFile {
    std::string bytes;
    std::size_t position = 0;
};

MemoryFile& FileOf(voidpf stream) {
    return *static_cast<MemoryFile*>(stream);
}

extern "C" {
voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int) {
    return opaque;
}
uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buffer, uLong size) {
    MemoryFile& file = FileOf(stream);
    const std::size_t count =
        std::min<std::size_t>(size, file.bytes.size() - std::min(file.position, file.bytes.size()));
    std::memcpy(buffer, file.bytes.data() + file.position, count);
    file.position += count;
    return static_cast<uLong>(count);
}
uLong ZCALLBACK WriteMemory(voidpf, voidpf stream, const void* buffer, uLong size) {
    MemoryFile& file = FileOf(stream);
    if (file.bytes.size() < file.position + size) {
        file.bytes.resize(file.position + size);
    }
    std::memcpy(file.bytes.data() + file.position, buffer, size);
    file.position += size;
    return size;
}
ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream) {
    return FileOf(stream).position;
}
long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    MemoryFile& file = FileOf(stream);
    const std::size_t base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? file.position
                             : origin == ZLIB_FILEFUNC_SEEK_END ? file.bytes.size()
                                                                : 0;
    file.position = base + static_cast<std::size_t>(offset);
    return 0;
}
int ZCALLBACK CloseMemory(voidpf, voidpf) {
    return 0;
}
int ZCALLBACK MemoryError(voidpf, voidpf) {
    return 0;
}
}

void SetFlagBit(std::string& zip, const char* signature, std::size_t flagOffset) {
    for (std::size_t at = zip.find(signature, 0, 4); at != std::string::npos;
         at = zip.find(signature, at + 4, 4)) {
        zip[at + flagOffset] = static_cast<char>(zip[at + flagOffset] | 1);
    }
}

}  // namespace

std::string MakeZip(const std::vector<ZipItem>& items) {
    MemoryFile file;
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenMemory;
    functions.zread_file = ReadMemory;
    functions.zwrite_file = WriteMemory;
    functions.ztell64_file = TellMemory;
    functions.zseek64_file = SeekMemory;
    functions.zclose_file = CloseMemory;
    functions.zerror_file = MemoryError;
    functions.opaque = &file;
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
    zipClose(zip, nullptr);
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
