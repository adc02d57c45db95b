// Downloads added through the real window: folders dropped on it (a WM_DROPFILES built as
// Explorer builds one), the page and the message it shows, a transfer pressed while a download
// is read, and WM_COPYDATA messages that are no request of ours.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "forwarding_file_system.h"
#include "add_request.h"
#include "command_line.h"
#include "elevation_win.h"
#include "support/protected_file_system.h"
#include "support/zip_maker.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

constexpr DWORD kAddingMs = 30000;

// A WM_DROPFILES as Explorer sends it: a DROPFILES header in global memory, then the paths, each
// ended by a NUL, and one NUL more. The window frees the memory with DragFinish.
void DropFiles(HWND window, const std::vector<std::string>& paths) {
    std::wstring list;
    for (const std::string& path : paths) {
        list += Utf8ToWide(path);
        list += L'\0';
    }
    list += L'\0';
    const SIZE_T listBytes = list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + listBytes);
    ASSERT_NE(memory, nullptr);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), listBytes);
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// A sky as a friend sends it: a folder holding the ten sky files.
std::string MakeDownload(const TempFolder& temp, const std::string& name, const std::string& tag) {
    temp.MakeFolder(name);
    WriteSkyFiles(temp, name, tag);
    return temp.Join(name);
}

bool AddingEnded(StartedForm& form) {
    return PumpUntil([&] { return !form->Adding() && !form.messages.empty(); }, kAddingMs);
}

