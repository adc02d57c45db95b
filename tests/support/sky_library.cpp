#include "sky_library.h"

#include "discovery.h"
#include "transfers.h"

namespace skyswap::test {

std::vector<std::string> SkyFileNames() {
    std::vector<std::string> names;
    for (const char* name : skyswap::SkyFileNames) {
        names.emplace_back(name);
    }
    return names;
}

std::string SkyFileBytes(const std::string& tag, const std::string& name) {
    // Some bytes that a text-mode copy would mangle, so a faulty copy shows.
    return "sky " + tag + " " + name + std::string("\r\n\0\x1a\xff", 5) + tag;
}

void WriteSkyFiles(const TempFolder& temp, const std::string& folder, const std::string& tag,
                   const std::vector<std::string>& names) {
    temp.MakeFolder(folder);
    for (const std::string& name : names.empty() ? SkyFileNames() : names) {
        temp.WriteFile(folder + "\\" + name, SkyFileBytes(tag, name));
    }
}

void MakeLibrary(const TempFolder& temp, int count) {
    temp.MakeFolder(kLibrary);
    temp.WriteFile(std::string(kGame) + "\\eaw.ini", "[EAW]\r\n");
    for (int n = 0; n < count; ++n) {
        const std::string tag = "ZT" + std::to_string(n);
        WriteSkyFiles(temp, std::string(kLibrary) + "\\" + tag, tag);
    }
}

AppState StateFor(const TempFolder& temp) {
    AppState state;
    auto fs = MakePlatformFileSystem();
    CurrentFolderScope scope(temp.Join(kLibrary));
    DiscoverLibrary(state, *fs);
    return state;
}

std::vector<std::string> TagsIn(const TempFolder& temp, const std::string& folder,
                                const std::vector<std::string>& tags) {
    std::vector<std::string> found;
    for (const std::string& name : SkyFileNames()) {
        const auto bytes = temp.ReadFile(folder + "\\" + name);
        std::string tag = bytes ? "?" : "";
        for (const std::string& candidate : tags) {
            if (bytes && *bytes == SkyFileBytes(candidate, name)) {
                tag = candidate;
            }
        }
        found.push_back(tag);
    }
    return found;
}

}  // namespace skyswap::test
