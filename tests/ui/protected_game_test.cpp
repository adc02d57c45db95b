// The window and a game folder that Windows protects: the offer to restart as administrator
// (through a hook that captures the restart instead of starting a process), the game's shadow
// copies in a VirtualStore whose known folders the test gives, and pictures on long paths.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "command_line.h"
#include "elevation_win.h"
#include "long_path_win.h"
#include "restart_arguments.h"
#include "support/protected_file_system.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

void PressButton(MainWindow& form, const wchar_t* name) {
    SendMessageW(form.Control(name), BM_CLICK, 0, 0);
}

// A window over a library whose game folder refuses every change for lack of rights.
struct ProtectedWindow {
    explicit ProtectedWindow(unsigned long restartResult = ERROR_SUCCESS, bool elevated = false,
                             bool networkShare = false, DriveMappingQuery driveMapping = {}) {
        MakePictureLibrary(temp, 3);
        WriteSkyFiles(temp, kGame, "ORIGINAL");
        // The game's sky is set 2 of the library, so nothing is kept before a transfer.
        WriteSkyFiles(temp, std::string(kLibrary) + "\\ZT2", "ORIGINAL");
        MainWindow::Hooks hooks;
        hooks.fileSystem = &fs;
        hooks.isElevated = [elevated] { return elevated; };
        hooks.onNetworkShare = [networkShare](const std::string&) { return networkShare; };
        hooks.knownFolders = [] { return KnownFolders{}; };
        hooks.driveMapping = std::move(driveMapping);
        hooks.restart = [this, restartResult](const RestartRequest& request) {
            restarts.push_back(request);
            return restartResult;
        };
        form = std::make_unique<StartedForm>(temp, kLibrary, hooks);
    }
    std::wstring Offer() const {
        return L"Windows protects the game folder " + Utf8ToWide(temp.Join(kGame)) +
               L". SkySwap needs administrator rights to change its sky files. Restart SkySwap "
               L"as administrator?";
    }

    TempFolder temp;
    std::unique_ptr<FileSystem> real = MakePlatformFileSystem();
    ProtectedFolderFileSystem fs{*real, temp.Join(kGame)};
    std::vector<RestartRequest> restarts;
    std::unique_ptr<StartedForm> form;
};

TEST(ProtectedGame, YesRestartsSkySwapAsAdministratorInTheLibraryAndEndsThisOne) {
    ProtectedWindow window;
    StartedForm& form = *window.form;
    ASSERT_TRUE(form.started);
    form.answer = IDYES;
    Click(form->ImageElement(1));
    PressButton(*form, L"LoadToGame");

    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text, window.Offer());
    EXPECT_EQ(form.messages[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(window.fs.pausedMs(), 0) << "no retry delay for a lack of rights";
    EXPECT_EQ(GameTags(window.temp, 3, {"ORIGINAL"}), Repeated("ORIGINAL")) << "nothing changed";
    EXPECT_EQ(window.temp.List(kGame).size(), 12u) << "no staged file left";

    ASSERT_EQ(window.restarts.size(), 1u);
    const RestartRequest& request = window.restarts[0];
    const std::wstring library = Utf8ToWide(window.temp.Join(kLibrary));
    EXPECT_EQ(request.verb, L"runas");
    EXPECT_EQ(request.file, ThisProgramPath());
    EXPECT_EQ(request.folder, library);
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW((L"skyswap.exe " + request.parameters).c_str(), &count);
    ASSERT_NE(argv, nullptr);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(WideToUtf8(argv[i]));
    }
    LocalFree(argv);
    EXPECT_EQ(ParseCommandLine(arguments).library, WideToUtf8(library));
    EXPECT_EQ(ParseCommandLine(arguments).resume.action, LibraryAction::InstallSet);
    EXPECT_EQ(ParseCommandLine(arguments).resume.set, 1);
    EXPECT_TRUE(form.ended) << "this SkySwap ends once the new one has started";
    EXPECT_EQ(form->hwnd(), nullptr);
}

