// A game file that another program holds open without sharing, on the real Windows file system:
// the set the game holds is still recognised, the nine other files are installed and the held
// one is named.
#include <windows.h>

#include <gtest/gtest.h>

#include "game_transfers.h"
#include "long_path_win.h"
#include "messages.h"
#include "selection.h"
#include "support/sky_library.h"
#include "support/test_support.h"

namespace skyswap {
namespace {

using Tags = std::vector<std::string>;

TEST(HeldGameFile, TheOtherNineAreInstalledAndTheHeldOneIsNamed) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 8);
    test::WriteSkyFiles(temp, test::kGame, "ZT6");
    AppState state = test::StateFor(temp);
    auto fs = test::MakePlatformFileSystem();
    const Tags tags = {"ZT4", "ZT6"};

    // The game itself has cloud2.ter open, and shares it with nobody.
    const HANDLE held =
        CreateFileW(WinPath(temp.Join(std::string(test::kGame) + "\\cloud2.ter")).c_str(),
                    GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    for (int press = 0; press < 2; ++press) {
        SkyKnowledge knowledge;
        knowledge.installed = InstalledSky::OfSet(6);  // as after SkySwap installed it
        ChooseSet(state, 4);
        const GameTransferOutcome outcome =
            KeepAndTransferIntoGame(LibraryAction::InstallSet, state, *fs, knowledge, "Kept");
        EXPECT_EQ(outcome.keep.status, KeepStatus::NothingToKeep)
            << KeepFailedMessage(outcome.keep);
        EXPECT_EQ(outcome.transfer.status, TransferStatus::SomeFilesFailed);
        Tags expected(10, "ZT4");
        expected.back() = "";  // cannot be read while it is held
        EXPECT_EQ(test::TagsIn(temp, test::kGame, tags), expected) << "press " << press;
        const std::string message = TransferMessage(outcome.transfer);
        EXPECT_NE(message.find("cloud2.ter is in use by another program"), std::string::npos)
            << message;
        EXPECT_EQ(message.find("in no set"), std::string::npos) << message;
    }
    EXPECT_EQ(state.setCount, 8) << "nothing was kept";
    CloseHandle(held);
    EXPECT_EQ(test::TagsIn(temp, test::kGame, tags).back(), "ZT6") << "the held file is intact";
}

}  // namespace
}  // namespace skyswap
