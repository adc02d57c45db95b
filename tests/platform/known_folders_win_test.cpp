// The known folders that decide the VirtualStore mirror, as this system gives them.
#include <windows.h>

#include <gtest/gtest.h>

#include "known_folders_win.h"
#include "text_win.h"

namespace skyswap {
namespace {

std::string Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? WideToUtf8(value) : std::string();
}

TEST(KnownFoldersWin, ProgramDataIsVirtualisedAsProgramFilesIs) {
    const KnownFolders known = ThisUsersKnownFolders();
    const std::string programData = Environment(L"ALLUSERSPROFILE");
    ASSERT_FALSE(programData.empty()) << "%ALLUSERSPROFILE% is not set";
    EXPECT_EQ(CompareStringOrdinal(Utf8ToWide(known.programData).c_str(), -1,
                                   Utf8ToWide(programData).c_str(), -1, TRUE),
              CSTR_EQUAL)
        << known.programData << " against " << programData;
    ASSERT_FALSE(known.localAppData.empty());
    EXPECT_EQ(VirtualStoreMirror(programData + "\\Microprose\\EAW", known),
              VirtualStoreFolder(known) + programData.substr(2) + "\\Microprose\\EAW");
    EXPECT_NE(VirtualStoreMirror(known.programFiles + "\\EAW", known), std::nullopt);
}

}  // namespace
}  // namespace skyswap