// A window on `fs`, not elevated, whose restarts are noted and declined at Windows' prompt.
MainWindow::Hooks DeclinedRestartHooks(FileSystem& fs, std::vector<RestartRequest>& restarts) {
    MainWindow::Hooks hooks;
    hooks.fileSystem = &fs;
    hooks.isElevated = [] { return false; };
    hooks.onNetworkShare = [](const std::string&) { return false; };
    hooks.knownFolders = [] { return KnownFolders{}; };
    hooks.restart = [&restarts](const RestartRequest& request) {
        restarts.push_back(request);
        return static_cast<unsigned long>(ERROR_CANCELLED);
    };
    return hooks;
}

// What the restart's command line asks the new window to do.
LibraryRequest CarriedOn(const RestartRequest& restart) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW((L"skyswap.exe " + restart.parameters).c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        arguments.push_back(WideToUtf8(argv[i]));
    }
    LocalFree(argv);
    const CommandLine parsed = ParseCommandLine(arguments);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.action, LibraryAction::None);
    return parsed.resume;
}

TEST(ProtectedGame, TheRestartCarriesTheTransferThatWasRefused) {
    const struct {
        const char* what;
        std::vector<int> clicks;  // image elements clicked first
        const wchar_t* button;
        LibraryAction action;
        int32_t set;  // -1: the set the random draw chose
    } cases[] = {
        {"LOAD TO EAW of slot 1", {1}, L"LoadToGame", LibraryAction::InstallSet, 1},
        {"LOAD TO EAW of slot 0 after another",
         {1, 0},
         L"LoadToGame",
         LibraryAction::InstallSet,
         0},
        {"LOAD TO EAW of a random set",
         {kRandomElement},
         L"LoadToGame",
         LibraryAction::InstallSet,
         -1},
        {"LOAD MY DEFAULT", {}, L"LoadMyDefault", LibraryAction::LoadMyDefault, 0},
        {"LOAD EAW DEFAULT", {}, L"LoadGameDefault", LibraryAction::LoadGameDefault, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProtectedWindow window(ERROR_CANCELLED);
        WriteSkyFiles(window.temp, std::string(kLibrary) + "\\ZTDef", "ORIGINAL");
        StartedForm& form = *window.form;
        ASSERT_TRUE(form.started);
        form.answer = IDYES;
        for (const int element : c.clicks) {
            Click(form->ImageElement(element));
        }
        PressButton(*form, c.button);
        ASSERT_EQ(window.restarts.size(), 1u);
        const LibraryRequest carried = CarriedOn(window.restarts[0]);
        EXPECT_EQ(carried.action, c.action);
        if (c.set >= 0) {
            EXPECT_EQ(carried.set, c.set);
        } else {
            EXPECT_EQ(std::optional<int32_t>(carried.set), form->State().selectedSet)
                << "the set drawn, not a new draw";
            EXPECT_FALSE(form->State().randomPending);
        }
    }
}

TEST(ProtectedGame, TheRestartedWindowDoesWhatWasAskedAndSaysHowItWent) {
    const struct {
        const char* what;
        LibraryRequest request;
        const char* folder;  // where the files went: the game or ZTDef
        std::string tag;     // what it holds of the ten now ("" none); "?" one whole set
        std::wstring message;
        UINT type;
    } cases[] = {
        {"LOAD TO EAW",
         {LibraryAction::InstallSet, 1, {}},
         kGame,
         "ZT1",
         L"Sky set ZT1 is now in the game.",
         MB_OK | MB_ICONINFORMATION},
        {"a random set",
         {LibraryAction::InstallRandom, 0, {}},
         kGame,
         "?",
         L"",
         MB_OK | MB_ICONINFORMATION},
        {"LOAD MY DEFAULT",
         {LibraryAction::LoadMyDefault, 0, {}},
         kGame,
         "ZT0",
         L"Your personal default (ZTDef) is now in the game.",
         MB_OK | MB_ICONINFORMATION},
        {"LOAD EAW DEFAULT",
         {LibraryAction::LoadGameDefault, 0, {}},
         kGame,
         "",
         L"The ten sky files are gone from the game: EAW uses its own skies.",
         MB_OK | MB_ICONINFORMATION},
        {"SAVE AS MY DEFAULT",
         {LibraryAction::SaveMyDefault, 2, {}},
         "Game\\Skies\\ZTDef",
         "ZT2",
         L"Sky set ZT2 is now your personal default (ZTDef).",
         MB_OK | MB_ICONINFORMATION},
        {"a set that is gone meanwhile",
         {LibraryAction::InstallSet, 7, {}},
         kGame,
         "ZT2",
         L"Nothing was changed: the set folder ZT7 does not exist.",
         MB_OK | MB_ICONWARNING},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        MakePictureLibrary(temp, 3);
        WriteSkyFiles(temp, kGame, "ZT2");
        WriteSkyFiles(temp, std::string(kLibrary) + "\\ZTDef", "ZT0");
        MainWindow::Hooks hooks;
        hooks.knownFolders = [] { return KnownFolders{}; };
        StartedForm form(temp, kLibrary, hooks, c.request);
        ASSERT_TRUE(form.started);
        form.answer = IDYES;  // to the question what the restart is for
        ASSERT_TRUE(PumpUntil([&] { return form.messages.size() >= 2; })) << "no outcome shown";
        ASSERT_EQ(form.messages.size(), 2u);
        EXPECT_EQ(form.messages[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
        const std::vector<std::string> tags = TagsIn(temp, c.folder, {"ZT0", "ZT1", "ZT2"});
        if (c.tag == "?") {
            ASSERT_TRUE(form->State().selectedSet.has_value());
            const std::string drawn = "ZT" + std::to_string(*form->State().selectedSet);
            EXPECT_EQ(tags, Repeated(drawn));
            EXPECT_EQ(form.messages[1].text,
                      L"Sky set " + Utf8ToWide(drawn) + L" is now in the game.");
        } else {
            EXPECT_EQ(tags, Repeated(c.tag));
            EXPECT_EQ(form.messages[1].text, c.message);
        }
        EXPECT_EQ(form.messages[1].type, c.type);
        PumpMessages(form->hwnd());
        EXPECT_EQ(form.messages.size(), 2u) << "done once";
    }
}

TEST(ProtectedGame, TheRestartedWindowAsksFirstAndANoChangesNothing) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    WriteSkyFiles(temp, kGame, "ZT2");
    MainWindow::Hooks hooks;
    hooks.knownFolders = [] { return KnownFolders{}; };
    // As any program could start SkySwap with administrator rights.
    StartedForm form(temp, kLibrary, hooks, {LibraryAction::LoadGameDefault, 0, {}});
    ASSERT_TRUE(form.started);
    form.answer = IDNO;
    ASSERT_TRUE(PumpUntil([&] { return !form.messages.empty(); })) << "nothing asked";
    PumpMessages(form->hwnd());
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text,
              L"SkySwap was started with administrator rights to remove the ten sky files from "
              L"the game, so that EAW uses its own skies. Go on?");
    EXPECT_EQ(TagsIn(temp, kGame, {"ZT2"}), Repeated("ZT2")) << "nothing changed";
}

TEST(ProtectedGame, NoOrADeclinedPromptKeepsTheWindowQuietly) {
    {  // No to SkySwap's question: no restart.
        ProtectedWindow window;
        StartedForm& form = *window.form;
        form.answer = IDNO;
        PressButton(*form, L"LoadGameDefault");  // LOAD EAW DEFAULT on a protected folder
        ASSERT_EQ(form.messages.size(), 1u);
        EXPECT_EQ(form.messages[0].text, window.Offer()) << "not 'close the program'";
        EXPECT_TRUE(window.restarts.empty());
        EXPECT_FALSE(form.ended);
        EXPECT_EQ(GameTags(window.temp, 3, {"ORIGINAL"}), Repeated("ORIGINAL"));
    }
    {  // Yes, then No to Windows' own prompt: nothing more is said.
        ProtectedWindow window(ERROR_CANCELLED);
        StartedForm& form = *window.form;
        form.answer = IDYES;
        Click(form->ImageElement(0));
        PressButton(*form, L"LoadToGame");
        EXPECT_EQ(window.restarts.size(), 1u);
        EXPECT_EQ(form.messages.size(), 1u);
        EXPECT_FALSE(form.ended);
        EXPECT_NE(form->hwnd(), nullptr);
    }
    {  // The restart itself failed: the system's reason.
        ProtectedWindow window(ERROR_FILE_NOT_FOUND);
        StartedForm& form = *window.form;
        form.answer = IDYES;
        PressButton(*form, L"LoadMyDefault");  // LOAD MY DEFAULT, with no default saved
        Click(form->ImageElement(0));
        PressButton(*form, L"LoadToGame");
        ASSERT_EQ(form.messages.size(), 3u);
        EXPECT_EQ(
            form.messages[2].text.rfind(L"SkySwap could not be restarted as administrator: ", 0),
            0u);
        EXPECT_FALSE(form.ended);
    }
}

TEST(ProtectedGame, ASkyThatCannotBeKeptInAProtectedLibraryAsksForAdministratorRights) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    WriteSkyFiles(temp, kGame, "ORIGINAL");
    std::unique_ptr<FileSystem> real = MakePlatformFileSystem();
    ProtectedFolderFileSystem fs{*real, temp.Join(kLibrary)};
    std::vector<RestartRequest> restarts;
    StartedForm form(temp, kLibrary, DeclinedRestartHooks(fs, restarts));
    ASSERT_TRUE(form.started);
    form.answer = IDYES;
    Click(form->ImageElement(1));
    PressButton(*form, L"LoadToGame");
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text.rfind(L"Windows protects the game folder ", 0), 0u);
    EXPECT_EQ(restarts.size(), 1u);
    EXPECT_EQ(GameTags(temp, 3, {"ORIGINAL"}), Repeated("ORIGINAL")) << "the install did not run";
    EXPECT_EQ(temp.List(kLibrary).size(), 4u) << "ZT0 to ZT2 and nosky.jpg, no new folder";
    EXPECT_EQ(CarriedOn(restarts[0]).action, LibraryAction::InstallSet);
    EXPECT_EQ(CarriedOn(restarts[0]).set, 1);

    // SAVE AS MY DEFAULT, refused by the same library, carries its set too.
    Click(form->ImageElement(2));
    PressButton(*form, L"SaveMyDefault");
    ASSERT_EQ(restarts.size(), 2u);
    EXPECT_EQ(CarriedOn(restarts[1]).action, LibraryAction::SaveMyDefault);
    EXPECT_EQ(CarriedOn(restarts[1]).set, 2);
}

