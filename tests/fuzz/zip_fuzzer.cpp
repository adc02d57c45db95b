// libFuzzer target for adding a ZIP: any bytes given as a downloaded ZIP go through the real
// reader, the entry-name check and the whole adding routine over a file system in memory. No
// crash, and nothing is written anywhere but a new set folder of the library (or its staging
// folder, which must be gone afterwards).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "add_sets.h"
#include "memory_file_system.h"
#include "zip_archive.h"

namespace {

constexpr const char* kLibrary = "C:\\Game\\Skies";
constexpr const char* kDownload = "C:\\Downloads\\sky.zip";

// Takes every picture, so the thumbnail's way is fuzzed too.
class AnyPicture final : public skyswap::PictureScaler {
  public:
    bool ScaleToCover(const std::string& picture, int width, int height,
                      std::string& pixels) override {
        pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3,
                      picture.empty() ? '\0' : picture[0]);
        return true;
    }
};

// "ZT" and a number, then nothing or one plain file name below it.
bool InsideANewSet(const std::string& path) {
    const std::string prefix = std::string(kLibrary) + "\\ZT";
    if (path.rfind(prefix, 0) != 0) {
        return false;
    }
    std::size_t at = prefix.size();
    const std::size_t digits = path.find_first_not_of("0123456789", at);
    if (digits == at) {
        return false;
    }
    std::string rest = digits == std::string::npos ? std::string() : path.substr(digits);
    const std::string staged = ".skyswap-tmp";
    if (rest.rfind(staged, 0) == 0) {
        rest.erase(0, staged.size());
    }
    if (rest.empty()) {
        return true;
    }
    const std::string name = rest.substr(1);
    return rest[0] == '\\' && !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    skyswap::test::MemoryFileSystem fs;
    for (const char* folder : {"C:", "C:\\Game", kLibrary, "C:\\Downloads"}) {
        fs.AddFolder(folder);
    }
    fs.files[kDownload] = std::string(reinterpret_cast<const char*>(data), size);

    const auto opener = skyswap::MakeZipArchiveOpener();
    skyswap::ArchiveStatus status;
    if (const auto archive = opener->Open(fs, kDownload, status)) {
        for (std::size_t i = 0; i < archive->Entries().size(); ++i) {
            skyswap::IsSafeEntryName(archive->Entries()[i].name);
            std::string bytes;
            archive->Read(i, 1024 * 1024, &bytes);
        }
    } else if (status.ok()) {
        std::abort();  // no archive must say why
    }

    AnyPicture pictures;
    skyswap::AppState state;
    state.libraryFolder = kLibrary;
    const skyswap::AddOutcome outcome =
        skyswap::AddDownloads(state, {fs, *opener, pictures}, {kDownload});

    for (const std::string& path : fs.written) {
        if (!InsideANewSet(path)) {
            std::abort();
        }
    }
    for (const std::string& folder : fs.folders) {
        if (folder.size() >= 12 && folder.compare(folder.size() - 12, 12, ".skyswap-tmp") == 0) {
            std::abort();  // a staging folder left behind
        }
    }
    if (outcome.added.empty() != (outcome.ExitCode() == 1) ||
        outcome.added.size() + outcome.refused.size() == 0) {
        std::abort();
    }
    for (const skyswap::AddedSet& set : outcome.added) {
        if (fs.folders.count(std::string(kLibrary) + "\\ZT" + std::to_string(set.set)) == 0) {
            std::abort();
        }
    }
    return 0;
}