TEST(MainWindowAdd, DroppedFoldersBecomeSetsShownOnThePageOfTheFirstWithOneMessage) {
    TempFolder temp;
    MakePictureLibrary(temp, 12);
    TempFolder downloads;
    const std::string stormy = MakeDownload(downloads, "Stormy Evening", "STORMY");
    const std::string noon = MakeDownload(downloads, "Clear Noon", "NOON");
    downloads.MakeFolder("Photos");
    downloads.WriteFile("Photos\\readme.txt", "no sky in here");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);

    DropFiles(form->hwnd(), {stormy, downloads.Join("Photos"), noon});
    ASSERT_TRUE(AddingEnded(form));
    ASSERT_EQ(form.messages.size(), 1u) << "one message for the whole drop";
    const std::wstring& text = form.messages[0].text;
    const std::wstring added = L"Added ZT12: Stormy Evening\nAdded ZT13: Clear Noon\n";
    EXPECT_EQ(text.substr(0, added.size()), added) << WideToUtf8(text);
    EXPECT_EQ(text.find(Utf8ToWide(downloads.Join("Photos")) + L": "), added.size())
        << "then the refusal with its reason: " << WideToUtf8(text);
    EXPECT_EQ(text.find(L'\n', added.size()), std::wstring::npos) << "on one line";
    EXPECT_EQ(form.messages[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));

    EXPECT_EQ(form->State().setCount, 14);
    EXPECT_EQ(form->State().pageFirst, 10) << "the page that holds ZT12";
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(1)), ThumbnailColour(11)));
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(2)), kPlaceholderColour)) << "no picture came";
    MouseMove(form->ImageElement(3));
    EXPECT_EQ(ToolTipText(*form, 3), L"Clear Noon");
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT12", {"STORMY"}), Repeated("STORMY"));
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT13", {"NOON"}), Repeated("NOON"));
    // The first new set is chosen, as a click on it: LOAD TO EAW installs it at once.
    EXPECT_EQ(form->State().selectedSet, std::optional<int32_t>(12));
    EXPECT_TRUE(Near(CentreColour(form->Preview()), CentreColour(form->ImageElement(2))));
    EXPECT_EQ(GetFocus(), form->Control(L"LoadToGame"));
    form.messages.clear();
    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);
    EXPECT_EQ(TagsIn(temp, kGame, {"STORMY"}), Repeated("STORMY")) << "the new sky is in the game";

    // Everything added: an information, one line.
    form.messages.clear();
    DropFiles(form->hwnd(), {MakeDownload(downloads, "Dawn", "DAWN")});
    ASSERT_TRUE(AddingEnded(form));
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text, L"Added ZT14: Dawn");
    EXPECT_EQ(form.messages[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
}

// A ZIP as a mod site serves it: the sky in a folder of its name, with a JPEG preview of one
// colour and the author's readme.
std::string MakeZipDownload(const TempFolder& temp, const std::string& name, COLORREF colour) {
    WritePicture(temp.Join("preview.jpg"), 640, 400, colour, ImageFormat::Jpeg);
    std::vector<ZipItem> items{{name + "/", ""}};
    for (const std::string& file : SkyFileNames()) {
        items.push_back({name + "/" + file, SkyFileBytes("ZIPPED", file)});
    }
    items.push_back({name + "/preview.jpg", *temp.ReadFile("preview.jpg")});
    items.push_back({name + "/readme.txt", "Made by a friend."});
    temp.WriteFile(name + ".zip", MakeZip(items));
    return temp.Join(name + ".zip");
}

TEST(MainWindowAdd, ADroppedZipBecomesASetWithItsPictureAndA7zIsRefused) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    TempFolder downloads;
    const COLORREF stormy = RGB(40, 60, 160);
    const std::string zip = MakeZipDownload(downloads, "Stormy Evening", stormy);
    downloads.WriteFile("Dawn.7z", "7z\xBC\xAF\x27\x1C");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);

    DropFiles(form->hwnd(), {downloads.Join("Dawn.7z"), zip});
    ASSERT_TRUE(AddingEnded(form));
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text,
              L"Added ZT3: Stormy Evening\n" + Utf8ToWide(downloads.Join("Dawn.7z")) +
                  L": SkySwap reads ZIP archives; unpack this one and add its folder")
        << WideToUtf8(form.messages[0].text);
    EXPECT_EQ(form->State().pageFirst, 0);
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(3)), stormy))
        << "the preview made its picture";
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(2)), ThumbnailColour(2)));
    const std::string set = std::string(kLibrary) + "\\ZT3";
    EXPECT_EQ(TagsIn(temp, set, {"ZIPPED"}), Repeated("ZIPPED"));
    EXPECT_EQ(temp.ReadFile(set + "\\readme.txt"), "Made by a friend.");
    const std::optional<std::string> bmp = temp.ReadFile(set + "\\ZT3.bmp");
    ASSERT_TRUE(bmp && bmp->size() > 26);
    int32_t width = 0;
    int32_t height = 0;
    std::memcpy(&width, bmp->data() + 18, 4);
    std::memcpy(&height, bmp->data() + 22, 4);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(std::abs(height), 129);
}

TEST(MainWindowAdd, WhenTheSkyInTheGameIsAddedTheTitleAndTheOutlineSaySo) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    WriteSkyFiles(temp, kGame, "FRIEND");
    TempFolder downloads;
    const std::string friendly = MakeDownload(downloads, "A Friend's Sky", "FRIEND");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    ASSERT_TRUE(PumpUntil([&] { return form->InstalledSet().has_value(); }, kAddingMs));
    EXPECT_EQ(WindowText(form->hwnd()), L"SkySwap - a sky not in your library");

    DropFiles(form->hwnd(), {friendly});
    ASSERT_TRUE(AddingEnded(form));
    EXPECT_EQ(form.messages[0].text, L"Added ZT3: A Friend's Sky");
    ASSERT_TRUE(PumpUntil(
        [&] { return WindowText(form->hwnd()) == L"SkySwap - ZT3: A Friend's Sky"; }, kAddingMs))
        << WideToUtf8(WindowText(form->hwnd()));
    EXPECT_TRUE(form->SlotShowsInstalledSet(3));
}

