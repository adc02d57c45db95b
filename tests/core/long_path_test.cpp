// Long paths: Wine opens a path past MAX_PATH without the "\\?\" form, Windows does not, so the
// form itself is checked here.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include "long_path_win.h"

namespace skyswap {
namespace {

TEST(LongPath, PastMaxPathTheLongFormIsUsed) {
    const std::string deep = "C:\\Games\\" + std::string(260, 'd') + "\\ZT0\\ZT0.bmp";
    EXPECT_EQ(WinPath(deep), L"\\\\?\\" + std::wstring(deep.begin(), deep.end()));
    const std::string share = "\\\\server\\games\\" + std::string(260, 'd') + "\\nosky.jpg";
    EXPECT_EQ(WinPath(share), L"\\\\?\\UNC\\" + std::wstring(share.begin() + 2, share.end()));
    // Short paths, and those already in the long form, stay as they are.
    EXPECT_EQ(WinPath("C:\\Games\\EAW\\Skies\\nosky.jpg"), L"C:\\Games\\EAW\\Skies\\nosky.jpg");
    const std::string prefixed = "\\\\?\\" + deep;
    EXPECT_EQ(WinPath(prefixed), std::wstring(prefixed.begin(), prefixed.end()));
    // A folder as long as a current folder may be (MAX_PATH - 2): its files need the long form.
    const std::string library = "C:\\" + std::string(MAX_PATH - 6, 'l');
    EXPECT_EQ(WinPath(library + "\\nosky.jpg").rfind(L"\\\\?\\", 0), 0u);
}

}  // namespace
}  // namespace skyswap
#endif
