// The start-up baseline: the least a Win32 program can do to put a painted window on the screen,
// built by the same toolchain as SkySwap and signalling its first paint the same way.
//
// Built as bare_imaging_window (SKYSWAP_BARE_IMAGING), it also does what any program that shows
// pictures with the system's own means must: COM, the common controls 6 (its manifest asks for
// them), the Windows Imaging Component, and one JPEG (nosky.jpg of its current folder) decoded
// and painted. Its memory is the floor that SkySwap's own share is measured above.
#include <windows.h>

#ifdef SKYSWAP_BARE_IMAGING
#include <commctrl.h>
#include <wincodec.h>

#include "bare_decode_win.h"
#endif

#include "startup_signal.h"

namespace {

#ifdef SKYSWAP_BARE_IMAGING
HBITMAP picture = nullptr;
UINT pictureWidth = 0;
UINT pictureHeight = 0;

// nosky.jpg as a 32-bit DIB, or nothing.
void DecodeOneJpeg() {
    IWICImagingFactory* factory = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&factory)))) {
        picture = skyswap::bench::BareDecode(factory, L"nosky.jpg", GUID_WICPixelFormat32bppPBGRA,
                                             pictureWidth, pictureHeight);
        factory->Release();
    }
}

void PaintPicture(HDC dc) {
    if (picture == nullptr) {
        return;
    }
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(source, picture);
    BitBlt(dc, 0, 0, static_cast<int>(pictureWidth), static_cast<int>(pictureHeight), source, 0, 0,
           SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}
#endif

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT client;
            GetClientRect(window, &client);
#ifdef SKYSWAP_BARE_IMAGING
            PaintPicture(dc);
#endif
            DrawTextW(dc, L"Bare window", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
#ifdef SKYSWAP_BARE_IMAGING
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    DecodeOneJpeg();
#endif
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = L"SkySwapBareWindow";
    if (!RegisterClassExW(&windowClass)) {
        return 1;
    }
    // About SkySwap's size, so both put as many pixels on the screen.
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Bare window", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, showCommand);
    skyswap::SignalFirstPaintIfAsked(window);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
