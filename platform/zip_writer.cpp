#include "zip_writer.h"

#include "zip_memory_file.h"

#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>

namespace skyswap {

namespace {

voidpf ZCALLBACK OpenStream(voidpf opaque, const void*, int) {
    return opaque;
}

uLong ZCALLBACK ReadStream(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* memory = static_cast<ZipMemoryFile*>(stream);
    if (memory->position >= memory->bytes.size()) {
        return 0;
    }
    const std::size_t count = std::min<std::size_t>(
        size, memory->bytes.size() - static_cast<std::size_t>(memory->position));
    std::memcpy(buffer, memory->bytes.data() + memory->position, count);
    memory->position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK WriteStream(voidpf, voidpf stream, const void* buffer, uLong size) {
    auto* memory = static_cast<ZipMemoryFile*>(stream);
    const auto at = static_cast<std::size_t>(memory->position);
    if (memory->bytes.size() < at + size) {
        memory->bytes.resize(at + size);
    }
    std::memcpy(&memory->bytes[at], buffer, size);
    memory->position += size;
    return size;
}

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf stream) {
    return static_cast<ZipMemoryFile*>(stream)->position;
}

long ZCALLBACK SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* memory = static_cast<ZipMemoryFile*>(stream);
    std::uint64_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = memory->position;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = memory->bytes.size();
            break;
        default:
            return -1;
    }
    memory->position = base + offset;
    return 0;
}

int ZCALLBACK CloseStream(voidpf, voidpf) {
    return 0;
}
int ZCALLBACK StreamError(voidpf, voidpf) {
    return 0;
}

voidpf ZCALLBACK OpenStream64(voidpf opaque, const void* name, int mode) {
    return OpenStream(opaque, name, mode);
}

}  // namespace

zlib_filefunc64_def ZipMemoryFile::Functions() {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenStream64;
    functions.zread_file = ReadStream;
    functions.zwrite_file = WriteStream;
    functions.ztell64_file = TellStream;
    functions.zseek64_file = SeekStream;
    functions.zclose_file = CloseStream;
    functions.zerror_file = StreamError;
    functions.opaque = this;
    return functions;
}

namespace {

constexpr unsigned long kUtf8NameFlag = 1U << 11;
// "Made by" MS-DOS, version 2.0: what readers expect of an archive without Unix permissions.
constexpr unsigned long kMadeBy = 20;

// The time stamp each entry carries: now, in local time as ZIP's DOS fields hold it.
zip_fileinfo EntryInfo() {
    zip_fileinfo info{};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
    info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    return info;
}

class ZipArchiveWriter final : public ArchiveWriter {
  public:
    bool Write(const std::vector<ArchiveFile>& files, std::string& archive,
               std::string& error) override {
        ZipMemoryFile memory;
        zlib_filefunc64_def functions = memory.Functions();
        zipFile zip = zipOpen2_64("memory", APPEND_STATUS_CREATE, nullptr, &functions);
        if (zip == nullptr) {
            error = "the ZIP archive could not be started";
            return false;
        }
        const zip_fileinfo info = EntryInfo();
        for (const ArchiveFile& file : files) {
            if (file.bytes.size() > std::numeric_limits<unsigned>::max()) {
                error = file.name + " is too large for the ZIP writer";
                zipClose(zip, nullptr);
                return false;
            }
            if (zipOpenNewFileInZip4_64(zip, file.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                        nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                        DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, kMadeBy,
                                        kUtf8NameFlag, 0) != ZIP_OK ||
                zipWriteInFileInZip(zip, file.bytes.data(),
                                    static_cast<unsigned>(file.bytes.size())) != ZIP_OK ||
                zipCloseFileInZip(zip) != ZIP_OK) {
                error = file.name + " could not be compressed into the ZIP archive";
                zipClose(zip, nullptr);
                return false;
            }
        }
        if (zipClose(zip, nullptr) != ZIP_OK) {
            error = "the ZIP archive could not be finished";
            return false;
        }
        archive = std::move(memory.bytes);
        return true;
    }
};

}  // namespace

std::unique_ptr<ArchiveWriter> MakeZipArchiveWriter() {
    return std::make_unique<ZipArchiveWriter>();
}

}  // namespace skyswap
