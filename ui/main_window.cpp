#include "main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "discovery.h"
#include "dpi.h"
#include "high_contrast.h"
#include "known_folders_win.h"
#include "long_path_win.h"
#include "messages.h"
#include "owner_button.h"
#include "paging.h"
#include "resource.h"
#include "selection.h"
#include "shapes.h"
#include "system_library_win.h"
#include "text_win.h"

namespace skyswap {

namespace {

constexpr wchar_t kMainWindowClass[] = L"SkySwapMainWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

constexpr int kLibraryFrame = RowOf(L"LibraryFrame");
constexpr int kSelectionFrame = RowOf(L"SelectionFrame");
constexpr int kLoadToGameButton = RowOf(L"LoadToGame");
constexpr int kSaveMyDefaultButton = RowOf(L"SaveMyDefault");
constexpr int kLoadMyDefaultButton = RowOf(L"LoadMyDefault");
constexpr int kLoadGameDefaultButton = RowOf(L"LoadGameDefault");
constexpr int kExitButton = RowOf(L"Exit");
constexpr int kPreview = RowOf(L"Preview");
static_assert(kLibraryFrame >= 0 && kSelectionFrame >= 0 && kLoadToGameButton >= 0 && kSaveMyDefaultButton >= 0 && kLoadMyDefaultButton >= 0 &&
                  kLoadGameDefaultButton >= 0 && kExitButton >= 0 && kPreview >= 0,
              "the table lacks a control the window uses");

// Posted to the window: first paint done, recognise the installed sky; and its result is ready.
constexpr UINT kStartRecognitionMessage = WM_APP + 1;
constexpr UINT kRecognitionDoneMessage = WM_APP + 2;
// Posted once the window is up after a restart as administrator: carry on with what was asked.
constexpr UINT kCarryOnMessage = WM_APP + 3;
// Long descriptions wrap instead of running off the screen.
constexpr int kToolTipWidthAt96Dpi = 400;

std::wstring Title() {
    return Utf8ToWide(kProgramTitle);
}

// A bitmap face has a few fixed sizes: scaled, it comes out at the wrong size with wide gaps
// between its letters. Only outline faces count.
int CALLBACK NoteFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD fontType, LPARAM found) {
    if ((fontType & RASTER_FONTTYPE) != 0) {
        return 1;  // look on: the same name may come as an outline face too
    }
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool OutlineFaceInstalled(HDC dc, const wchar_t* face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(dc, &query, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// A group box does not paint its inside; the main window clips its children, so the frame
// paints it itself, or a hidden arrow would leave its old pixels behind.
LRESULT CALLBACK FrameSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    if (message == WM_NCDESTROY) {
        system32::RemoveWindowSubclass(window, FrameSubclass, id);
    }
    return system32::DefSubclassProc(window, message, wParam, lParam);
}

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

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, Hooks hooks)
    : instance_(instance),
      hooks_(std::move(hooks)),
      files_(hooks_.fileSystem != nullptr ? hooks_.fileSystem : &fileSystem_),
      gameView_(*files_) {
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
    if (!hooks_.isElevated) {
        hooks_.isElevated = ProcessIsElevated;
    }
    if (!hooks_.onNetworkShare) {
        hooks_.onNetworkShare = FolderOnNetworkShare;
    }
    if (!hooks_.knownFolders) {
        hooks_.knownFolders = ThisUsersKnownFolders;
    }
    elementRows_.fill(-1);
}

MainWindow::~MainWindow() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool MainWindow::Create(int showCommand) {
    if (!RegisterMainWindowClass(instance_, WindowProc) || !ImageArea::RegisterWindowClass(instance_) ||
        !RegisterShapeClasses(instance_)) {
        return false;
    }
    CreateWindowExW(kWindowExStyle, kMainWindowClass, Title().c_str(), kWindowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
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
    ConnectImageElements();
    CreateToolTips();
    LoadCreationPictures();
    return OpenLibrary(showCommand);
}

HWND MainWindow::Control(std::wstring_view name, int arrayIndex) const {
    const int row = RowOf(name, arrayIndex);
    return row >= 0 ? controls_[row] : nullptr;
}

const ImageArea& MainWindow::ImageElement(int element) const {
    return *imageAreas_[elementRows_[element]];
}

const ImageArea& MainWindow::Preview() const {
    return *imageAreas_[kPreview];
}

ImageArea& MainWindow::ImageElementArea(int element) {
    return *imageAreas_[elementRows_[element]];
}

bool MainWindow::LoadPlaceholder(const std::string& path) {
    placeholder_ = pictures_.FromFile(WinPath(path));
    return placeholder_ != nullptr;
}

void MainWindow::ShowPlaceholder(int element) {
    if (element >= 0 && element < kImageElementCount) {
        ImageElementArea(element).SetPicture(placeholder_);
        ImageElementArea(element).NameChanged();
    }
}

bool MainWindow::LoadPicture(int element, const std::string& path) {
    if (element < 0 || element >= kImageElementCount) {
        return false;
    }
    PictureRef picture = pictures_.FromFile(WinPath(path));
    if (!picture) {
        return false;
    }
    ImageElementArea(element).SetPicture(std::move(picture));
    ImageElementArea(element).NameChanged();
    return true;
}

void MainWindow::SetVisible(int element, bool visible) {
    if (element >= 0 && element < kImageElementCount) {
        if (!visible) {
            ImageHiding(element);
        }
        ShowWindow(ImageElementArea(element).hwnd(), visible ? SW_SHOWNA : SW_HIDE);
    }
}

void MainWindow::SetToolTip(int element, const std::string& text) {
    if (element < 0 || element >= kImageElementCount) {
        return;
    }
    std::wstring wide = Utf8ToWide(text);
    // The mouse moves often; resetting an unchanged text would make a shown tip flicker.
    if (wide == toolTipTexts_[element]) {
        return;
    }
    toolTipTexts_[element] = std::move(wide);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(ImageElementArea(element).hwnd());
    tool.lpszText = toolTipTexts_[element].data();
    SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
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
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
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
    if (DiscoverLibrary(state_, Files()) != DiscoveryResult::Ok ||
        !LoadPlaceholder(state_.libraryFolder + "\\nosky.jpg")) {
        InstallationFailed();
        return false;
    }
    // The program's start has made sure that no other SkySwap holds this library.
    RemoveUnfinishedSets(state_, Files());
    FindShadowCopies();
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
    // A fault (a size beyond the limits) abandons the rescaling; the layout stays as it was.
    skyswap::RescaleToWindowSize(state_, layout_);
    ApplyLayout();
}

void MainWindow::OnLoadToGameClicked() {
    RunGameTransfer(GameTransfer::InstallSelected);
    SetFocus(CommandButton(kExitButton));
}

void MainWindow::OnSaveMyDefaultClicked() {
    SaveMyDefault();
}

bool MainWindow::SaveMyDefault() {
    if (!FinishAdding()) {
        return false;  // restarted as administrator
    }
    recognizer_.Stop();
    SYSTEMTIME today{};
    GetLocalTime(&today);
    const GameTransferOutcome outcome = RunSaveMyDefault(
        state_, Files(), knowledge_, KeptDefaultDescription(today.wYear, today.wMonth, today.wDay));
    const ResumedRequest request = RequestFor(ResumedAction::SaveDefault);
    const bool saveRan = ShowKeeping(outcome, request);
    if (hwnd_ == nullptr) {
        return false;  // restarted as administrator
    }
    if (!knowledge_.installed) {
        StartRecognition();  // the one stopped above, or ZTDef was only partly replaced
    }
    ShowInstalledSky();
    if (saveRan) {
        ShowTransferOutcome(outcome.transfer, request);
    }
    return saveRan && outcome.transfer.ok();
}

void MainWindow::OnLoadMyDefaultClicked() {
    RunGameTransfer(GameTransfer::LoadMyDefault);
}

void MainWindow::OnLoadGameDefaultClicked() {
    RunGameTransfer(GameTransfer::LoadGameDefault);
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
        PreviewArea().SetPicture(ImageElementArea(index).picture());
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

void MainWindow::ShowTransferOutcome(const TransferReport& report, const ResumedRequest& request) {
    if (!report.ok() && !report.protectedFolder.empty() &&
        (!hooks_.isElevated() || hooks_.onNetworkShare(report.protectedFolder))) {
        RefusedForRights(report, request);
        return;
    }
    const std::string message = TransferMessage(report);
    if (!message.empty()) {
        hooks_.messageBox(hwnd_, Utf8ToWide(message), Title(), MB_OK | MB_ICONWARNING);
    }
}

bool MainWindow::RunGameTransfer(GameTransfer transfer) {
    // A set being added would race a sky kept as a set for its number.
    if (!FinishAdding()) {
        return false;
    }
    // A recognition under way would race the transfer; the transfer checks what the game holds.
    recognizer_.Stop();
    SYSTEMTIME today{};
    GetLocalTime(&today);
    // Through the game's view: the sky that is kept is the one the game shows, shadow copies
    // included; every change still goes to the game folder itself.
    // The files in the game folder itself, which the game does not see behind shadow copies,
    // are replaced too: they are looked at as well.
    const GameTransferOutcome outcome = skyswap::RunGameTransfer(
        transfer, state_, gameView_, knowledge_,
        KeptDescription(today.wYear, today.wMonth, today.wDay), gameView_.BehindShadows());
    const ResumedRequest request =
        RequestFor(transfer == GameTransfer::InstallSelected ? ResumedAction::Install
                   : transfer == GameTransfer::LoadMyDefault ? ResumedAction::MyDefault
                                                             : ResumedAction::GameDefault);
    if (ShowKeeping(outcome, request)) {
        AfterTransferIntoGame(outcome.transfer, request);
    }
    const bool done = outcome.FailedKeep() == nullptr && outcome.transfer.ok();
    if (hwnd_ == nullptr) {
        return done;  // restarted as administrator
    }
    if (!knowledge_.installed) {
        StartRecognition();  // the one stopped above, or files were only partly replaced
    }
    ShowInstalledSky();
    return done;
}

bool MainWindow::ShowKeeping(const GameTransferOutcome& outcome, const ResumedRequest& request) {
    if (const KeepOutcome* failed = outcome.FailedKeep()) {
        if (failed->LibraryRefused() &&
            (!hooks_.isElevated() || hooks_.onNetworkShare(state_.gameFolder))) {
            // The library sits in the game folder, which Windows protects.
            TransferReport refused;
            refused.status = TransferStatus::StagingFailed;
            refused.protectedFolder = state_.gameFolder;
            RefusedForRights(refused, request);
        } else {
            hooks_.messageBox(hwnd_, Utf8ToWide(KeepFailedMessage(*failed)), Title(),
                              MB_OK | MB_ICONWARNING);
        }
        return false;
    }
    const std::vector<const KeepOutcome*> kept = outcome.Kept();
    if (!kept.empty()) {
        ShowPage(state_, *this);  // the kept sets may belong on this page
    }
    for (const KeepOutcome* keep : kept) {
        hooks_.messageBox(hwnd_, Utf8ToWide(KeptMessage(*keep)), Title(),
                          MB_OK | MB_ICONINFORMATION);
    }
    return true;
}

void MainWindow::StartRecognition() {
    // The first page is painted before the worker competes with it for the disk.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    recognizer_.Start(hwnd_, kRecognitionDoneMessage, gameView_, SnapshotOf(state_));
}

void MainWindow::OnRecognitionDone() {
    if (std::optional<Recognition> result = recognizer_.TakeResult()) {
        knowledge_.Learn(*result);
        ShowInstalledSky();
    }
}

bool MainWindow::SlotShowsInstalledSet(int element) const {
    return element >= 0 && element < kSlotCount && knowledge_.installed &&
           knowledge_.installed->source == SkySource::Set &&
           knowledge_.installed->set == state_.pageFirst + element &&
           knowledge_.installed->set < state_.setCount;
}

void MainWindow::ShowInstalledSky() {
    if (hwnd_ == nullptr) {
        return;
    }
    const std::string description = InstalledSetDescription(state_, Files(), knowledge_.installed);
    SetWindowTextW(hwnd_, Utf8ToWide(InstalledTitle(knowledge_.installed, description)).c_str());
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ImageElementArea(slot).SetMarked(SlotShowsInstalledSet(slot));
    }
}

void MainWindow::InstallationFailed() {
    hooks_.messageBox(hwnd_, Utf8ToWide(kInstallationMessage), Title(), MB_OK);
    DestroyWindow(hwnd_);
}

void MainWindow::ChooseFontFaces() {
    WindowDc dc(hwnd_);
    for (FontRole role : {FontRole::Window, FontRole::FrameCaption, FontRole::ExitCaption}) {
        const FontChoice& design = FontFor(role);
        const wchar_t* face = design.faces[0];  // the font mapper's best match when none is found
        for (const wchar_t* candidate : design.faces) {
            if (candidate != nullptr && OutlineFaceInstalled(dc.get(), candidate)) {
                face = candidate;
                break;
            }
        }
        fontFaces_[static_cast<size_t>(role)] = face;
    }
}

// Gives a control a font at the size the layout holds for it, when that size changed.
void MainWindow::UpdateFont(int row) {
    const FontRole role = kControls[row].font;
    const float points = layout_.Geometry()[row].fontPoints;
    if (role == FontRole::None || (fonts_[row] && points == fontPoints_[row])) {
        return;
    }
    const FontChoice& design = FontFor(role);
    LOGFONTW font{};
    font.lfHeight = -FontPixelHeight(points, layout_.TwipsPerPixel());
    font.lfWeight = design.bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = design.italic ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_OUTLINE_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    wcsncpy(font.lfFaceName, fontFaces_[static_cast<size_t>(role)].c_str(), LF_FACESIZE - 1);
    UniqueFont created(CreateFontIndirectW(&font));
    if (!created) {
        return;
    }
    SendMessageW(controls_[row], WM_SETFONT, reinterpret_cast<WPARAM>(created.get()), TRUE);
    fonts_[row] = std::move(created);  // the old font goes once the control has the new one
    fontPoints_[row] = points;
}

bool MainWindow::CreateControls() {
    for (int row = 0; row < kControlCount; ++row) {
        const ControlEntry& design = kControls[row];
        const PixelRect rect = layout_.Place(row);
        const int id = kFirstControlId + row;
        auto* const menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
        const wchar_t* caption = design.caption.empty() ? nullptr : design.caption.data();
        HWND control = nullptr;
        switch (design.kind) {
            case ControlKind::Frame:
                control = CreateWindowExW(0, WC_BUTTONW, caption, kChildStyle | BS_GROUPBOX,
                                          rect.left, rect.top, rect.width, rect.height, hwnd_, menu,
                                          instance_, nullptr);
                if (control != nullptr) {
                    system32::SetWindowSubclass(control, FrameSubclass, 0, 0);
                }
                break;
            case ControlKind::Rectangle:
                control =
                    CreateWindowExW(0, kRectangleClass, nullptr, kChildStyle, rect.left, rect.top,
                                    rect.width, rect.height, hwnd_, menu, instance_, nullptr);
                break;
            case ControlKind::Line:
                control = CreateWindowExW(0, kLineClass, nullptr, kChildStyle, rect.left, rect.top,
                                          rect.width, rect.height, hwnd_, menu, instance_, nullptr);
                break;
            case ControlKind::Button:
                control = CreateWindowExW(
                    0, WC_BUTTONW, caption, kChildStyle | WS_TABSTOP | BS_OWNERDRAW, rect.left,
                    rect.top, rect.width, rect.height, hwnd_, menu, instance_, nullptr);
                break;
            case ControlKind::ImageArea: {
                auto area = std::make_unique<ImageArea>();
                if (area->Create(instance_, hwnd_, id, rect)) {
                    control = area->hwnd();
                    if (design.name == L"ImageElement") {
                        elementRows_[design.arrayIndex] = row;
                    }
                    imageAreas_[row] = std::move(area);
                }
                break;
            }
        }
        if (control == nullptr) {
            return false;
        }
        controls_[row] = control;
        UpdateFont(row);
    }
    return std::all_of(elementRows_.begin(), elementRows_.end(), [](int row) { return row >= 0; });
}

void MainWindow::ApplyLayout() {
    for (int row = 0; row < kControlCount; ++row) {
        const PixelRect rect = layout_.Place(row);
        SetWindowPos(controls_[row], nullptr, rect.left, rect.top, rect.width, rect.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateFont(row);
    }
    LoadArrowIcons();
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0,
                 MulDiv(kToolTipWidthAt96Dpi, static_cast<int>(dpi_), kDefaultDpi));
}

void MainWindow::StackControls() {
    // Tab moves along the stacking order, so the buttons go on top in their tab order. The frames
    // go to the bottom, where they cannot paint over what they hold, and the outlines below the
    // arrows they frame.
    const auto layer = [](ControlKind kind) {
        switch (kind) {
            case ControlKind::Button:
                return 0;
            case ControlKind::ImageArea:
                return 1;
            case ControlKind::Rectangle:
            case ControlKind::Line:
                return 2;
            case ControlKind::Frame:
                break;
        }
        return 3;
    };
    std::array<int, kControlCount> order{};
    for (int row = 0; row < kControlCount; ++row) {
        order[row] = row;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int layerA = layer(kControls[a].kind);
        const int layerB = layer(kControls[b].kind);
        if (layerA != layerB) {
            return layerA < layerB;
        }
        return layerA == 0 && kControls[a].tabIndex < kControls[b].tabIndex;
    });
    HWND above = HWND_TOP;
    for (int row : order) {
        SetWindowPos(controls_[row], above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = controls_[row];
    }
}

void MainWindow::CreateToolTips() {
    toolTip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    if (toolTip_ == nullptr) {
        return;
    }
    for (int element = 0; element < kImageElementCount; ++element) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(ImageElementArea(element).hwnd());
        tool.lpszText = toolTipTexts_[element].data();
        SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0,
                 MulDiv(kToolTipWidthAt96Dpi, static_cast<int>(dpi_), kDefaultDpi));
    if (toolTipFont_) {
        SendMessageW(toolTip_, WM_SETFONT, reinterpret_cast<WPARAM>(toolTipFont_.get()), FALSE);
    }
}

void MainWindow::LoadCreationPictures() {
    ImageElementArea(kRandomElement).SetPicture(pictures_.FromResource(instance_, IDR_RANDOM_JPEG));
    LoadArrowIcons();
}

// Each arrow shows the icon image nearest to the size it is drawn at, so it stays sharp at
// every display scaling and window size.
void MainWindow::LoadArrowIcons() {
    const std::array<std::pair<int, int>, 2> arrows{
        {{kBackArrow, IDI_BACK_ARROW}, {kNextArrow, IDI_NEXT_ARROW}}};
    for (std::size_t i = 0; i < arrows.size(); ++i) {
        const auto [element, resource] = arrows[i];
        const PixelRect rect = layout_.Place(elementRows_[element]);
        const int size = NearestIconSize(rect.width, rect.height);
        if (size == arrowIconSizes_[i]) {
            continue;
        }
        if (PictureRef icon = PictureLoader::IconFromResource(instance_, resource, size)) {
            ImageElementArea(element).SetPicture(std::move(icon));
            arrowIconSizes_[i] = size;
        }
    }
}

// What depends on the DPI beyond the layout: the window's icons and the tooltip's font.
void MainWindow::UpdateDpiResources() {
    const auto icon = [&](int width, int height) {
        return UniqueIcon(static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_SKYSWAP),
                                                        IMAGE_ICON, SystemMetricForDpi(width, dpi_),
                                                        SystemMetricForDpi(height, dpi_), 0)));
    };
    UniqueIcon big = icon(SM_CXICON, SM_CYICON);
    UniqueIcon small = icon(SM_CXSMICON, SM_CYSMICON);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    bigIcon_ = std::move(big);  // the old icons go once the window has the new ones
    smallIcon_ = std::move(small);

    const NONCLIENTMETRICSW metrics = NonClientMetricsForDpi(dpi_);
    UniqueFont font(CreateFontIndirectW(&metrics.lfStatusFont));
    if (font && toolTip_ != nullptr) {
        SendMessageW(toolTip_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    toolTipFont_ = std::move(font);
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
    } else if (design.kind == ControlKind::ImageArea && design.name == L"ImageElement") {
        if (code == kImageAreaClicked) {
            OnImageElementClicked(design.arrayIndex);
        } else if (code == kImageAreaMouseMove) {
            OnImageElementMouseMove(design.arrayIndex);
        }
    }
}

void MainWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const int row = static_cast<int>(item.CtlID) - kFirstControlId;
    if (row < 0 || row >= kControlCount || kControls[row].kind != ControlKind::Button) {
        return;
    }
    DrawOwnerButton(item, ButtonFace(kControls[row].face), fonts_[row].get(), dpi_);
}

// One path with the creation's: the layout keeps its twips and is drawn at the new DPI, the
// fonts, icons and tooltip are made anew for it, and the window takes the suggested rectangle.
void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const UINT oldDpi = dpi_;
    dpi_ = dpi != 0 ? dpi : kDefaultDpi;
    layout_.SetDpi(dpi_);
    fontPoints_.fill(0);  // the same sizes take other pixel heights now
    UpdateDpiResources();
    followingDpiChange_ = true;  // the size notification is no resize by the user
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    followingDpiChange_ = false;
    // Where the system gave the client area its old size at the new DPI (to a pixel), the
    // layout's twips stay exactly as they were, so moving back restores every pixel; where it
    // gave another size (a window larger than the screen is cut down), the layout follows.
    RECT now{};
    GetClientRect(hwnd_, &now);
    const auto ratio = [&](LONG before, LONG after) {
        const int expected = MulDiv(before, static_cast<int>(dpi_), static_cast<int>(oldDpi));
        return std::abs(after - expected) <= 1 || before == 0
                   ? 1.0F
                   : static_cast<float>(after) * static_cast<float>(oldDpi) /
                         (static_cast<float>(before) * static_cast<float>(dpi_));
    };
    FollowDpiChange(state_, layout_, ratio(client.right, now.right),
                    ratio(client.bottom, now.bottom));
    ApplyLayout();
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
