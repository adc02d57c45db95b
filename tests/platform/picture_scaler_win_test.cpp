#include "picture_scaler_win.h"

#include "add_sets.h"
#include "support/sky_library.h"
#include "support/test_support.h"
#include "support/zip_maker.h"
#include "zip_archive.h"

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace skyswap {
namespace {

struct Colour {
    unsigned char b, g, r;
};
constexpr Colour kRed = {0, 0, 255};
constexpr Colour kGreen = {0, 200, 0};
constexpr Colour kBlue = {255, 0, 0};

// A BMP of width x height whose pixel colours `paint` gives.
template <typename Paint>
std::string Bmp(int width, int height, Paint paint) {
    std::string pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour c = paint(x, y);
            pixels += {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r)};
        }
    }
    return BmpFile24(width, height, pixels);
}

Colour At(const std::string& pixels, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * kThumbnailWidth + x) * 3;
    return {static_cast<unsigned char>(pixels[i]), static_cast<unsigned char>(pixels[i + 1]),
            static_cast<unsigned char>(pixels[i + 2])};
}

bool Near(Colour a, Colour b) {
    return std::abs(a.b - b.b) <= 24 && std::abs(a.g - b.g) <= 24 && std::abs(a.r - b.r) <= 24;
}

// Every pixel of the thumbnail, a margin in from its edges where a scaler blends, is `colour`.
void ExpectFilled(const std::string& pixels, Colour colour, int margin = 3) {
    for (int y = margin; y < kThumbnailHeight - margin; ++y) {
        for (int x = margin; x < kThumbnailWidth - margin; ++x) {
            if (!Near(At(pixels, x, y), colour)) {
                const Colour got = At(pixels, x, y);
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(got.r) << ","
                              << int(got.g) << "," << int(got.b);
                return;
            }
        }
    }
}

std::string Thumbnail(PictureScaler& scaler, const std::string& picture) {
    std::string pixels;
    EXPECT_TRUE(scaler.ScaleToCover(picture, kThumbnailWidth, kThumbnailHeight, pixels));
    EXPECT_EQ(pixels.size(), static_cast<std::size_t>(kThumbnailWidth) * kThumbnailHeight * 3);
    return pixels;
}

// A wide picture loses its sides and a tall one its top and bottom: the centre is kept, filling
// the whole box, whether the picture is smaller or larger than the box.
TEST(WicPictureScaler, CoversTheBoxAndKeepsTheCentre) {
    const auto scaler = MakeWicPictureScaler();
    // 400 x 129: red, green, blue bands of 100, 200, 100 columns; the green one is the centre.
    const std::string wide = Bmp(400, 129, [](int x, int) {
        return x < 100 ? kRed : x < 300 ? kGreen : kBlue;
    });
    ExpectFilled(Thumbnail(*scaler, wide), kGreen);
    // 100 x 258 (half the box's width, twice its height in proportion): the middle half.
    const std::string tall = Bmp(100, 258, [](int, int y) {
        return y < 64 ? kRed : y < 194 ? kGreen : kBlue;
    });
    ExpectFilled(Thumbnail(*scaler, tall), kGreen);
    // Much larger, with the same bands across: reduced, centre kept.
    const std::string large = Bmp(2000, 645, [](int x, int) {
        return x < 500 ? kRed : x < 1500 ? kGreen : kBlue;
    });
    ExpectFilled(Thumbnail(*scaler, large), kGreen);
    // Tiny: enlarged to fill the box.
    const std::string tiny = Bmp(8, 5, [](int, int) { return kBlue; });
    ExpectFilled(Thumbnail(*scaler, tiny), kBlue, 0);
    // The box's own size: the same pixels, top row first.
    const std::string exact = Bmp(200, 129, [](int, int y) { return y < 60 ? kRed : kGreen; });
    const std::string pixels = Thumbnail(*scaler, exact);
    EXPECT_TRUE(Near(At(pixels, 100, 0), kRed));
    EXPECT_TRUE(Near(At(pixels, 100, 128), kGreen));
}

TEST(WicPictureScaler, DecodesJpegAndRefusesWhatIsNoPicture) {
    const auto scaler = MakeWicPictureScaler();
    std::ifstream file(SKYSWAP_RES_DIR "/random.jpg", std::ios::binary);
    const std::string jpeg((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    ASSERT_FALSE(jpeg.empty());
    Thumbnail(*scaler, jpeg);

    const std::string bmp = Bmp(300, 200, [](int, int) { return kRed; });
    std::string huge = bmp;
    huge[18] = '\x00';
    huge[19] = '\x00';
    huge[20] = '\x01';  // 65536 pixels wide, in the header only
    for (const std::string& broken :
         {std::string(), std::string("not a picture at all"), bmp.substr(0, 40), jpeg.substr(0, 16),
          std::string(5000, '\xFF'), huge}) {
        std::string pixels = "left over";
        EXPECT_FALSE(scaler->ScaleToCover(broken, kThumbnailWidth, kThumbnailHeight, pixels))
            << broken.size() << " bytes";
        EXPECT_TRUE(pixels.empty());
    }
}

// A width x height picture of one colour, encoded by Windows in another format.
std::string Encoded(const CLSID& encoderClass, int width, int height, Colour colour) {
    Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
    Microsoft::WRL::ComPtr<IStream> stream;
    Microsoft::WRL::ComPtr<IWICBitmapEncoder> encoder;
    Microsoft::WRL::ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    std::string pixels;
    for (int i = 0; i < width * height; ++i) {
        pixels += {static_cast<char>(colour.b), static_cast<char>(colour.g),
                   static_cast<char>(colour.r)};
    }
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(CoCreateInstance(encoderClass, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&encoder))) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) ||
        FAILED(frame->SetPixelFormat(&format)) ||
        FAILED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 3,
                                  static_cast<UINT>(pixels.size()),
                                  reinterpret_cast<BYTE*>(pixels.data()))) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
        return {};
    }
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(static_cast<std::size_t>(stat.cbSize.QuadPart), '\0');
    const LARGE_INTEGER start{};
    ULONG read = 0;
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    return bytes;
}

