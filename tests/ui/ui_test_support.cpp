#include "ui_test_support.h"

#include <commctrl.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include <gtest/gtest.h>

#include "text_win.h"

namespace skyswap::test {

using Microsoft::WRL::ComPtr;

namespace {

// COM for the imaging component and the common controls, as the program's entry point sets up.
class WindowEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void TearDown() override { CoUninitialize(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WindowEnvironment);

void Check(HRESULT result, const char* what) {
    if (FAILED(result)) {
        throw std::runtime_error(std::string("cannot write a picture: ") + what);
    }
}

}  // namespace

void WritePicture(const std::string& path, int width, int height, COLORREF colour,
                  ImageFormat format) {
    ComPtr<IWICImagingFactory> factory;
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(factory.GetAddressOf())),
          "factory");
    ComPtr<IWICStream> stream;
    Check(factory->CreateStream(stream.GetAddressOf()), "stream");
    Check(stream->InitializeFromFilename(Utf8ToWide(path).c_str(), GENERIC_WRITE), "file");
    ComPtr<IWICBitmapEncoder> encoder;
    Check(factory->CreateEncoder(
              format == ImageFormat::Jpeg ? GUID_ContainerFormatJpeg : GUID_ContainerFormatBmp,
              nullptr, encoder.GetAddressOf()),
          "encoder");
    Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "encoder");
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    Check(encoder->CreateNewFrame(frame.GetAddressOf(), options.GetAddressOf()), "frame");
    Check(frame->Initialize(options.Get()), "frame");
    Check(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)), "size");
    WICPixelFormatGUID pixelFormat = GUID_WICPixelFormat24bppBGR;
    Check(frame->SetPixelFormat(&pixelFormat), "pixel format");
    if (pixelFormat != GUID_WICPixelFormat24bppBGR) {
        throw std::runtime_error("the encoder wants another pixel format");
    }
    const UINT stride = (static_cast<UINT>(width) * 3 + 3) & ~3u;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            char* pixel = &pixels[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            pixel[0] = static_cast<char>(GetBValue(colour));
            pixel[1] = static_cast<char>(GetGValue(colour));
            pixel[2] = static_cast<char>(GetRValue(colour));
        }
    }
    Check(frame->WritePixels(static_cast<UINT>(height), stride, static_cast<UINT>(pixels.size()),
                             reinterpret_cast<BYTE*>(pixels.data())),
          "pixels");
    Check(frame->Commit(), "commit");
    Check(encoder->Commit(), "commit");
}

COLORREF ThumbnailColour(int set) {
    return RGB((set * 67 + 20) % 256, (set * 151 + 90) % 256, (set * 37 + 160) % 256);
}

void MakePictureLibrary(const TempFolder& temp, int count) {
    MakeLibrary(temp, count);
    const std::string library = kLibrary;
    WritePicture(temp.Join(library + "\\nosky.jpg"), 200, 129, kPlaceholderColour,
                 ImageFormat::Jpeg);
    for (int n = 0; n < count; ++n) {
        const std::string set = "ZT" + std::to_string(n);
        WritePicture(temp.Join(library + "\\" + set + "\\" + set + ".bmp"), 100 + (n * 17) % 150,
                     60 + (n * 13) % 90, ThumbnailColour(n), ImageFormat::Bmp);
        temp.WriteFile(library + "\\" + set + "\\" + set + ".txt", "Sky " + std::to_string(n));
    }
}

StartedForm::StartedForm(const TempFolder& temp, const std::string& folder, MainWindow::Hooks hooks,
                         LibraryRequest resume)
    : folder_(temp.Join(folder)) {
    hooks.messageBox = [this](HWND, const std::wstring& text, const std::wstring& title,
                              UINT type) {
        messages.push_back({text, title, type});
        return answer;
    };
    hooks.programEnded = [this] { ended = true; };
    // Wine runs every program with an elevated token; a player's SkySwap runs without one.
    if (!hooks.isElevated) {
        hooks.isElevated = [] { return false; };
    }
    form_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), hooks);
    form_->ResumeAfterRestart(std::move(resume));
    started = form_->Create(SW_SHOWNORMAL);
}

