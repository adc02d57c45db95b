// Turning a page and moving the mouse, in the real window: ten thumbnails read, decoded and
// painted per page, small (200 x 129, what libraries hold) and large (1024 x 768). Beside them
// the window's picture loader alone, stretching into a slot-sized bitmap, and the baseline: the
// plainest decode and HALFTONE stretch through the same Windows Imaging Component.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app_state.h"
#include "bare_decode_win.h"
#include "dpi.h"
#include "fixtures.h"
#include "main_window.h"
#include "image_area.h"
#include "picture_files.h"
#include "pictures.h"
#include "platform.h"
#include "system_library_win.h"
#include "text_win.h"

namespace skyswap::bench {
namespace {

using Microsoft::WRL::ComPtr;

constexpr int kPageSets = 2 * kSlotCount;
// A thumbnail slot at the design size.
constexpr int kSlotWidth = 133;
constexpr int kSlotHeight = 85;

struct PictureSize {
    const char* name;
    int width;
    int height;
};
constexpr PictureSize kSmall{"Small", 200, 129};
constexpr PictureSize kLarge{"Large", 1024, 768};

// A game folder with eaw.ini and a library of two pages of sets with thumbnails of one size.
std::string MakePageLibrary(const test::TempFolder& temp, const PictureSize& size) {
    const std::string root = std::string(size.name) + "\\";
    const std::string library = root + kLibraryFolder;
    temp.MakeFolder(library);
    temp.WriteFile(root + kGameFolder + "\\eaw.ini", "[EAW]\r\n");
    if (!WriteSkyJpeg(temp.Join(library + "\\nosky.jpg"), 200, 129, 99)) {
        throw std::runtime_error("cannot write nosky.jpg");
    }
    for (int n = 0; n < kPageSets; ++n) {
        const std::string set = library + "\\ZT" + std::to_string(n);
        const std::string name = "\\ZT" + std::to_string(n);
        temp.MakeFolder(set);
        temp.WriteFile(set + name + ".bmp",
                       SkyBmpBytes(size.width, size.height, static_cast<uint32_t>(n)));
        temp.WriteFile(set + name + ".txt", DescriptionText(n));
    }
    return temp.Join(library);
}

std::vector<std::wstring> FirstPageThumbnails(const std::string& library) {
    AppState app;
    app.libraryFolder = library;
    std::vector<std::wstring> paths;
    for (int n = 0; n < kSlotCount; ++n) {
        paths.push_back(Utf8ToWide(ThumbnailPath(app, n)));
    }
    return paths;
}

// MainWindow started in a library, with message boxes noted instead of shown.
class StartedWindow {
  public:
    explicit StartedWindow(const std::string& library) {
        MainWindow::Hooks hooks;
        hooks.messageBox = [this](HWND, const std::wstring& text, const std::wstring&, UINT) {
            message_ = WideToUtf8(text);
            return IDOK;
        };
        hooks.programEnded = [] {};
        form_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), std::move(hooks));
        test::CurrentFolderScope current(library);
        started_ = form_->Create(SW_SHOWNOACTIVATE);
        PumpMessages();
    }

    bool started() const { return started_; }
    const std::string& message() const { return message_; }
    MainWindow& form() { return *form_; }