TEST(ProtectedGame, WithAdministratorRightsAlreadyThereIsNothingToOffer) {
    ProtectedWindow window(ERROR_SUCCESS, true);
    StartedForm& form = *window.form;
    PressButton(*form, L"LoadGameDefault");
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(
        form.messages[0].text.rfind(L"Nothing was changed. Windows protects the game folder ", 0),
        0u);
    EXPECT_TRUE(window.restarts.empty());
}

TEST(ProtectedGame, OnANetworkShareNoRestartIsOfferedButTheShareIsNamed) {
    for (const bool elevated : {false, true}) {
        SCOPED_TRACE(elevated ? "with administrator rights" : "without administrator rights");
        ProtectedWindow window(ERROR_SUCCESS, elevated, true);
        StartedForm& form = *window.form;
        ASSERT_TRUE(form.started);
        form.answer = IDYES;
        Click(form->ImageElement(1));
        PressButton(*form, L"LoadToGame");
        PressButton(*form, L"LoadGameDefault");
        ASSERT_EQ(form.messages.size(), 2u);
        for (const StartedForm::Message& message : form.messages) {
            EXPECT_EQ(message.text, L"Windows does not let SkySwap write to " +
                                        Utf8ToWide(window.temp.Join(kGame)) +
                                        L" on the network share; ask the share's owner for write "
                                        L"access or copy the game to this computer");
            EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
        }
        EXPECT_TRUE(window.restarts.empty());
        EXPECT_FALSE(form.ended);
    }
}

