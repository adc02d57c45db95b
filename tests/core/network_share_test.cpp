// Folders on a network share, where administrator rights cannot help, with Windows' answer for a
// drive given by the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messages.h"
#include "network_share.h"

namespace skyswap {
namespace {

TEST(NetworkShare, UncPathsAndRemoteDrivesAreShares) {
    struct Case {
        const char* folder;
        DriveKind drive;        // what Windows says of the drive asked about
        const char* rootAsked;  // the root it is asked about; "" when it is not asked
        bool share;
    };
    const Case cases[] = {
        {"\\\\server\\games\\EAW", DriveKind::Local, "", true},
        {"//server/games/EAW", DriveKind::Local, "", true},
        {"\\\\?\\UNC\\server\\games\\EAW", DriveKind::Local, "", true},
        {"\\\\?\\unc\\server\\games\\EAW", DriveKind::Local, "", true},
        {"\\\\.\\UNC\\server\\games\\EAW", DriveKind::Local, "", true},
        // A mapped drive: the elevated session may not even have it.
        {"Z:\\Games\\EAW", DriveKind::Remote, "Z:\\", true},
        {"\\\\?\\Z:\\Games\\EAW", DriveKind::Remote, "Z:\\", true},
        {"z:", DriveKind::Remote, "z:\\", true},
        {"C:\\Program Files (x86)\\EAW", DriveKind::Local, "C:\\", false},
        {"\\\\?\\C:\\Program Files (x86)\\EAW", DriveKind::Local, "C:\\", false},
        {"\\\\.\\C:\\Games\\EAW\\Skies", DriveKind::Local, "C:\\", false},
        {"D:\\EAW", DriveKind::Unknown, "D:\\", false},
        // Nothing Windows could be asked about.
        {"\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\EAW", DriveKind::Remote, "", false},
        {"EAW\\Skies", DriveKind::Remote, "", false},
        {"C:EAW", DriveKind::Remote, "", false},
        {"1:\\EAW", DriveKind::Remote, "", false},
        {"\\EAW", DriveKind::Remote, "", false},
        {"\\\\", DriveKind::Remote, "", false},
        {"", DriveKind::Remote, "", false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> asked;
        const bool share = IsOnNetworkShare(c.folder, [&](const std::string& root) {
            asked.push_back(root);
            return c.drive;
        });
        EXPECT_EQ(share, c.share) << c.folder;
        const std::vector<std::string> expected = std::string(c.rootAsked).empty()
                                                      ? std::vector<std::string>{}
                                                      : std::vector<std::string>{c.rootAsked};
        EXPECT_EQ(asked, expected) << c.folder;
    }
    EXPECT_FALSE(IsOnNetworkShare("Z:\\EAW", {})) << "no way to ask: not taken for a share";
}

TEST(NetworkShare, TheMessageNamesTheFolderThatRefused) {
    TransferReport game;
    game.status = TransferStatus::StagingFailed;
    game.protectedFolder = "Z:\\Games\\EAW";
    EXPECT_EQ(NetworkShareRefusal(game),
              "Windows does not let SkySwap write to Z:\\Games\\EAW on the network share; ask "
              "the share's owner for write access or copy the game to this computer");

    TransferReport myDefault = game;  // SAVE AS MY DEFAULT: the library folder refused
    myDefault.protectedFolder = "\\\\server\\games\\EAW\\Skies\\ZTDef";
    EXPECT_EQ(NetworkShareRefusal(myDefault).find("write to \\\\server\\games\\EAW\\Skies on"),
              std::string("Windows does not let SkySwap ").size());

    TransferReport partly = game;  // some files went through before the others were refused
    partly.status = TransferStatus::SomeFilesFailed;
    partly.files = {{"bnhorizn.ter", FileOutcome::Replaced, FsStatus::Ok()},
                    {"cloud1.ter", FileOutcome::Failed, {FsError::AccessDenied, ""}}};
    const std::string message = NetworkShareRefusal(partly);
    EXPECT_EQ(message.rfind("These sky files could not be replaced or removed:\ncloud1.ter", 0), 0u)
        << message;
    EXPECT_NE(message.find("on the network share"), std::string::npos);
}

}  // namespace
}  // namespace skyswap