TEST(WicPictureScaler, WindowsOwnDecodersReadTheFormatsTheirSignaturesNameAndNoOther) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const auto scaler = MakeWicPictureScaler();
    const struct {
        const char* what;
        const CLSID& encoder;
        PictureKind kind;
    } formats[] = {
        {"PNG", CLSID_WICPngEncoder, PictureKind::Png},
        {"TIFF", CLSID_WICTiffEncoder, PictureKind::Tiff},
    };
    // WIC's GIF encoder wants indexed pixels: a one-pixel blue GIF by hand instead.
    const std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\xFF\x00\x00\x00"
                          "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
                          38);
    EXPECT_EQ(PictureKindOf(gif), PictureKind::Gif);
    ExpectFilled(Thumbnail(*scaler, gif), kBlue);
    for (const auto& format : formats) {
        SCOPED_TRACE(format.what);
        const std::string picture = Encoded(format.encoder, 64, 40, kBlue);
        ASSERT_FALSE(picture.empty()) << "Windows could not encode it";
        EXPECT_EQ(PictureKindOf(picture), format.kind);
        ExpectFilled(Thumbnail(*scaler, picture), kBlue);
    }
    // An icon is a picture Windows can decode, but none a download's preview comes as: a
    // decoder chosen by asking every codec installed would have read it.
    std::ifstream file(SKYSWAP_RES_DIR "/next.ico", std::ios::binary);
    const std::string icon((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    ASSERT_FALSE(icon.empty());
    std::string pixels;
    EXPECT_FALSE(scaler->ScaleToCover(icon, kThumbnailWidth, kThumbnailHeight, pixels));
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

// The window's thread is in a single-threaded apartment; the worker that adds downloads is in
// none: both make thumbnails.
TEST(WicPictureScaler, WorksOnAThreadWithoutComAndInTheWindowsApartment) {
    const std::string picture = Bmp(50, 50, [](int, int) { return kGreen; });
    bool workerScaled = false;
    std::thread worker([&] {
        std::string pixels;
        workerScaled = MakeWicPictureScaler()->ScaleToCover(picture, kThumbnailWidth,
                                                            kThumbnailHeight, pixels);
    });
    worker.join();
    EXPECT_TRUE(workerScaled);

    bool windowScaled = false;
    std::thread window([&] {
        const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        std::string pixels;
        windowScaled = MakeWicPictureScaler()->ScaleToCover(picture, kThumbnailWidth,
                                                            kThumbnailHeight, pixels);
        if (SUCCEEDED(joined)) {
            CoUninitialize();
        }
    });
    window.join();
    EXPECT_TRUE(windowScaled);
}

// What the window's worker does: a ZIP with a preview added through the real reader and WIC.
TEST(WicPictureScaler, AZipAddedOnAWorkerThreadGetsItsThumbnail) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 1);
    const AppState state = test::StateFor(temp);
    std::vector<test::ZipItem> items = {
        {"Blue Hour/preview.bmp", Bmp(640, 400, [](int, int) { return kBlue; })}};
    for (const std::string& name : test::SkyFileNames()) {
        items.push_back({"Blue Hour/" + name, test::SkyFileBytes("blue", name)});
    }
    temp.WriteFile("blue.zip", test::MakeZip(items));

    AddOutcome outcome;
    std::thread worker([&] {
        auto fs = test::MakePlatformFileSystem();
        auto archives = MakeZipArchiveOpener();
        auto pictures = MakeWicPictureScaler();
        outcome = AddDownloads(state, {*fs, *archives, *pictures}, {temp.Join("blue.zip")});
    });
    worker.join();

    EXPECT_EQ(AddedLines(outcome), std::vector<std::string>{"Added ZT1: blue"});
    const auto bmp = temp.ReadFile(std::string(test::kLibrary) + "\\ZT1\\ZT1.bmp");
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->size(), 54U + 200 * 129 * 3);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>((*bmp)[i]); };
    EXPECT_GT(byte(54 + 100 * 3), 200U) << "blue";
    EXPECT_LT(byte(54 + 100 * 3 + 2), 50U) << "no red";
}

}  // namespace
}  // namespace skyswap