RECT ClientRectOf(HWND control, HWND window) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT PlacedRect(MainWindow& form, std::wstring_view name, int arrayIndex) {
    if (name == L"ImageElement") {
        const GridElement& element = form.ImageElement(arrayIndex);
        RECT rect = element.rect();
        MapWindowPoints(element.grid(), form.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    return ClientRectOf(form.Control(name, arrayIndex), form.hwnd());
}

std::vector<RECT> ControlRects(MainWindow& form) {
    std::vector<RECT> rects;
    for (const ControlEntry& entry : kControls) {
        rects.push_back(PlacedRect(form, entry.name, entry.arrayIndex));
    }
    return rects;
}

LOGFONTW FontOf(HWND window) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    return font;
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const ULONGLONG until = GetTickCount64() + milliseconds;
    while (!done()) {
        if (GetTickCount64() > until) {
            return false;
        }
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return true;
}

double TwipsPerPixelOf(HWND window) {
    return 1440.0 / GetDpiForWindow(window);
}

FitRatios ExpectedFitRatios(HWND window) {
    const double dpi = GetDpiForWindow(window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const double width =
        std::nearbyint((monitor.rcMonitor.right - monitor.rcMonitor.left) * 96 / dpi);
    const double height =
        std::nearbyint((monitor.rcMonitor.bottom - monitor.rcMonitor.top) * 96 / dpi);
    return {width / 800, height / 600};
}

namespace {

// The button's down and up messages at `point` of `window`.
void SendClick(HWND window, POINT point, MouseButton button) {
    const LPARAM at = MAKELPARAM(point.x, point.y);
    const bool left = button == MouseButton::Left;
    SendMessageW(window, left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, left ? MK_LBUTTON : MK_RBUTTON,
                 at);
    SendMessageW(window, left ? WM_LBUTTONUP : WM_RBUTTONUP, 0, at);
}

}  // namespace

void Click(HWND control, MouseButton button) {
    RECT client{};
    GetClientRect(control, &client);
    SendClick(control, {client.right / 2, client.bottom / 2}, button);
}

void Click(const GridElement& element, MouseButton button) {
    const RECT& rect = element.rect();
    SendClick(element.grid(), {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2},
              button);
}

std::vector<MenuEntry> MenuEntries(HMENU menu) {
    std::vector<MenuEntry> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256]{};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        entries.push_back({info.wID, text, (info.fType & MFT_SEPARATOR) != 0,
                           (info.fState & MFS_DISABLED) == 0, (info.fState & MFS_DEFAULT) != 0});
    }
    return entries;
}

void MouseMove(const GridElement& element) {
    SendMessageW(element.grid(), WM_MOUSEMOVE, 0,
                 MAKELPARAM(element.rect().left + 3, element.rect().top + 3));
}

void PressKey(HWND dialog, UINT key, bool shift) {
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        MSG event{};
        event.hwnd = GetFocus() != nullptr ? GetFocus() : dialog;
        event.message = message;
        event.wParam = key;
        event.lParam = message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001) : 1;
        if (!IsDialogMessageW(dialog, &event)) {
            TranslateMessage(&event);
            DispatchMessageW(&event);
        }
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

void PumpMessages(HWND dialog) {
    MSG event{};
    while (PeekMessageW(&event, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog == nullptr || !IsWindow(dialog) || !IsDialogMessageW(dialog, &event)) {
            TranslateMessage(&event);
            DispatchMessageW(&event);
        }
    }
}

void PostKey(HWND dialog, UINT key, bool shift) {
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    HWND target = GetFocus() != nullptr ? GetFocus() : dialog;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    PumpMessages(dialog);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

void ResizeWindow(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT SendDpiChange(HWND window, UINT dpi) {
    const UINT now = GetDpiForWindow(window);
    RECT suggested{};
    RECT client{};
    GetWindowRect(window, &suggested);
    GetClientRect(window, &client);
    suggested.right += MulDiv(client.right, static_cast<int>(dpi), static_cast<int>(now)) -
                       client.right;
    suggested.bottom += MulDiv(client.bottom, static_cast<int>(dpi), static_cast<int>(now)) -
                        client.bottom;
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    return suggested;
}

PaintedPixels::PaintedPixels(int width, int height, const std::function<void(HDC)>& paint)
    : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueBitmap surface(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (width <= 0 || height <= 0 || !surface || !dc) {
        return;
    }
    {
        SelectionScope selected(dc.get(), surface.get());
        paint(dc.get());
        GdiFlush();
    }
    const auto* pixel = static_cast<const BYTE*>(bits);
    pixels_.reserve(static_cast<size_t>(width) * height);
    for (size_t n = 0; n < static_cast<size_t>(width) * height; ++n, pixel += 4) {
        pixels_.push_back(RGB(pixel[2], pixel[1], pixel[0]));
    }
}

COLORREF PaintedPixels::At(int x, int y) const {
    if (pixels_.empty() || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return CLR_INVALID;
    }
    return pixels_[static_cast<size_t>(y) * width_ + x];
}

namespace {

// The colour at a point of what `window` prints of its client area.
COLORREF PrintedColourAt(HWND window, int x, int y) {
    RECT client{};
    GetClientRect(window, &client);
    const PaintedPixels painted(client.right, client.bottom, [&](HDC dc) {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
    return painted.At(x, y);
}

}  // namespace

COLORREF ColourAt(const ImageArea& area, int x, int y) {
    return PrintedColourAt(area.hwnd(), x, y);
}

COLORREF ColourAt(const GridElement& element, int x, int y) {
    const SIZE size = element.ClientSize();
    if (x < 0 || y < 0 || x >= size.cx || y >= size.cy) {
        return CLR_INVALID;
    }
    return PrintedColourAt(element.grid(), element.rect().left + x, element.rect().top + y);
}

COLORREF CentreColour(const GridElement& element) {
    const SIZE size = element.ClientSize();
    return ColourAt(element, size.cx / 2, size.cy / 2);
}

COLORREF CentreColour(const ImageArea& area) {
    RECT client{};
    GetClientRect(area.hwnd(), &client);
    return ColourAt(area, client.right / 2, client.bottom / 2);
}

bool Near(COLORREF actual, COLORREF expected, int tolerance) {
    return actual != CLR_INVALID &&
           std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

std::string HostPath(const std::string& path) {
    std::string windowsPath = path;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    return !path.empty() && path[0] == '/' ? "Z:" + windowsPath : windowsPath;
}

std::wstring ToolTipText(MainWindow& form, int element) {
    wchar_t buffer[1024]{};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = form.ImageGridWindow();
    tool.uId = static_cast<UINT_PTR>(element);
    tool.lpszText = buffer;
    SendMessageW(form.ToolTip(), TTM_GETTEXTW, std::size(buffer), reinterpret_cast<LPARAM>(&tool));
    return buffer;
}

int FocusedElement(MainWindow& form) {
    return GetFocus() != nullptr && GetFocus() == form.ImageGridWindow() ? form.ImageStop() : -1;
}

std::wstring WindowText(HWND window) {
    wchar_t buffer[1024]{};
    GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;  // null: any, shown or not
    HWND found;
};

BOOL CALLBACK NoteWindowOfClass(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<WindowSearch*>(search);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64]{};
    GetClassNameW(window, className, 64);
    if (processId == wanted->processId && std::wstring(className) == wanted->className &&
        (wanted->title == nullptr ||
         (WindowText(window) == wanted->title && IsWindowVisible(window)))) {
        wanted->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND AwaitWindow(WindowSearch search, HWND parent) {
    for (int waited = 0; waited < 30000 && search.found == nullptr; waited += 100) {
        if (parent != nullptr) {
            EnumChildWindows(parent, NoteWindowOfClass, reinterpret_cast<LPARAM>(&search));
        } else {
            EnumWindows(NoteWindowOfClass, reinterpret_cast<LPARAM>(&search));
        }
        if (search.found == nullptr) {
            Sleep(100);
        }
    }
    return search.found;
}

BOOL CALLBACK CollectContents(HWND child, LPARAM lParam) {
    auto* contents = reinterpret_cast<MessageBoxContents*>(lParam);
    wchar_t className[64]{};
    GetClassNameW(child, className, 64);
    const std::wstring name = className;
    const std::wstring text = WindowText(child);
    if (_wcsicmp(name.c_str(), L"Static") == 0 && !text.empty()) {
        contents->texts.push_back(text);
    } else if (_wcsicmp(name.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
        contents->buttons.push_back(text);
    }
    return TRUE;
}

}  // namespace

HWND FindProgramMessageBox(DWORD processId) {
    return AwaitWindow({processId, L"#32770", L"SkySwap", nullptr}, nullptr);
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className, HWND parent) {
    return AwaitWindow({processId, className, nullptr, nullptr}, parent);
}

void AwaitEnd(PROCESS_INFORMATION& process) {
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        ADD_FAILURE() << "the program did not end";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

MessageBoxContents ContentsOf(HWND box) {
    MessageBoxContents contents;
    EnumChildWindows(box, CollectContents, reinterpret_cast<LPARAM>(&contents));
    return contents;
}

std::vector<std::string> GameTags(const TempFolder& temp, int setCount,
                                  const std::vector<std::string>& extraTags) {
    std::vector<std::string> tags = extraTags;
    for (int n = 0; n < setCount; ++n) {
        tags.push_back("ZT" + std::to_string(n));
    }
    return TagsIn(temp, kGame, tags);
}

std::vector<std::string> Repeated(const std::string& tag) {
    return std::vector<std::string>(SkyFileNames().size(), tag);
}

}  // namespace skyswap::test
