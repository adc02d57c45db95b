// What the window says and does around keeping a sky as a new set: a new folder that a scanner
// holds, a personal default in no set saved over, and the left-overs of a keeping cut short.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/faulty_file_system.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

void PressButton(MainWindow& form, const wchar_t* name) {
    SendMessageW(form.Control(name), BM_CLICK, 0, 0);
}

struct KeepingWindow {
    KeepingWindow() {
        MakePictureLibrary(temp, 3);
        WriteSkyFiles(temp, kGame, "FRIEND");  // in no set
        MainWindow::Hooks hooks;
        hooks.fileSystem = &fs;
        hooks.isElevated = [] { return false; };
        hooks.knownFolders = [] { return KnownFolders{}; };
        hooks.restart = [this](const RestartRequest&) {
            ++restarts;
            return static_cast<unsigned long>(ERROR_CANCELLED);
        };
        form = std::make_unique<StartedForm>(temp, kLibrary, hooks);
    }

    TempFolder temp;
    std::unique_ptr<FileSystem> real = MakePlatformFileSystem();
    FaultyFileSystem fs{*real};
    int restarts = 0;
    std::unique_ptr<StartedForm> form;
};

// "Access denied" on naming a folder SkySwap has just made is another program reading it, not
// Windows' protection: no restart as administrator is offered, and the message says what
// happened.
TEST(KeepingInWindow, ANewFolderHeldByAScannerIsNoReasonForAdministratorRights) {
    KeepingWindow window;
    StartedForm& form = *window.form;
    ASSERT_TRUE(form.started);
    window.fs.Fail(FsOperation::RenameFolder, "ZT3", FsError::AccessDenied);
    form.answer = IDYES;
    Click(form->ImageElement(1));
    PressButton(*form, L"LoadToGame");
    EXPECT_EQ(window.restarts, 0);
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text.rfind(L"Nothing was changed.", 0), 0u);
    EXPECT_NE(form.messages[0].text.find(L"could not be renamed to ZT3"), std::wstring::npos);
    EXPECT_EQ(GameTags(window.temp, 3, {"FRIEND"}), Repeated("FRIEND"));
}

TEST(KeepingInWindow, SavingOverADefaultInNoSetKeepsItAndSaysSo) {
    KeepingWindow window;
    StartedForm& form = *window.form;
    ASSERT_TRUE(form.started);
    WriteSkyFiles(window.temp, std::string(kLibrary) + "\\ZTDef", "MINE");
    Click(form->ImageElement(1));
    PressButton(*form, L"SaveMyDefault");
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text,
              L"Your default was in no set of your library; it is kept as set ZT3.");
    EXPECT_EQ(TagsIn(window.temp, std::string(kLibrary) + "\\ZT3", {"MINE"}), Repeated("MINE"));
    EXPECT_EQ(TagsIn(window.temp, std::string(kLibrary) + "\\ZTDef", {"ZT1"}), Repeated("ZT1"));
    EXPECT_EQ(form->State().setCount, 4);
}

TEST(KeepingInWindow, LeftOversOfKeepingGoAtStart) {
    TempFolder temp;
    MakePictureLibrary(temp, 2);
    WriteSkyFiles(temp, std::string(kLibrary) + "\\ZT2.skyswap-tmp", "HALF", {"cloud1.ter"});
    temp.MakeFolder(std::string(kLibrary) + "\\Notes.skyswap-tmp");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    EXPECT_FALSE(temp.Exists(std::string(kLibrary) + "\\ZT2.skyswap-tmp"));
    EXPECT_TRUE(temp.Exists(std::string(kLibrary) + "\\Notes.skyswap-tmp"));
}

}  // namespace
}  // namespace skyswap::test