// An administrator's SkySwap runs in a logon session of its own, without the subst drives of
// this one: the restart names the program and the library by the folders such drives stand for.
TEST(ProtectedGame, TheRestartSpellsSubstDrivesOutOrIsNotOffered) {
    const char programDrive = static_cast<char>(std::toupper(WideToUtf8(ThisProgramPath())[0]));
    for (const bool seen : {true, false}) {
        SCOPED_TRACE(seen ? "a subst drive" : "a drive Windows says nothing of");
        ProtectedWindow window(ERROR_SUCCESS, false, false, [=](char drive) {
            if (drive != programDrive) {
                return DriveMapping{};
            }
            return seen ? DriveMapping{DriveMapping::Kind::Substituted, "C:\\Real folder"}
                        : DriveMapping{DriveMapping::Kind::Unknown, {}};
        });
        StartedForm& form = *window.form;
        ASSERT_TRUE(form.started);
        form.answer = IDYES;
        Click(form->ImageElement(1));
        PressButton(*form, L"LoadToGame");
        ASSERT_EQ(form.messages.size(), 1u);
        if (seen) {
            EXPECT_EQ(form.messages[0].text, window.Offer());
            ASSERT_EQ(window.restarts.size(), 1u);
            EXPECT_EQ(window.restarts[0].file, L"C:\\Real folder" + ThisProgramPath().substr(2));
            EXPECT_TRUE(form.ended);
        } else {
            EXPECT_EQ(form.messages[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
            EXPECT_NE(form.messages[0].text.find(L"SkySwap cannot restart itself as administrator"),
                      std::wstring::npos);
            EXPECT_TRUE(window.restarts.empty());
            EXPECT_FALSE(form.ended);
        }
    }
}

TEST(ProtectedGame, ShadowCopiesAreSeenAndRemovedAfterAnInstall) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    WriteSkyFiles(temp, kGame, "ORIGINAL");
    // The game folder lies under "Program Files (x86)", here the test's own folder.
    KnownFolders known;
    known.programFilesX86 = temp.path();
    known.localAppData = temp.Join("Local");
    const std::string mirror = "Local\\VirtualStore" + temp.Join(kGame).substr(2);
    WriteSkyFiles(temp, mirror, "SHADOW", {"bnhorizn.ter", "cloud2.ter"});
    temp.WriteFile(mirror + "\\game.cfg", "the game's own settings");

    MainWindow::Hooks hooks;
    hooks.knownFolders = [known] { return known; };
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);
    ASSERT_EQ(form->GameFolderView().Mirror(), std::optional<std::string>(temp.Join(mirror)));
    std::string seen;
    ASSERT_TRUE(
        form->GameFolderView().ReadPrefix(temp.Join(kGame) + "\\bnhorizn.ter", 4096, seen).ok());
    EXPECT_EQ(seen, SkyFileBytes("SHADOW", "bnhorizn.ter")) << "what the game reads";

    Click(form->ImageElement(2));
    PressButton(*form, L"LoadToGame");
    // The sky the game showed, shadow copies included, is in no set: it is kept first; so is
    // the sky in the game folder itself, which the install replaces.
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_NE(form.messages[0].text.find(L"kept them as set ZT3"), std::wstring::npos);
    EXPECT_NE(form.messages[1].text.find(L"kept them as set ZT4"), std::wstring::npos);
    std::vector<std::string> kept = Repeated("ORIGINAL");
    kept.front() = kept.back() = "SHADOW";  // bnhorizn.ter and cloud2.ter
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT3", {"ORIGINAL", "SHADOW"}), kept);
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT4", {"ORIGINAL", "SHADOW"}),
              Repeated("ORIGINAL"));
    EXPECT_EQ(GameTags(temp, 3), Repeated("ZT2"));
    EXPECT_EQ(temp.List(mirror), std::vector<std::string>{"game.cfg"}) << "only the ten names go";

    // Given the VirtualStore of the user who started SkySwap, that one is used.
    MainWindow::Hooks restarted;
    restarted.messageBox = [](HWND, const std::wstring&, const std::wstring&, UINT) {
        ADD_FAILURE() << "no message expected";
        return IDOK;
    };
    restarted.programEnded = [] {};
    KnownFolders elsewhere = known;
    elsewhere.localAppData = temp.Join("AdminLocal");
    restarted.knownFolders = [elsewhere] { return elsewhere; };
    auto form2 = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), restarted);
    form2->UseVirtualStore(temp.Join("Local\\VirtualStore"));
    CurrentFolderScope folder(temp.Join(kLibrary));
    ASSERT_TRUE(form2->Create(SW_SHOWNORMAL));
    EXPECT_EQ(form2->GameFolderView().Mirror(), std::optional<std::string>(temp.Join(mirror)));
}

