// MainWindow's controls, fonts and pictures, and how they follow the layout and the DPI.
#include "main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "dpi.h"
#include "high_contrast.h"
#include "long_path_win.h"
#include "owner_button.h"
#include "resource.h"
#include "shapes.h"
#include "system_library_win.h"
#include "text_win.h"

namespace skyswap {

namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
// Long descriptions wrap instead of running off the screen.
constexpr int kToolTipWidthAt96Dpi = 400;

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

}  // namespace

const ImageArea& MainWindow::Preview() const {
    return preview_;
}

bool MainWindow::LoadPlaceholder(const std::string& path) {
    placeholderPath_ = WinPath(path);
    placeholders_.clear();
    return PlaceholderAt(ImageElement(0).ClientSize()) != nullptr;
}

PictureRef MainWindow::PlaceholderAt(SIZE box) {
    for (const PictureRef& made : placeholders_) {
        if (made->width() == box.cx && made->height() == box.cy) {
            return made;
        }
    }
    PictureRef picture = pictures_.FromFile(placeholderPath_, box);
    if (!picture) {
        // The file has gone or changed since the start: a placeholder of another size stretches.
        return placeholders_.empty() ? nullptr : placeholders_.front();
    }
    ForgetUnusedPlaceholders();
    placeholders_.push_back(picture);
    return picture;
}

// Sizes that no element shows any more are let go.
void MainWindow::ForgetUnusedPlaceholders() {
    placeholders_.erase(
        std::remove_if(placeholders_.begin(), placeholders_.end(),
                       [](const PictureRef& made) { return made.use_count() == 1; }),
        placeholders_.end());
}

PictureRef MainWindow::Placeholder() const {
    const SIZE box = ImageElement(0).ClientSize();
    for (const PictureRef& made : placeholders_) {
        if (made->width() == box.cx && made->height() == box.cy) {
            return made;
        }
    }
    return nullptr;
}

PictureMaker MainWindow::PlaceholderMaker() {
    return [this](SIZE box) { return PlaceholderAt(box); };
}

PictureMaker MainWindow::FileMaker(const std::string& path) {
    return [this, file = WinPath(path)](SIZE box) { return pictures_.FromFile(file, box); };
}

void MainWindow::ShowInPreview(const PictureRef& shown, const PictureMaker& maker) {
    ImageArea& preview = PreviewArea();
    const SIZE box = preview.ClientSize();
    // An element's picture of the preview's size serves as it is, without reading the file again.
    // Another is made anew at that size; where it cannot be (the file has gone), it stretches.
    const bool fits = shown && shown->width() == box.cx && shown->height() == box.cy;
    PictureRef picture = !fits && maker ? maker(box) : nullptr;
    preview.SetPicture(picture ? std::move(picture) : shown, maker);
}

void MainWindow::ShowPlaceholder(int element) {
    if (element >= 0 && element < kImageElementCount) {
        grid_.SetPicture(element, PlaceholderAt(ImageElement(element).ClientSize()),
                         PlaceholderMaker());
        grid_.NameChanged(element);
    }
}

bool MainWindow::LoadPicture(int element, const std::string& path) {
    if (element < 0 || element >= kImageElementCount) {
        return false;
    }
    PictureMaker maker = FileMaker(path);
    PictureRef picture = maker(ImageElement(element).ClientSize());
    if (!picture) {
        return false;
    }
    grid_.SetPicture(element, std::move(picture), std::move(maker));
    grid_.NameChanged(element);
    return true;
}

void MainWindow::SetVisible(int element, bool visible) {
    if (element >= 0 && element < kImageElementCount) {
        if (!visible) {
            ImageHiding(element);
        }
        grid_.SetVisible(element, visible);
    }
}

void MainWindow::SetToolTip(int element, const std::string& text) {
    if (element < 0 || element >= kImageElementCount) {
        return;
    }
    grid_.SetToolTipText(element, Utf8ToWide(text));
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
            case ControlKind::ImageArea:
                if (design.name == L"ImageElement") {
                    elementRows_[design.arrayIndex] = row;  // drawn by the image grid
                    continue;
                }
                if (preview_.Create(instance_, hwnd_, id, rect)) {
                    control = preview_.hwnd();
                }
                break;
        }
        if (control == nullptr) {
            return false;
        }
        controls_[row] = control;
        UpdateFont(row);
    }
    return std::all_of(elementRows_.begin(), elementRows_.end(),
                       [](int row) { return row >= 0; }) &&
           CreateImageGrid();
}

std::array<RECT, kImageElementCount> MainWindow::ImageElementRects() const {
    std::array<RECT, kImageElementCount> rects{};
    for (int element = 0; element < kImageElementCount; ++element) {
        const PixelRect place = layout_.Place(elementRows_[element]);
        rects[element] = {place.left, place.top, place.left + place.width,
                          place.top + place.height};
    }
    return rects;
}

void MainWindow::ApplyLayout() {
    for (int row = 0; row < kControlCount; ++row) {
        if (controls_[row] == nullptr) {
            continue;  // an image element
        }
        const PixelRect rect = layout_.Place(row);
        SetWindowPos(controls_[row], nullptr, rect.left, rect.top, rect.width, rect.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateFont(row);
    }
    LoadArrowIcons();
    grid_.Layout(ImageElementRects());
    // While the user drags the frame the pictures stretch; they are made again when it is let go.
    if (!inSizeMove_) {
        FitPictures();
    }
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
    // The image grid takes the place of the elements it draws.
    HWND above = HWND_TOP;
    bool gridStacked = false;
    for (int row : order) {
        HWND control = controls_[row];
        if (control == nullptr) {
            if (gridStacked) {
                continue;
            }
            control = grid_.hwnd();
            gridStacked = true;
        }
        SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = control;
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
    grid_.AttachToolTip(toolTip_);
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0,
                 MulDiv(kToolTipWidthAt96Dpi, static_cast<int>(dpi_), kDefaultDpi));
    if (toolTipFont_) {
        SendMessageW(toolTip_, WM_SETFONT, reinterpret_cast<WPARAM>(toolTipFont_.get()), FALSE);
    }
}

// Each picture is made once for its new box, so painting copies it pixel for pixel.
void MainWindow::FitPictures() {
    grid_.FitPictures();
    preview_.FitPicture();
    ForgetUnusedPlaceholders();
}

void MainWindow::LoadCreationPictures() {
    // Decoded at the first layout, once the window is shown and the element has its size.
    grid_.SetPicture(kRandomElement, nullptr, [this](SIZE box) {
        return pictures_.FromResource(instance_, IDR_RANDOM_JPEG, box);
    });
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
            grid_.SetPicture(element, std::move(icon));
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

}  // namespace skyswap
