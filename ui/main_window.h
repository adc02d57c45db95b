// MainWindow, the program's one window: its 24 controls, the start-up sequence and every event.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "add_worker.h"
#include "app_state.h"
#include "controls_table.h"
#include "elevation_win.h"
#include "windows_file_system.h"
#include "image_area.h"
#include "image_grid.h"
#include "image_elements.h"
#include "image_keyboard.h"
#include "library_session.h"
#include "pictures.h"
#include "recognition.h"
#include "recognition_worker.h"
#include "restart_arguments.h"
#include "transfers.h"
#include "virtual_store.h"
#include "win_handles.h"
#include "window_layout.h"

namespace skyswap {

// Control ids are the table rows from here on; they stay clear of IDOK and IDCANCEL, which
// IsDialogMessage sends for Enter and Escape.
constexpr int kFirstControlId = 1000;

class MainWindow final : public ImageElements {
  public:
    // Where the window meets the rest of the process. The program shows real message boxes and
    // ends the message loop; tests capture the texts and note the end instead.
    struct Hooks {
        std::function<int(HWND owner, const std::wstring& text, const std::wstring& title,
                          UINT type)>
            messageBox;
        // Called once the window is gone: after "EXIT", the close box or a failed start-up.
        std::function<void()> programEnded;
        // Starts SkySwap again with administrator rights; returns ERROR_SUCCESS once it has
        // started, ERROR_CANCELLED when the user declined, else the system's error.
        std::function<unsigned long(const RestartRequest& request)> restart;
        std::function<bool()> isElevated;
        // Whether a folder lies on a network share, where administrator rights cannot help.
        std::function<bool(const std::string& folder)> onNetworkShare;
        // What a drive letter stands for (subst, a mapped share), for a restart's paths.
        DriveMappingQuery driveMapping;
        // The known folders that decide where the game's shadow copies are.
        std::function<KnownFolders()> knownFolders;
        // Whether Windows keeps programs of other integrity levels apart (not under Wine).
        std::function<bool()> levelsApart;
        // Lets a message through the window's message filter (ChangeWindowMessageFilterEx).
        std::function<void(HWND window, UINT message)> allowMessage;
        // The folder the system menu's desktop shortcut goes in (the user's desktop).
        std::function<std::string()> desktopFolder;
        // Shows a folder in Explorer; false when it could not be opened.
        std::function<bool(const std::string& folder)> openFolder;
        // The thumbnail's context menu (set_menu.h): shows `menu` and returns the command chosen,
        // 0 for none; TrackSetMenu when empty.
        std::function<UINT(HMENU menu, UINT flags, POINT screen, HWND owner)> trackMenu;
        // The Save dialog of "Export as ZIP": the file chosen, or nothing when cancelled.
        std::function<std::optional<std::string>(const std::string& suggestedName,
                                                 const std::string& startFolder)>
            chooseExportFile;
        // Opens the folder holding `path` in Explorer with it selected; false when it could not.
        std::function<bool(const std::string& path)> showInFolder;
        // Removing a set: whether the library's drive has a Recycle Bin, and the removal itself
        // (SessionSystem's); Windows' own when empty.
        std::function<bool(const std::string& folder)> hasRecycleBin;
        std::function<FsStatus(const std::string& folder, bool toRecycleBin)> removeSetFolder;
        // Without a ZIP writer, exporting cannot work.
        bool noArchiveWriter = false;
        // The file system for discovery, descriptions and transfers; the real one when null.
        FileSystem* fileSystem = nullptr;
    };

    explicit MainWindow(HINSTANCE instance) : MainWindow(instance, Hooks{}) {}
    MainWindow(HINSTANCE instance, Hooks hooks);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The VirtualStore folder of the user who started SkySwap, given to a restart that runs under
    // another account; without it the VirtualStore of this process's user is used.
    void UseVirtualStore(std::string folder) { session_.UseVirtualStore(std::move(folder)); }
    // What the user asked for before SkySwap restarted as administrator: the window does it once
    // it is up and says how it went.
    void ResumeAfterRestart(LibraryRequest request) { resume_ = std::move(request); }
    // The game folder as the game sees it, shadow copies included.
    GameView& GameFolderView() { return gameView_; }

