// Form1, the program's one window: its 24 controls, the start-up sequence and every event.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "add_worker.h"
#include "app_state.h"
#include "controls_table.h"
#include "elevation_win.h"
#include "windows_file_system.h"
#include "image_area.h"
#include "image_elements.h"
#include "keep_sky.h"
#include "pictures.h"
#include "recognition.h"
#include "recognition_worker.h"
#include "transfers.h"
#include "virtual_store.h"
#include "win_handles.h"
#include "window_layout.h"

namespace skyswap {

// Control ids are the table rows from here on; they stay clear of IDOK and IDCANCEL, which
// IsDialogMessage sends for Enter and Escape.
constexpr int kFirstControlId = 1000;

class Form1 final : public ImageElements {
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
        // The known folders that decide where the game's shadow copies are.
        std::function<KnownFolders()> knownFolders;
        // The file system for discovery, descriptions and transfers; the real one when null.
        FileSystem* fileSystem = nullptr;
    };

    explicit Form1(HINSTANCE instance) : Form1(instance, Hooks{}) {}
    Form1(HINSTANCE instance, Hooks hooks);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // The VirtualStore folder of the user who started SkySwap, given to a restart that runs under
    // another account; without it the VirtualStore of this process's user is used.
    void UseVirtualStore(std::string folder) { virtualStore_ = std::move(folder); }
    // The game folder as the game sees it, shadow copies included.
    GameView& GameFolderView() { return gameView_; }

    // Creates the window and its controls and runs Form_Load. False when start-up failed: the
    // user has been told, and the window is gone.
    bool Create(int showCommand);

    // Null once the window is gone.
    HWND hwnd() const { return hwnd_; }
    // A control by its name and, for Image1 and Shape1, its element number.
    HWND Control(std::wstring_view name, int arrayIndex = kNoIndex) const;
    HWND ToolTip() const { return toolTip_; }
    const ImageArea& Image1(int element) const;
    const ImageArea& Image2() const;
    const PictureRef& Placeholder() const { return placeholder_; }
    const AppState& State() const { return state_; }
    // True when Image1 element `element` is a slot showing the set the game holds.
    bool SlotShowsInstalledSet(int element) const;
    // What the window knows the game folder holds; nothing until recognition has told.
    const std::optional<InstalledSky>& InstalledSet() const { return knowledge_.installed; }
    // The image element that is the Tab stop of the thumbnail grid.
    int ImageStop() const { return imageStop_; }
    // True while downloads are being added.
    bool Adding() const { return adder_.Running(); }

    // ImageElements, through which the paging logic fills the slots.
    bool LoadPlaceholder(const std::string& path) override;
    void ShowPlaceholder(int element) override;
    bool LoadPicture(int element, const std::string& path) override;
    void SetVisible(int element, bool visible) override;
    void SetToolTip(int element, const std::string& text) override;

  private:
    // Posted by adder_ when its outcome is ready; clear of form1.cpp's WM_APP messages.
    static constexpr UINT kAddDoneMessage = WM_APP + 4;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool Form_Load(int showCommand);
    void Form_Resize();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Image1_Click(int index);
    void Image1_MouseMove(int index);
    bool Image1_KeyDown(int index, UINT key);
    void ActivateImage(int index);

    // The keyboard and screen readers (form1_keyboard.cpp).
    void ConnectImageElements();
    int ImageElementOf(HWND window) const;
    void MoveImageStop(int element, bool focus);
    void ImageHiding(int element);
    LRESULT OnNotify(const NMHDR& header);
    void OnNextDlgCtl(WPARAM wParam, LPARAM lParam);
    void OnSystemColoursChanged();

    // Adding downloaded skies (form1_add.cpp).
    void AcceptDownloads();
    void OnDropFiles(HDROP drop);
    LRESULT OnCopyData(const COPYDATASTRUCT& data);
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
    void LoadArrowIcons();
    void UpdateDpiResources();
    void OnCommand(int id, int code);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    LRESULT DefaultButtonForEnter() const;
    void ShowTransferOutcome(const TransferReport& report);
    void RunGameTransfer(GameTransfer transfer);
    // Tells what was kept before a transfer, or why keeping failed (offering a restart as
    // administrator when Windows refused the new set's folder). False when the transfer did not
    // run.
    bool ShowKeeping(const GameTransferOutcome& outcome);
    void StartRecognition();
    void OnRecognitionDone();
    void ShowInstalledSky();
    void AfterTransferIntoGame(const TransferReport& report);
    void FindShadowCopies();
    void OfferRestartAsAdministrator(const TransferReport& report);
    void OfferRestartAsAdministrator(const std::string& offer);
    FileSystem& Files() { return *files_; }
    void InstallationFailed();
    HWND CommandButton(int row) const { return controls_[row]; }
    ImageArea& Image1Area(int element);
    ImageArea& Image2Area() { return *imageAreas_[RowOf(L"Image2")]; }

    HINSTANCE instance_;
    Hooks hooks_;
    HWND hwnd_ = nullptr;
    HWND toolTip_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    AppState state_;
    WindowsFileSystem fileSystem_;
    FileSystem* files_;
    GameView gameView_;
    std::string virtualStore_;        // as given to UseVirtualStore
    std::string virtualStoreFolder_;  // the one in use, passed on to a restart
    PictureLoader pictures_;
    PictureRef placeholder_;
    UINT dpi_ = 96;
    int imageStop_ = 0;  // element number
    bool followingDpiChange_ = false;
    WindowLayout layout_;
    std::array<HWND, kControlCount> controls_{};
    std::array<std::unique_ptr<ImageArea>, kControlCount> imageAreas_;
    std::array<int, kImageElementCount> image1Rows_{};
    std::array<std::wstring, kImageElementCount> toolTipTexts_;
    std::array<std::wstring, 4> fontFaces_;          // by FontRole: the first face installed
    std::array<UniqueFont, kControlCount> fonts_;    // each control's own, at its scaled size
    std::array<float, kControlCount> fontPoints_{};  // the size each of fonts_ was made at
    std::array<int, 2> arrowIconSizes_{};            // back, next: the image size shown
    UniqueFont toolTipFont_;                         // the tooltip's, made for dpi_
    UniqueIcon bigIcon_;                             // the title bar's and the taskbar's,
    UniqueIcon smallIcon_;                           // loaded at the sizes for dpi_
    SkyKnowledge knowledge_;                         // what the game folder and ZTDef hold
    RecognitionWorker recognizer_;                   // stopped before the file systems go
    AddWorker adder_;                                // likewise
    std::vector<std::string> waitingDownloads_;      // dropped while adder_ was busy
    bool acceptingDownloads_ = false;                // once the library is known
};

}  // namespace skyswap