    // Paints what is invalid now, as the message loop would before anything else.
    void Paint() {
        RedrawWindow(form_->hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
    }

    static void PumpMessages() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

  private:
    std::unique_ptr<MainWindow> form_;
    bool started_ = false;
    std::string message_;
};

double Milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// A click inside an image element, to the grid window that draws it.
void Click(const GridElement& element) {
    const LPARAM inside = MAKELPARAM(element.rect().left + 2, element.rect().top + 2);
    SendMessageW(element.grid(), WM_LBUTTONDOWN, MK_LBUTTON, inside);
    SendMessageW(element.grid(), WM_LBUTTONUP, 0, inside);
}

// Next, back, next, ...: every click fills the ten slots from the other page and paints them.
// With `startSet`, the window first turns to the page of that set (far into a large library) and
// starts with the back arrow when that page is the last.
void PageTurnWindow(benchmark::State& state, std::string library, int32_t startSet) {
    StartedWindow window(library);
    if (!window.started()) {
        state.SkipWithError(("the window did not start: " + window.message()).c_str());
        return;
    }
    window.form().ShowPageOf(startSet);
    const int32_t home = window.form().State().pageFirst;
    const bool lastPage = home + kSlotCount >= window.form().State().setCount;
    const GridElement& next = window.form().ImageElement(kNextArrow);
    const GridElement& back = window.form().ImageElement(kBackArrow);
    const GridElement& first = lastPage ? back : next;
    const GridElement& second = lastPage ? next : back;
    window.Paint();
    int turns = 0;
    // Where the time goes: filling the slots (reading and decoding) or painting them.
    std::chrono::steady_clock::duration filling{};
    std::chrono::steady_clock::duration painting{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Click(turns % 2 == 0 ? first : second);
        const auto filled = std::chrono::steady_clock::now();
        window.Paint();
        const auto painted = std::chrono::steady_clock::now();
        filling += filled - start;
        painting += painted - filled;
        ++turns;
    }
    StartedWindow::PumpMessages();
    if (turns > 0) {
        state.counters["fill_ms"] = Milliseconds(filling) / turns;
        state.counters["paint_ms"] = Milliseconds(painting) / turns;
    }
    const int32_t away = lastPage ? home - kSlotCount : home + kSlotCount;
    const int32_t expected = turns % 2 == 1 ? away : home;
    if (window.form().State().pageFirst != expected || !window.message().empty()) {
        state.SkipWithError("the page did not turn");
    }
}

struct MemoryFigures {
    double workingSetMb = 0;
    double privateMb = 0;
};

MemoryFigures MemoryNow() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return {static_cast<double>(counters.WorkingSetSize) / 1e6,
            static_cast<double>(counters.PrivateUsage) / 1e6};
}

// The memory the window holds after its first page and after turning `pages` pages forward: the
// pictures of pages left behind must be released, so it must not grow with the pages turned.
void PageTurnMemory(benchmark::State& state, std::string library, int pages) {
    StartedWindow window(library);
    if (!window.started()) {
        state.SkipWithError(("the window did not start: " + window.message()).c_str());
        return;
    }
    const GridElement& next = window.form().ImageElement(kNextArrow);
    for (auto _ : state) {
        window.Paint();
        const MemoryFigures before = MemoryNow();
        for (int page = 0; page < pages; ++page) {
            Click(next);
            window.Paint();
        }
        StartedWindow::PumpMessages();
        const MemoryFigures after = MemoryNow();
        state.counters["ws_first_mb"] = before.workingSetMb;
        state.counters["ws_after_mb"] = after.workingSetMb;
        state.counters["private_first_mb"] = before.privateMb;
        state.counters["private_after_mb"] = after.privateMb;
    }
    if (window.form().State().pageFirst != pages * kSlotCount) {
        state.SkipWithError("the pages did not turn");
    }
}

// The mouse going from one slot to the next: the description read afresh, the tooltip changed.
void MouseMoveWindow(benchmark::State& state, std::string library) {
    StartedWindow window(library);
    if (!window.started()) {
        state.SkipWithError(("the window did not start: " + window.message()).c_str());
        return;
    }
    const GridElement* slots[] = {&window.form().ImageElement(0), &window.form().ImageElement(1)};
    int moves = 0;
    for (auto _ : state) {
        const GridElement& slot = *slots[moves++ % 2];
        SendMessageW(slot.grid(), WM_MOUSEMOVE, 0,
                     MAKELPARAM(slot.rect().left + 3, slot.rect().top + 3));
    }
    StartedWindow::PumpMessages();
}

// A device context with a bitmap of the slot's size to stretch into.
class SlotCanvas {
  public:
    SlotCanvas() : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = kSlotWidth;
        info.bmiHeader.biHeight = -kSlotHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~SlotCanvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    SlotCanvas(const SlotCanvas&) = delete;
    SlotCanvas& operator=(const SlotCanvas&) = delete;

    HDC dc() const { return dc_; }
    bool ok() const { return dc_ != nullptr && bitmap_ != nullptr; }

