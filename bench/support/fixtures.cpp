#include "fixtures.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "paths.h"
#include "platform.h"
#include "transfers.h"

namespace skyswap::bench {
namespace {

bool TakeValue(const char* argument, const char* flag, std::string& value) {
    const std::size_t length = std::strlen(flag);
    if (std::strncmp(argument, flag, length) != 0 || argument[length] != '=') {
        return false;
    }
    value = argument + length + 1;
    return true;
}

void Require(bool done, const std::string& what) {
    if (!done) {
        throw std::runtime_error("cannot make " + what);
    }
}

}  // namespace

BenchOptions ParseBenchOptions(int& argc, char** argv) {
    BenchOptions options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (std::strcmp(argv[i], "--smoke") == 0) {
            options.smoke = true;
        } else if (TakeValue(argv[i], "--library", value)) {
            options.library = value;
        } else if (TakeValue(argv[i], "--sets", value)) {
            options.sets = std::max(1, std::atoi(value.c_str()));
        } else if (TakeValue(argv[i], "--make-library", value)) {
            options.makeLibraryIn = value;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return options;
}

std::string PseudoRandomBytes(std::size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull ^ seed;
    for (std::size_t i = 0; i < size; i += 8) {
        // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        std::memcpy(&bytes[i], &z, std::min<std::size_t>(8, size - i));
    }
    return bytes;
}

TransferFixture::TransferFixture(std::size_t fileSize) {
    temp_.MakeFolder(kLibraryFolder);
    temp_.WriteFile(std::string(kGameFolder) + "\\eaw.ini", "[EAW]\r\n");
    game_ = temp_.Join(kGameFolder);
    uint32_t seed = 1;
    for (const char* name : SkyFileNames) {
        temp_.WriteFile(JoinPath(kGameFolder, name), PseudoRandomBytes(fileSize, seed++));
    }
    for (int n = 0; n < 2; ++n) {
        const std::string folder = std::string(kLibraryFolder) + "\\ZT" + std::to_string(n);
        temp_.MakeFolder(folder);
        for (const char* name : SkyFileNames) {
            temp_.WriteFile(JoinPath(folder, name), PseudoRandomBytes(fileSize, seed++));
        }
        sets_[n] = temp_.Join(folder);
    }
}

std::string DescriptionText(int set) {
    static const char* const kPhrases[] = {
        "Clear summer sky over the Channel, by a squadron veteran",
        "\"Overcast, light rain\", for the long patrols",
        "Evening glow over the Kentish coast",
        "Towering cumulus before a storm, painted from 1943 photographs",
        "Starlight and a quarter moon",
    };
    return std::string(kPhrases[set % 5]) + " (set " + std::to_string(set) + ")\r\n" +
           "Second line: installation notes that nobody reads, 1024 x 768 textures\r\n";
}

std::string MakeSetLibrary(const std::string& folder, int sets) {
    const std::string game = folder + "\\" + kGameFolder;
    const std::string library = folder + "\\" + kLibraryFolder;
    Require(MakeFolder(folder) && MakeFolder(game) && MakeFolder(library), library);
    Require(WriteWholeFile(game + "\\eaw.ini", "[EAW]\r\n"), "eaw.ini");
    Require(WriteWholeFile(library + "\\nosky.jpg", std::string()), "nosky.jpg");
    Require(MakeFolder(library + "\\ZTDef"), "ZTDef");
    for (int n = 0; n < sets; ++n) {
        const std::string name = "ZT" + std::to_string(n);
        const std::string set = library + "\\" + name;
        Require(MakeFolder(set) && WriteWholeFile(set + "\\" + name + ".txt", DescriptionText(n)),
                set);
    }
    return library;
}

}  // namespace skyswap::bench