    // Creates the window and its controls and runs OpenLibrary. False when start-up failed: the
    // user has been told, and the window is gone.
    bool Create(int showCommand);

    // Null once the window is gone.
    HWND hwnd() const { return hwnd_; }
    // A control by its name and, for an image element or an arrow outline, its element number.
    HWND Control(std::wstring_view name, int arrayIndex = kNoIndex) const;
    HWND ToolTip() const { return toolTip_; }
    const GridElement& ImageElement(int element) const { return grid_.Element(element); }
    // The one window that draws the thirteen image elements.
    HWND ImageGridWindow() const { return grid_.hwnd(); }
    const ImageArea& Preview() const;
    // The placeholder as the slots show it, at their size.
    PictureRef Placeholder() const;
    const AppState& State() const { return state_; }
    // True when image element `element` is a slot showing the set the game holds.
    bool SlotShowsInstalledSet(int element) const;
    // What the window knows the game folder holds; nothing until recognition has told.
    const std::optional<InstalledSky>& InstalledSet() const { return knowledge_.installed; }
    // The image element that is the Tab stop of the thumbnail grid.
    int ImageStop() const { return grid_.Current(); }
    // True while downloads are being added.
    bool Adding() const { return adder_.Running(); }
    // Turns to the page that holds set `set` (of those the library has) and outlines the
    // installed set's slot on it.
    void ShowPageOf(int32_t set);

    // ImageElements, through which the paging logic fills the slots.
    bool LoadPlaceholder(const std::string& path) override;
    void ShowPlaceholder(int element) override;
    bool LoadPicture(int element, const std::string& path) override;
    void SetVisible(int element, bool visible) override;
    void SetToolTip(int element, const std::string& text) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool OpenLibrary(int showCommand);
    void RescaleToWindowSize();
    void OnLoadToGameClicked();
    void OnSaveMyDefaultClicked();
    void OnLoadMyDefaultClicked();
    void OnLoadGameDefaultClicked();
    void OnExitClicked();
    void OnImageElementClicked(int index);
    void OnImageElementMouseMove(int index);
    bool OnImageElementKeyDown(int index, UINT key);
    bool CreateImageGrid();
    std::array<RECT, kImageElementCount> ImageElementRects() const;
    void ActivateImage(int index);

    // The keyboard and screen readers (main_window_keyboard.cpp).
    void ConnectImageElements();
    // The element that has the keyboard focus, or -1.
    int FocusedImageElement() const;
    std::wstring ImageElementName(int element);
    int ImageElementInDirection(int element, LONG direction) const;
    ElementVisibility ShownImageElements() const;
    void MoveImageStop(int element, bool focus);
    void ImageHiding(int element);
    void OnNextDlgCtl(WPARAM wParam, LPARAM lParam);
    void OnSystemColoursChanged();
    // The system menu's own items (main_window_system_menu.cpp).
    void AddSystemMenuItems();
    bool OnSystemCommand(WPARAM command);
    void OpenLibraryFolder();
    void CreateDesktopShortcut();
    // The thumbnails' context menu and what its items do (main_window_care.cpp).
    LRESULT OnContextMenu(HWND source, POINT screen);
    void ShowSetMenu(int element, POINT screen);
    int ElementAt(POINT client) const;
    void OnEditDescription(int element);
    void OnExportSet(int32_t set);
    void OnShowSetFolder(int32_t set);
    void OnRemoveSet(int32_t set);

