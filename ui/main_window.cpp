#include "main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

#include "dpi.h"
#include "elevation_win.h"
#include "library_services_win.h"
#include "paging.h"
#include "resource.h"
#include "selection.h"
#include "shapes.h"
#include "text_win.h"
#include "window_messages.h"

namespace skyswap {

namespace {

constexpr wchar_t kMainWindowClass[] = L"SkySwapMainWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;

bool RegisterMainWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    // The class icons serve until the window sets its own at the sizes for its monitor's DPI
    // (UpdateDpiResources).
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_SKYSWAP),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                      GetSystemMetrics(SM_CYICON), LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_SKYSWAP),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Windows' answers, where the hooks give none of their own.
SessionSystem SystemFor(const MainWindow::Hooks& hooks) {
    SessionSystem system = WindowsSessionSystem();
    if (hooks.isElevated) {
        system.isElevated = hooks.isElevated;
    }
    if (hooks.onNetworkShare) {
        system.onNetworkShare = hooks.onNetworkShare;
    }
    if (hooks.knownFolders) {
        system.knownFolders = hooks.knownFolders;
    }
    if (hooks.hasRecycleBin) {
        system.hasRecycleBin = hooks.hasRecycleBin;
    }
    if (hooks.removeSetFolder) {
        system.removeSetFolder = hooks.removeSetFolder;
    }
    if (hooks.noArchiveWriter) {
        system.archiveWriter.reset();
    }
    system.program = WideToUtf8(ThisProgramPath());
    system.driveMapping = hooks.driveMapping ? hooks.driveMapping : WindowsDriveMapping;
    return system;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, Hooks hooks)
    : instance_(instance),
      hooks_(std::move(hooks)),
      files_(hooks_.fileSystem != nullptr ? hooks_.fileSystem : &fileSystem_),
      session_(*files_, SystemFor(hooks_)),
      state_(session_.State()),
      knowledge_(session_.Knowledge()),
      gameView_(session_.GameFolderView()) {
    if (!hooks_.messageBox) {
        hooks_.messageBox = [](HWND owner, const std::wstring& text, const std::wstring& title,
                               UINT type) {
            return MessageBoxW(owner, text.c_str(), title.c_str(), type);
        };
    }
    if (!hooks_.programEnded) {
        hooks_.programEnded = [] { PostQuitMessage(0); };
    }
    if (!hooks_.restart) {
        hooks_.restart = StartThroughShell;
    }
    if (!hooks_.levelsApart) {
        hooks_.levelsApart = IntegrityLevelsKeepProgramsApart;
    }
    if (!hooks_.allowMessage) {
        hooks_.allowMessage = [](HWND window, UINT message) {
            ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
        };
    }
    elementRows_.fill(-1);
}