// Writes through the long-path form, past MAX_PATH.
void WriteLong(const std::string& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(WinPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

TEST(ProtectedGame, ADeepLibraryShowsItsPicturesAndDescriptions) {
    TempFolder temp;
    auto fs = MakePlatformFileSystem();
    // A library folder as deep as a current folder may be, so that its pictures lie past MAX_PATH.
    constexpr std::size_t kGameLength = MAX_PATH - 16;  // the library is 250 characters long
    std::string game = temp.path();
    while (game.size() < kGameLength - 30) {
        game += "\\deeper-folder";
        ASSERT_TRUE(fs->CreateFolder(game).ok());
    }
    game += "\\" + std::string(kGameLength - 1 - game.size(), 'g');
    const std::string library = game + "\\Skies";
    ASSERT_TRUE(fs->CreateFolder(game).ok());
    ASSERT_TRUE(fs->CreateFolder(library).ok());
    ASSERT_GT(library.size() + std::string("\\ZT0\\ZT0.bmp").size(), static_cast<size_t>(MAX_PATH));
    WriteLong(game + "\\eaw.ini", "[EAW]");
    WritePicture(WideToUtf8(WinPath(library + "\\nosky.jpg")), 40, 30, kPlaceholderColour,
                 ImageFormat::Jpeg);
    for (int n = 0; n < 2; ++n) {
        const std::string set = library + "\\ZT" + std::to_string(n);
        ASSERT_TRUE(fs->CreateFolder(set).ok());
        WritePicture(WideToUtf8(WinPath(set + "\\ZT" + std::to_string(n) + ".bmp")), 40, 30,
                     ThumbnailColour(n), ImageFormat::Bmp);
        WriteLong(set + "\\ZT" + std::to_string(n) + ".txt", "Deep sky " + std::to_string(n));
    }

    StartedForm form(temp, library.substr(temp.path().size() + 1));
    ASSERT_TRUE(form.started);
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(0)), ThumbnailColour(0)));
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(1)), ThumbnailColour(1)));
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(2)), kPlaceholderColour));
    MouseMove(form->ImageElement(1));
    EXPECT_EQ(ToolTipText(*form, 1), L"Deep sky 1");
}

}  // namespace
}  // namespace skyswap::test
