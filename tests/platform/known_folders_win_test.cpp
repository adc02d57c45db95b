// The known folders that decide the VirtualStore mirror, as this system gives them: a game folder
// where Windows virtualises an old program's writes has its shadow copies in this user's local
// application data, and one elsewhere has none.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "known_folders_win.h"
#include "text_win.h"

namespace skyswap {
namespace {

std::string Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? WideToUtf8(value) : std::string();
}

// Windows names folders without regard to letter case.
bool SamePath(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(Utf8ToWide(a).c_str(), -1, Utf8ToWide(b).c_str(), -1, TRUE) ==
           CSTR_EQUAL;
}

TEST(KnownFoldersWin, ProtectedGameFoldersAreMirroredInTheUsersLocalAppData) {
    const KnownFolders known = ThisUsersKnownFolders();
    const std::string localAppData = Environment(L"LOCALAPPDATA");
    const std::string programData = Environment(L"ALLUSERSPROFILE");
    const std::string programFiles = Environment(L"ProgramFiles");
    const std::string programFilesX86 = Environment(L"ProgramFiles(x86)");
    const std::string windows = Environment(L"SystemRoot");
    ASSERT_FALSE(localAppData.empty()) << "%LOCALAPPDATA% is not set";
    ASSERT_FALSE(programData.empty()) << "%ALLUSERSPROFILE% is not set";
    ASSERT_FALSE(programFiles.empty()) << "%ProgramFiles% is not set";
    ASSERT_FALSE(windows.empty()) << "%SystemRoot% is not set";
    EXPECT_TRUE(SamePath(known.localAppData, localAppData))
        << known.localAppData << " against " << localAppData;
    EXPECT_TRUE(SamePath(known.programData, programData))
        << known.programData << " against " << programData;

    struct Case {
        std::string gameFolder;
        const char* mirrorInLocalAppData;  // nullptr: Windows keeps no shadow copies of it
    };
    const Case cases[] = {
        {programData + "\\Microprose\\EAW", "\\VirtualStore\\ProgramData\\Microprose\\EAW"},
        {programFiles + "\\Microprose\\EAW", "\\VirtualStore\\Program Files\\Microprose\\EAW"},
        {programFilesX86 + "\\EAW", "\\VirtualStore\\Program Files (x86)\\EAW"},
        {windows + "\\Games\\EAW", "\\VirtualStore\\Windows\\Games\\EAW"},
        {localAppData + "\\EAW", nullptr},
        {"D:\\Games\\EAW", nullptr},
    };
    for (const Case& game : cases) {
        if (game.gameFolder.rfind("\\", 0) == 0) {
            continue;  // a 32-bit Windows has no Program Files (x86)
        }
        const std::optional<std::string> mirror = VirtualStoreMirror(game.gameFolder, known);
        if (game.mirrorInLocalAppData == nullptr) {
            EXPECT_EQ(mirror, std::nullopt) << game.gameFolder;
            continue;
        }
        ASSERT_TRUE(mirror.has_value()) << game.gameFolder << " has no mirror";
        EXPECT_TRUE(SamePath(*mirror, localAppData + game.mirrorInLocalAppData))
            << game.gameFolder << " mirrored to " << *mirror;
    }
}

}  // namespace
}  // namespace skyswap