// Passes every call to the real file system; reading the gated folder waits until Open.
class GatedFileSystem final : public ForwardingFileSystem {
  public:
    GatedFileSystem(FileSystem& real, std::string gated)
        : ForwardingFileSystem(real), gated_(std::move(gated)) {}
    ~GatedFileSystem() override { CloseHandle(open_); }
    GatedFileSystem(const GatedFileSystem&) = delete;
    GatedFileSystem& operator=(const GatedFileSystem&) = delete;
    void Open() { SetEvent(open_); }
    // True once a call has reached the gate.
    bool Reached() const { return reached_; }

    bool CanOpenForReading(const std::string& path) override {
        return Wait(path), real_.CanOpenForReading(path);
    }
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        return Wait(folder), real_.ListFolder(folder, entries);
    }
    bool IsFolder(const std::string& path) override { return Wait(path), real_.IsFolder(path); }
    bool IsFile(const std::string& path) override { return Wait(path), real_.IsFile(path); }
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override {
        return Wait(source), real_.CopyToStaged(source, staged);
    }
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                        std::string& bytes) override {
        return Wait(path), real_.ReadPrefix(path, maxBytes, bytes);
    }
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override {
        return Wait(path), real_.FileSize(path, size);
    }
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override {
        return Wait(path), real_.ReadAt(path, offset, maxBytes, bytes);
    }

  private:
    void Wait(const std::string& path) {
        if (path.rfind(gated_, 0) == 0) {
            reached_ = true;
            WaitForSingleObject(open_, kAddingMs);
        }
    }

    std::string gated_;
    HANDLE open_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> reached_{false};
};

TEST(MainWindowAdd, TheWindowAnswersWhileADownloadIsReadAndATransferWaitsForIt) {
    TempFolder temp;
    MakePictureLibrary(temp, 12);
    WriteSkyFiles(temp, kGame, "ZT1");
    TempFolder downloads;
    const std::string stormy = MakeDownload(downloads, "Stormy Evening", "STORMY");
    std::unique_ptr<FileSystem> real = MakePlatformFileSystem();
    GatedFileSystem gated(*real, stormy);
    MainWindow::Hooks hooks;
    hooks.fileSystem = &gated;
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);

    DropFiles(form->hwnd(), {stormy});
    ASSERT_TRUE(PumpUntil([&] { return gated.Reached(); }, kAddingMs));
    EXPECT_TRUE(form->Adding());
    // The busy cursor over the window, which still turns its pages.
    EXPECT_EQ(SendMessageW(form->hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form->hwnd()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_APPSTARTING));
    Click(form->ImageElement(kNextArrow));
    EXPECT_EQ(form->State().pageFirst, 10);
    EXPECT_TRUE(form.messages.empty());
    // A second drop meanwhile waits its turn, and is numbered after the first.
    DropFiles(form->hwnd(), {MakeDownload(downloads, "Dawn", "DAWN")});

    // "Game default" waits for the set to be added, then removes the sky files.
    std::thread opener([&] {
        Sleep(300);
        gated.Open();
    });
    SendMessageW(form->Control(L"LoadGameDefault"), BM_CLICK, 0, 0);
    opener.join();
    EXPECT_FALSE(form->Adding());
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_EQ(form.messages[0].text, L"Added ZT12: Stormy Evening");
    EXPECT_EQ(form.messages[1].text, L"Added ZT13: Dawn");
    EXPECT_EQ(GameTags(temp, 14), Repeated("")) << "then the transfer ran";
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT12", {"STORMY"}), Repeated("STORMY"));
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT13", {"DAWN"}), Repeated("DAWN"));
    // The runs' own messages, handled late, change nothing.
    PumpMessages(form->hwnd());
    EXPECT_EQ(form.messages.size(), 2u);
    EXPECT_EQ(SendMessageW(form->hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form->hwnd()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              FALSE)
        << "the window's own cursor again";
}

