// Deleting a shadow copy in the VirtualStore on the real disk: through a handle, and never
// through a junction or symbolic link.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "text_win.h"
#include "windows_file_system.h"

namespace skyswap {
namespace {

TEST(ShadowRemovalWin, AShadowCopyReachedStraightIsDeletedReadOnlyOrNot) {
    test::TempFolder temp;
    temp.MakeFolder("Store\\Program Files\\EAW");
    temp.WriteFile("Store\\Program Files\\EAW\\cloud1.ter", "shadow");
    temp.WriteFile("Store\\Program Files\\EAW\\cloud2.ter", "shadow");
    temp.SetReadOnly("Store\\Program Files\\EAW\\cloud2.ter", true);
    temp.WriteFile("Store\\Program Files\\EAW\\eaw.ini", "[shadow]");
    const std::string root = temp.Join("Store");
    const std::string mirror = root + "\\Program Files\\EAW";

    EXPECT_TRUE(RemoveShadowCopyWithoutLinks(root, mirror + "\\cloud1.ter").ok());
    const FsStatus readOnly = RemoveShadowCopyWithoutLinks(root, mirror + "\\cloud2.ter");
    EXPECT_TRUE(readOnly.ok()) << readOnly.message;
    EXPECT_EQ(temp.List("Store\\Program Files\\EAW"), std::vector<std::string>{"eaw.ini"});
    EXPECT_EQ(RemoveShadowCopyWithoutLinks(root, mirror + "\\cloud1.ter").error, FsError::NotFound);
    EXPECT_EQ(RemoveShadowCopyWithoutLinks(temp.Join("Gone"), mirror + "\\eaw.ini").error,
              FsError::NotFound)
        << "no VirtualStore folder";
    EXPECT_TRUE(temp.Exists("Store\\Program Files\\EAW\\eaw.ini"));
}

TEST(ShadowRemovalWin, AShadowCopyBehindASymbolicLinkStays) {
    test::TempFolder temp;
    temp.MakeFolder("Elsewhere");
    temp.WriteFile("Elsewhere\\cloud1.ter", "not a shadow copy");
    temp.MakeFolder("Store\\Program Files");
    const std::string root = temp.Join("Store");
    // The user makes "EAW" in their VirtualStore lead to another folder.
    if (!CreateSymbolicLinkW(
            Utf8ToWide(root + "\\Program Files\\EAW").c_str(),
            Utf8ToWide(temp.Join("Elsewhere")).c_str(),
            SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        GTEST_SKIP() << "this system makes no symbolic link here (error " << GetLastError()
                     << "); the decision is tested with Windows' answers given";
    }
    const std::string throughLink = root + "\\Program Files\\EAW\\cloud1.ter";
    if (GetFileAttributesW(Utf8ToWide(throughLink).c_str()) == INVALID_FILE_ATTRIBUTES) {
        RemoveDirectoryW(Utf8ToWide(root + "\\Program Files\\EAW").c_str());
        GTEST_SKIP() << "the symbolic link leads nowhere here (Wine makes it but does not follow "
                        "it); the decision is tested with Windows' answers given";
    }
    const FsStatus status = RemoveShadowCopyWithoutLinks(root, throughLink);
    EXPECT_EQ(status.error, FsError::Other) << status.message;
    EXPECT_NE(status.message.find("junction or symbolic link"), std::string::npos)
        << status.message;
    EXPECT_EQ(temp.ReadFile("Elsewhere\\cloud1.ter"), std::string("not a shadow copy"));
    RemoveDirectoryW(Utf8ToWide(root + "\\Program Files\\EAW").c_str());
}

}  // namespace
}  // namespace skyswap