MainWindow::~MainWindow() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool MainWindow::Create(int showCommand) {
    if (!RegisterMainWindowClass(instance_, WindowProc) ||
        !ImageArea::RegisterWindowClass(instance_) || !ImageGrid::RegisterWindowClass(instance_) ||
        !RegisterShapeClasses(instance_)) {
        return false;
    }
    CreateWindowExW(kWindowExStyle, kMainWindowClass, ProgramTitle().c_str(), kWindowStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                    instance_, this);
    if (hwnd_ == nullptr) {
        return false;
    }
    // The size depends on the DPI of the monitor the window opens on, known only once it exists.
    dpi_ = WindowDpi(hwnd_);
    layout_.Attach(hwnd_, dpi_);
    const SIZE outer =
        OuterSizeForClient(DesignClientSize(layout_.TwipsPerPixel(), layout_.TwipsPerPixel()),
                           kWindowStyle, kWindowExStyle, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ChooseFontFaces();
    UpdateDpiResources();
    if (!CreateControls()) {
        DestroyWindow(hwnd_);
        return false;
    }
    StackControls();
    AddSystemMenuItems();
    ConnectImageElements();
    CreateToolTips();
    LoadCreationPictures();
    return OpenLibrary(showCommand);
}

HWND MainWindow::Control(std::wstring_view name, int arrayIndex) const {
    const int row = RowOf(name, arrayIndex);
    return row >= 0 ? controls_[row] : nullptr;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->hwnd_ = nullptr;
        form->toolTip_ = nullptr;
        form->controls_.fill(nullptr);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->HandleMessage(message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NEXTDLGCTL:
            OnNextDlgCtl(wParam, lParam);
            return 0;
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            OnSystemColoursChanged();
            break;
        case WM_DRAWITEM:
            OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_SIZE:
            RescaleToWindowSize();
            return 0;
        case WM_ENTERSIZEMOVE:
            inSizeMove_ = true;
            break;
        case WM_EXITSIZEMOVE:
            inSizeMove_ = false;
            FitPictures();
            break;
        case DM_GETDEFID:
            return DefaultButtonForEnter();
        case WM_ACTIVATE:
            // Keep the keyboard focus on a control across deactivation, as a dialog does.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd_, focus)) {
                    focusBeforeDeactivation_ = focus;
                }
            } else if (!HIWORD(wParam)) {
                HWND target = focusBeforeDeactivation_;
                if (target == nullptr || !IsWindow(target) || !IsWindowEnabled(target) ||
                    !IsWindowVisible(target)) {
                    target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
                }
                if (target != nullptr) {
                    SetFocus(target);
                    return 0;
                }
            }
            break;
        case WM_SYSCOMMAND:
            if (OnSystemCommand(wParam)) {
                return 0;
            }
            break;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case kStartRecognitionMessage:
            StartRecognition();
            return 0;
        case kRecognitionDoneMessage:
            OnRecognitionDone();
            return 0;
        case kCarryOnMessage:
            CarryOnAfterRestart();
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_COPYDATA:
            return OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case kAddDoneMessage:
            OnAddDone(wParam);
            return 0;
        case kConfirmHandedDownloadsMessage:
            OnConfirmHandedDownloads();
            return 0;
        case kPressImageElementMessage:
            if (wParam < static_cast<WPARAM>(kImageElementCount)) {
                OnImageElementClicked(static_cast<int>(wParam));
            }
            return 0;
        case WM_CONTEXTMENU:
            return OnContextMenu(reinterpret_cast<HWND>(wParam),
                                 {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        case WM_SETCURSOR:
            if (OnSetCursor(LOWORD(lParam))) {
                return TRUE;
            }
            break;
        case WM_DESTROY:
            adder_.Stop();
            recognizer_.Stop();
            hooks_.programEnded();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool MainWindow::OpenLibrary(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    // A fault here (an absurd screen metric) leaves the layout at its design size.
    FitToScreen(state_, layout_);
    ApplyLayout();
    // The program's start has made sure that no other SkySwap holds this library.
    if (!session_.Open(true) || !LoadPlaceholder(state_.libraryFolder + "\\nosky.jpg")) {
        InstallationFailed();
        return false;
    }
    AcceptDownloads();
    ShowPage(state_, *this);
    // Which sky the game holds is worked out once the first page is on the screen.
    PostMessageW(hwnd_, kStartRecognitionMessage, 0, 0);
    if (!resume_.empty()) {
        PostMessageW(hwnd_, kCarryOnMessage, 0, 0);
    }
    EnableWindow(CommandButton(kLoadToGameButton), FALSE);
    // As a dialog does, the first button that can take the focus has it at start.
    if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
        SetFocus(first);
    }
    return true;
}

void MainWindow::RescaleToWindowSize() {
    if (controls_[0] == nullptr || followingDpiChange_) {
        return;  // a size notification while the window is being made or moved to another DPI
    }
    // A notification that the layout code only consumes (the first showing's, before the layout
    // is fitted to the screen, and the fitting's own) changes no control: laying them all out
    // again for it cost a tenth of the start under Wine.
    const bool onlyConsumed = !state_.resizeArmed;
    // A fault (a size beyond the limits) abandons the rescaling; the layout stays as it was.
    skyswap::RescaleToWindowSize(state_, layout_);
    if (!onlyConsumed) {
        ApplyLayout();
    }
}

void MainWindow::OnLoadToGameClicked() {
    RunLibraryRequest(session_.RequestForChoice(LibraryAction::InstallSet));
    SetFocus(CommandButton(kExitButton));
}

void MainWindow::OnSaveMyDefaultClicked() {
    RunLibraryRequest(session_.RequestForChoice(LibraryAction::SaveMyDefault));
}

void MainWindow::OnLoadMyDefaultClicked() {
    RunLibraryRequest({LibraryAction::LoadMyDefault, 0, {}});
}

void MainWindow::OnLoadGameDefaultClicked() {
    RunLibraryRequest({LibraryAction::LoadGameDefault, 0, {}});
    SetFocus(CommandButton(kExitButton));
}

void MainWindow::OnExitClicked() {
    DestroyWindow(hwnd_);
}

void MainWindow::OnImageElementClicked(int index) {
    MoveImageStop(index, false);  // Shift+Tab comes back to the element clicked last
    ActivateImage(index);
    SetFocus(CommandButton(kLoadToGameButton));
}

void MainWindow::ActivateImage(int index) {
    if (index == kBackArrow || index == kNextArrow) {
        TurnPage(state_, *this, DirectionOf(index));
        ShowInstalledSky();
    } else {
        const GridElement& chosen = grid_.Element(index);
        ShowInPreview(chosen.picture(), chosen.maker());
    }
    EnableWindow(CommandButton(kLoadToGameButton), TRUE);
    EnableWindow(CommandButton(kLoadGameDefaultButton), TRUE);
    if (index == kRandomElement) {
        ChooseRandom(state_);
    } else if (index < kSlotCount) {
        ChooseSlot(state_, index);
    }
}

void MainWindow::OnImageElementMouseMove(int index) {
    DescribeSlot(state_, Files(), *this, index);
}

void MainWindow::OnCommand(int id, int code) {
    const int row = id - kFirstControlId;
    if (row < 0 || row >= kControlCount || controls_[row] == nullptr) {
        return;
    }
    const ControlEntry& design = kControls[row];
    if (design.kind == ControlKind::Button) {
        if (code != BN_CLICKED || !IsWindowEnabled(controls_[row])) {
            return;
        }
        switch (row) {
            case kLoadToGameButton:
                OnLoadToGameClicked();
                break;
            case kSaveMyDefaultButton:
                OnSaveMyDefaultClicked();
                break;
            case kLoadMyDefaultButton:
                OnLoadMyDefaultClicked();
                break;
            case kLoadGameDefaultButton:
                OnLoadGameDefaultClicked();
                break;
            case kExitButton:
                OnExitClicked();
                break;
            default:
                break;
        }
    }
}

LRESULT MainWindow::DefaultButtonForEnter() const {
    // Enter presses the button that has the focus, so the dialog manager is told it is the
    // default one.
    HWND focus = GetFocus();
    for (int row = 0; row < kControlCount; ++row) {
        if (kControls[row].kind == ControlKind::Button && controls_[row] == focus) {
            return MAKELRESULT(kFirstControlId + row, DC_HASDEFID);
        }
    }
    return 0;
}

}  // namespace skyswap