    // Adding downloaded skies (main_window_add.cpp).
    void AcceptDownloads();
    // An elevated window opens its message filter, so any program may hand it paths: it asks.
    bool HandedPathsNeedConsent() const;
    void OnDropFiles(HDROP drop);
    LRESULT OnCopyData(const COPYDATASTRUCT& data);
    // Paths that another program handed over (a drop, a command line): an elevated window asks
    // the user before it adds them.
    void TakeHandedDownloads(std::vector<std::string> paths);
    void OnConfirmHandedDownloads();
    bool OnSetCursor(UINT hitTest);
    void AddDownloadsFrom(std::vector<std::string> paths);
    void OnAddDone(WPARAM run);
    bool FinishAdding();
    void ShowAdded(const AddOutcome& outcome);

    bool CreateControls();
    void ChooseFontFaces();
    void UpdateFont(int row);
    void ApplyLayout();
    void StackControls();
    void CreateToolTips();
    void LoadCreationPictures();
    void FitPictures();
    // The placeholder made for `box`, one picture per size for every element that shows it.
    PictureRef PlaceholderAt(SIZE box);
    void ForgetUnusedPlaceholders();
    PictureMaker PlaceholderMaker();
    PictureMaker FileMaker(const std::string& path);
    // The preview shows a picture made anew at its own size from where `shown` came from.
    void ShowInPreview(const PictureRef& shown, const PictureMaker& maker);
    void LoadArrowIcons();
    void UpdateDpiResources();
    void OnCommand(int id, int code);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    LRESULT DefaultButtonForEnter() const;
    // Showing outcomes (main_window_outcomes.cpp).
    int Say(const std::string& text, UINT type);
    // Runs a request through the library session and shows its outcome.
    SessionOutcome RunLibraryRequest(const LibraryRequest& request);
    void ShowOutcome(const SessionOutcome& outcome);
    // `question` ends in the question; `request` is what the restart carries on with.
    void OfferRestartAsAdministrator(const std::string& question, const RestartPlan& plan);
    void CarryOnAfterRestart();
    void StartRecognition();
    void OnRecognitionDone();
    void ShowInstalledSky();
    FileSystem& Files() { return *files_; }
    void InstallationFailed();
    HWND CommandButton(int row) const { return controls_[row]; }
    ImageArea& PreviewArea() { return preview_; }

    HINSTANCE instance_;
    Hooks hooks_;
    HWND hwnd_ = nullptr;
    HWND toolTip_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    WindowsFileSystem fileSystem_;
    FileSystem* files_;
    LibrarySession session_;
    AppState& state_;          // the session's
    SkyKnowledge& knowledge_;  // what the game folder and ZTDef hold
    GameView& gameView_;
    LibraryRequest resume_;  // as given to ResumeAfterRestart, until it is done
    PictureLoader pictures_;
    std::wstring placeholderPath_;
    std::vector<PictureRef> placeholders_;  // one per size shown
    UINT dpi_ = 96;
    bool followingDpiChange_ = false;
    bool inSizeMove_ = false;  // the user is dragging the window's frame or title bar
    WindowLayout layout_;
    std::array<HWND, kControlCount> controls_{};
    ImageGrid grid_;
    ImageArea preview_;
    std::array<int, kImageElementCount> elementRows_{};
    std::array<std::wstring, 4> fontFaces_;          // by FontRole: the first face installed
    std::array<UniqueFont, kControlCount> fonts_;    // each control's own, at its scaled size
    std::array<float, kControlCount> fontPoints_{};  // the size each of fonts_ was made at
    std::array<int, 2> arrowIconSizes_{};            // back, next: the image size shown
    UniqueFont toolTipFont_;                         // the tooltip's, made for dpi_
    UniqueIcon bigIcon_;                             // the title bar's and the taskbar's,
    UniqueIcon smallIcon_;                           // loaded at the sizes for dpi_
    RecognitionWorker recognizer_;                   // stopped before the file systems go
    AddWorker adder_;                                // likewise
    std::vector<std::string> waitingDownloads_;      // dropped while adder_ was busy
    std::vector<std::string> handedDownloads_;       // waiting for the user's yes
    bool acceptingDownloads_ = false;                // once the library is known
    std::string lastExportFolder_;                   // where the last export went
};

}  // namespace skyswap
