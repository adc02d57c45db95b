// What a player can ask of the library. The window's buttons, the command line's switches and
// the "/resume" words of a restart as administrator all name one of these actions:
//   InstallSet       LOAD TO EAW of a chosen set     /install N       /resume install N
//   InstallRandom    LOAD TO EAW of the random image /random          /resume random
//   LoadMyDefault    LOAD MY DEFAULT                 /mydefault       /resume mydefault
//   LoadGameDefault  LOAD EAW DEFAULT                /gamedefault     /resume gamedefault
//   SaveMyDefault    SAVE AS MY DEFAULT              /savedefault N   /resume savedefault N
//   AddDownloads     a drop on the window or icon    /add PATH...     /resume add "<path>"
//   Status           the window's title              /status
//   DescribeSet      (the set's menu, later)         /describe N "text"
//   ExportSet        (the set's menu, later)         /export N "file.zip"
//   RemoveSet        (the set's menu, later)         /remove N
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skyswap {

enum class LibraryAction {
    None,  // nothing asked: the plain window
    InstallSet,
    InstallRandom,
    LoadMyDefault,
    LoadGameDefault,
    SaveMyDefault,
    AddDownloads,
    Status,
    DescribeSet,
    ExportSet,
    RemoveSet,
};

// The actions that replace or remove the sky files in the game folder.
constexpr bool ChangesTheGame(LibraryAction action) {
    return action == LibraryAction::InstallSet || action == LibraryAction::InstallRandom ||
           action == LibraryAction::LoadMyDefault || action == LibraryAction::LoadGameDefault;
}

// The actions that look after one set of the library.
constexpr bool CaresForSet(LibraryAction action) {
    return action == LibraryAction::DescribeSet || action == LibraryAction::ExportSet ||
           action == LibraryAction::RemoveSet;
}

// The actions that name a set.
constexpr bool TakesSet(LibraryAction action) {
    return action == LibraryAction::InstallSet || action == LibraryAction::SaveMyDefault;
}

constexpr int32_t kNothingChosen = -1;

struct LibraryRequest {
    LibraryAction action = LibraryAction::None;
    // InstallSet and SaveMyDefault: the set, or kNothingChosen for a button pressed before any
    // set was chosen.
    int32_t set = 0;
    std::vector<std::string> paths;  // AddDownloads: the downloads, in the order given;
                                     // ExportSet: the ZIP file

    bool empty() const { return action == LibraryAction::None; }
    bool operator==(const LibraryRequest& other) const {
        return action == other.action && set == other.set && paths == other.paths;
    }
};

}  // namespace skyswap