TEST(MainWindowAdd, ALibraryThatWindowsProtectsOffersTheRestartAsAdministrator) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    TempFolder downloads;
    const std::string stormy = MakeDownload(downloads, "Stormy Evening", "STORMY");
    std::unique_ptr<FileSystem> real = MakePlatformFileSystem();
    ProtectedFolderFileSystem fs(*real, temp.Join(kLibrary));
    std::vector<RestartRequest> restarts;
    bool elevated = false;
    MainWindow::Hooks hooks;
    hooks.fileSystem = &fs;
    hooks.isElevated = [&] { return elevated; };
    hooks.levelsApart = [] { return true; };
    hooks.restart = [&](const RestartRequest& request) {
        restarts.push_back(request);
        return static_cast<unsigned long>(ERROR_SUCCESS);
    };
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);

    form.answer = IDNO;
    DropFiles(form->hwnd(), {stormy});
    ASSERT_TRUE(AddingEnded(form));
    ASSERT_EQ(form.messages.size(), 1u);
    const std::wstring& offer = form.messages[0].text;
    EXPECT_EQ(offer.rfind(Utf8ToWide(stormy) + L": ", 0), 0u) << WideToUtf8(offer);
    EXPECT_NE(offer.find(L"Windows protects the library folder " + Utf8ToWide(temp.Join(kLibrary))),
              std::wstring::npos)
        << WideToUtf8(offer);
    const std::wstring question = L"\n\nRestart SkySwap as administrator?";
    EXPECT_EQ(offer.substr(offer.size() - question.size()), question) << WideToUtf8(offer);
    EXPECT_EQ(form.messages[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(restarts.empty());
    EXPECT_EQ(form->State().setCount, 3);
    EXPECT_TRUE(temp.Exists(std::string(kLibrary) + "\\ZT2"));
    EXPECT_FALSE(temp.Exists(std::string(kLibrary) + "\\ZT3"));

    // Already an administrator: asked first whether to add what another program handed over,
    // then no offer, the refusal as it is.
    elevated = true;
    form.answer = IDYES;
    form.messages.clear();
    DropFiles(form->hwnd(), {stormy});
    ASSERT_TRUE(PumpUntil([&] { return form.messages.size() >= 2; }, kAddingMs));
    ASSERT_TRUE(AddingEnded(form));
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_EQ(form.messages[0].text, L"Add these downloads to the library?\n" + Utf8ToWide(stormy));
    EXPECT_EQ(form.messages[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(form.messages[1].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    EXPECT_EQ(form.messages[1].text.find(L"Restart SkySwap"), std::wstring::npos);

    elevated = false;
    form.answer = IDYES;
    form.messages.clear();
    DropFiles(form->hwnd(), {stormy});
    ASSERT_TRUE(PumpUntil([&] { return !restarts.empty(); }, kAddingMs));
    EXPECT_EQ(restarts[0].verb, L"runas");
    EXPECT_EQ(restarts[0].folder, Utf8ToWide(temp.Join(kLibrary)));
    // The restart adds what was refused, without the user dropping it again.
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW((L"skyswap.exe " + restarts[0].parameters).c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        arguments.push_back(WideToUtf8(argv[i]));
    }
    LocalFree(argv);
    const CommandLine restarted = ParseCommandLine(arguments);
    ASSERT_TRUE(restarted.ok()) << restarted.error;
    EXPECT_EQ(restarted.action, LibraryAction::None);
    EXPECT_EQ(restarted.resume.action, LibraryAction::AddDownloads);
    EXPECT_EQ(restarted.resume.paths, std::vector<std::string>{stormy});
    EXPECT_EQ(form->hwnd(), nullptr) << "the restarted SkySwap takes over";
}

// The data of a WM_COPYDATA: a tag and bytes.
struct CopyData {
    const char* what;
    ULONG_PTR tag;
    std::wstring bytes;  // as UTF-16 units, NULs included
    DWORD size;          // cbData
};

std::vector<CopyData> ForeignOrMalformedRequests() {
    const std::wstring path = L"C:\\Downloads\\Stormy.zip";
    const std::wstring good = path + L'\0';
    const auto Size = [](const std::wstring& units) {
        return static_cast<DWORD>(units.size() * sizeof(wchar_t));
    };
    std::wstring loneHigh = path;
    loneHigh[3] = static_cast<wchar_t>(0xD83D);
    std::wstring loneLow = path;
    loneLow[3] = static_cast<wchar_t>(0xDE00);
    const std::wstring tooLong(kLongestRequestPath + 1, L'a');
    std::wstring tooMany;
    for (std::size_t i = 0; i <= kMostRequestPaths; ++i) {
        tooMany += L"a";
        tooMany += L'\0';
    }
    return {
        {"another program's tag", 0x1234, good, Size(good)},
        {"our tag but no data", kAddRequestTag, L"", 0},
        {"an odd number of bytes", kAddRequestTag, good, Size(good) - 1},
        {"the last path without its end", kAddRequestTag, path, Size(path)},
        {"cut in the middle of a path", kAddRequestTag, good, Size(good) - 4},
        {"an empty path", kAddRequestTag, std::wstring(1, L'\0'), 2},
        {"an empty path between two", kAddRequestTag, good + L'\0' + good, Size(good) * 2 + 2},
        {"half a surrogate pair", kAddRequestTag, loneHigh + L'\0', Size(loneHigh) + 2},
        {"the other half alone", kAddRequestTag, loneLow + L'\0', Size(loneLow) + 2},
        {"a path longer than Windows allows", kAddRequestTag, tooLong + L'\0', Size(tooLong) + 2},
        {"more paths than a request holds", kAddRequestTag, tooMany, Size(tooMany)},
    };
}

TEST(AddRequest, OnlyWellFormedRequestsOfOurOwnAreRead) {
    for (const CopyData& bad : ForeignOrMalformedRequests()) {
        COPYDATASTRUCT data{bad.tag, bad.size, const_cast<wchar_t*>(bad.bytes.data())};
        EXPECT_FALSE(DecodeAddRequest(data)) << bad.what;
    }
    const COPYDATASTRUCT nothing{kAddRequestTag, 8, nullptr};
    EXPECT_FALSE(DecodeAddRequest(nothing)) << "a size without data";

    // What the command line sends comes back as it was given.
    const std::vector<std::string> paths{"C:\\Downloads\\Stormy Evening.zip",
                                         "D:\\\xE5\xA4\xA9\xE7\xA9\xBA \xF0\x9F\x8C\x85", "x"};
    const std::wstring request = EncodeAddRequest(paths);
    const COPYDATASTRUCT data{kAddRequestTag, static_cast<DWORD>(request.size() * 2),
                              const_cast<wchar_t*>(request.data())};
    EXPECT_EQ(DecodeAddRequest(data), paths);
    EXPECT_TRUE(EncodeAddRequest({}).empty());
    EXPECT_TRUE(EncodeAddRequest({"a", ""}).empty());
    EXPECT_TRUE(EncodeAddRequest({std::string("a\0b", 3)}).empty());
}

TEST(MainWindowAdd, OnlyAnElevatedWindowOpensItsMessageFilterAndItAsksFirst) {
    const struct {
        const char* what;
        bool elevated;
        bool levelsApart;
    } cases[] = {
        {"not elevated", false, true},
        {"elevated", true, true},
        // Wine: every program is an administrator and none is kept apart, so nothing to ask.
        {"elevated where no integrity levels keep programs apart", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool elevated = c.elevated && c.levelsApart;
        TempFolder temp;
        MakePictureLibrary(temp, 2);
        TempFolder downloads;
        const std::string stormy = MakeDownload(downloads, "Stormy Evening", "STORMY");
        std::vector<UINT> allowed;
        MainWindow::Hooks hooks;
        hooks.isElevated = [c] { return c.elevated; };
        hooks.levelsApart = [c] { return c.levelsApart; };
        hooks.allowMessage = [&](HWND, UINT message) { allowed.push_back(message); };
        StartedForm form(temp, kLibrary, hooks);
        ASSERT_TRUE(form.started);
        const std::vector<UINT> opened = {WM_DROPFILES, WM_COPYDATA, 0x0049};
        EXPECT_EQ(allowed, elevated ? opened : std::vector<UINT>());
        // A program hands over a path: an elevated window adds nothing unasked.
        form.answer = IDNO;
        ASSERT_TRUE(SendAddRequest(form->hwnd(), {stormy}, 5000));
        PumpMessages(form->hwnd());
        ASSERT_TRUE(AddingEnded(form));
        ASSERT_EQ(form.messages.size(), 1u);
        EXPECT_EQ(form.messages[0].type & MB_TYPEMASK,
                  static_cast<UINT>(elevated ? MB_YESNO : MB_OK));
        EXPECT_EQ(temp.Exists(std::string(kLibrary) + "\\ZT2"), !elevated);
    }
}

TEST(MainWindowAdd, AWindowIgnoresACopyDataThatIsNoRequestOfOurs) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    for (const CopyData& bad : ForeignOrMalformedRequests()) {
        COPYDATASTRUCT data{bad.tag, bad.size, const_cast<wchar_t*>(bad.bytes.data())};
        EXPECT_EQ(SendMessageW(form->hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)),
                  FALSE)
            << bad.what;
        EXPECT_FALSE(form->Adding()) << bad.what;
    }
    PumpMessages(form->hwnd());
    EXPECT_TRUE(form.messages.empty());
    EXPECT_EQ(form->State().setCount, 3);

    // A request for a path that holds no sky is taken, and refused with its reason.
    TempFolder downloads;
    downloads.MakeFolder("Empty");
    ASSERT_TRUE(SendAddRequest(form->hwnd(), {downloads.Join("Empty")}, 5000));
    ASSERT_TRUE(AddingEnded(form));
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text.rfind(Utf8ToWide(downloads.Join("Empty")) + L": ", 0), 0u)
        << WideToUtf8(form.messages[0].text);
    EXPECT_EQ(form->State().setCount, 3);
}

TEST(MainWindowAdd, AFailedStartUpTakesNoRequestWhileItShowsItsMessage) {
    TempFolder temp;
    MakePictureLibrary(temp, 2);
    TempFolder downloads;
    const std::string stormy = MakeDownload(downloads, "Stormy Evening", "STORMY");
    // Started in the game folder instead of its library: no library to add to.
    CurrentFolderScope folder(temp.Join(kGame));
    std::vector<LRESULT> answers;
    MainWindow::Hooks hooks;
    hooks.messageBox = [&](HWND owner, const std::wstring&, const std::wstring&, UINT) {
        const std::wstring request = EncodeAddRequest({stormy});
        COPYDATASTRUCT data{kAddRequestTag, static_cast<DWORD>(request.size() * sizeof(wchar_t)),
                            const_cast<wchar_t*>(request.data())};
        answers.push_back(SendMessageW(owner, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
        return IDOK;
    };
    hooks.programEnded = [] {};
    MainWindow form(GetModuleHandleW(nullptr), hooks);
    EXPECT_FALSE(form.Create(SW_SHOWNORMAL));
    EXPECT_EQ(answers, std::vector<LRESULT>{FALSE});
    EXPECT_FALSE(temp.Exists(std::string(kGame) + "\\ZT0.skyswap-tmp"));
    EXPECT_FALSE(temp.Exists(std::string(kGame) + "\\ZT0"));
    EXPECT_FALSE(temp.Exists(std::string(kLibrary) + "\\ZT2"));
}

}  // namespace
}  // namespace skyswap::test