  private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

void PageLoadAndStretch(benchmark::State& state, std::string library) {
    const std::vector<std::wstring> paths = FirstPageThumbnails(library);
    const PictureLoader loader;
    SlotCanvas canvas;
    const RECT slot{0, 0, kSlotWidth, kSlotHeight};
    for (auto _ : state) {
        for (const std::wstring& path : paths) {
            const PictureRef picture = loader.FromFile(path);
            if (!picture || !canvas.ok()) {
                state.SkipWithError("a thumbnail cannot be loaded");
                return;
            }
            picture->Draw(canvas.dc(), slot);
        }
        GdiFlush();
    }
}

// Decode, convert to the display's 32 bits, stretch: nothing else.
bool BareDecodeAndStretch(IWICImagingFactory* factory, const std::wstring& path, HDC target) {
    UINT width = 0;
    UINT height = 0;
    HBITMAP bitmap = BareDecode(factory, path.c_str(), GUID_WICPixelFormat32bppBGR, width, height);
    if (bitmap == nullptr) {
        return false;
    }
    HDC source = CreateCompatibleDC(target);
    HGDIOBJ previous = SelectObject(source, bitmap);
    SetStretchBltMode(target, HALFTONE);
    SetBrushOrgEx(target, 0, 0, nullptr);
    const bool done = StretchBlt(target, 0, 0, kSlotWidth, kSlotHeight, source, 0, 0,
                                 static_cast<int>(width), static_cast<int>(height), SRCCOPY) != 0;
    SelectObject(source, previous);
    DeleteDC(source);
    DeleteObject(bitmap);
    return done;
}

void BareDecodeStretch(benchmark::State& state, std::string library) {
    const std::vector<std::wstring> paths = FirstPageThumbnails(library);
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.GetAddressOf())))) {
        state.SkipWithError("no imaging component");
        return;
    }
    SlotCanvas canvas;
    for (auto _ : state) {
        for (const std::wstring& path : paths) {
            if (!BareDecodeAndStretch(factory.Get(), path, canvas.dc())) {
                state.SkipWithError("a thumbnail cannot be decoded");
                return;
            }
        }
        GdiFlush();
    }
}

int Run(int argc, char** argv) {
    const BenchOptions options = ParseBenchOptions(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    EnablePerMonitorDpiAwareness();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "page_bench: COM cannot start\n");
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    skyswap::system32::InitCommonControlsEx(&controls);

    const test::TempFolder temp;
    // A library of options.sets sets with thumbnails, made beforehand by tools/bench: Wine makes
    // thousands of folders slowly.
    const std::string largeLibrary = options.library;
    const std::string small = MakePageLibrary(temp, kSmall);
    const std::string large = MakePageLibrary(temp, kLarge);
    SettleDisk();

    const auto shape = [&](benchmark::internal::Benchmark* benchmark, benchmark::TimeUnit unit) {
        benchmark->Unit(unit)->UseRealTime();
        if (options.smoke) {
            benchmark->Iterations(1);
        }
    };
    for (const auto& [size, library] : {std::pair{kSmall, small}, std::pair{kLarge, large}}) {
        const std::string suffix = size.name;
        shape(benchmark::RegisterBenchmark(("PageTurnWindow" + suffix).c_str(), PageTurnWindow,
                                           library, 0),
              benchmark::kMillisecond);
        shape(benchmark::RegisterBenchmark(("PageLoadStretch" + suffix).c_str(), PageLoadAndStretch,
                                           library),
              benchmark::kMillisecond);
        shape(benchmark::RegisterBenchmark(("BareDecodeStretch" + suffix).c_str(),
                                           BareDecodeStretch, library),
              benchmark::kMillisecond);
    }
    shape(benchmark::RegisterBenchmark("MouseMoveWindow", MouseMoveWindow, small),
          benchmark::kMicrosecond);
    if (!largeLibrary.empty()) {
        // The first page and the last (page 1,000 of 10,000 sets) of one large library.
        shape(benchmark::RegisterBenchmark("PageTurnWindowNear", PageTurnWindow, largeLibrary, 0),
              benchmark::kMillisecond);
        shape(benchmark::RegisterBenchmark("PageTurnWindowFar", PageTurnWindow, largeLibrary,
                                           options.sets - kSlotCount),
              benchmark::kMillisecond);
        const int pages = options.smoke ? 3 : 100;
        benchmark::RegisterBenchmark("PageTurnMemory", PageTurnMemory, largeLibrary, pages)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CoUninitialize();
    return 0;
}

}  // namespace
}  // namespace skyswap::bench

int main(int argc, char** argv) {
    try {
        return skyswap::bench::Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "page_bench: %s\n", error.what());
        return 1;
    }
}
