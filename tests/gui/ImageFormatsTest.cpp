// The start-up picture readers against GDI+, which reads every picture the program met before them.
#include <objidl.h>
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "runtime/gui/Graphics.h"
#include "runtime/gui/ImageFormats.h"
#include "runtime/Streams.h"

#include "GuiTestUtil.h"

using namespace Gdiplus::DllExports;

namespace {

void Put32(std::string& S, uint32_t V) {
    for (int shift = 24; shift >= 0; shift -= 8) S += char(V >> shift);
}

void Chunk(std::string& Png, const char* Type, const std::string& Body) {
    Put32(Png, (uint32_t)Body.size());
    std::string typed = std::string(Type, 4) + Body;
    Png += typed;
    Put32(Png, crc32(0, (const Bytef*)typed.data(), (uInt)typed.size()));
}

// A PNG of depth 8 whose rows use each of the five filters in turn; Samples are the unfiltered rows.
std::string MakePng(int W, int H, int ColorType, const std::vector<uint8_t>& Samples, int Bpp,
                    const std::string& Palette = "", const std::string& Alphas = "") {
    const size_t stride = size_t(W) * Bpp;
    std::string filtered;
    for (int y = 0; y < H; ++y) {
        const int filter = y % 5;
        filtered += char(filter);
        const uint8_t* cur = Samples.data() + y * stride;
        const uint8_t* prior = y ? cur - stride : nullptr;
        for (size_t i = 0; i < stride; ++i) {
            int a = i >= size_t(Bpp) ? cur[i - Bpp] : 0, b = prior ? prior[i] : 0,
                c = prior && i >= size_t(Bpp) ? prior[i - Bpp] : 0, p = a + b - c;
            int pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
            int predictor[5] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
            filtered += char(cur[i] - predictor[filter]);
        }
    }
    std::string packed(compressBound((uLong)filtered.size()), '\0');
    uLongf n = (uLongf)packed.size();
    compress((Bytef*)packed.data(), &n, (const Bytef*)filtered.data(), (uLong)filtered.size());
    packed.resize(n);

    std::string png = "\x89PNG\r\n\x1a\n", header;
    Put32(header, W);
    Put32(header, H);
    header += std::string{8, char(ColorType), 0, 0, 0};
    Chunk(png, "IHDR", header);
    if (!Palette.empty()) Chunk(png, "PLTE", Palette);
    if (!Alphas.empty()) Chunk(png, "tRNS", Alphas);
    // Split in two, as encoders do with large pictures.
    Chunk(png, "IDAT", packed.substr(0, packed.size() / 2));
    Chunk(png, "IDAT", packed.substr(packed.size() / 2));
    Chunk(png, "IEND", "");
    return png;
}

// GDI+'s reading of a picture, as premultiplied 0xAARRGGBB per pixel.
std::vector<uint32_t> ReadWithGdiplus(const std::string& File, int W, int H) {
    ULONG_PTR token;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    IStream* stream = nullptr;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, File.size());
    memcpy(GlobalLock(mem), File.data(), File.size());
    GlobalUnlock(mem);
    CreateStreamOnHGlobal(mem, TRUE, &stream);
    Gdiplus::GpBitmap* bitmap = nullptr;
    std::vector<uint32_t> out;
    if (GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok) {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                Gdiplus::ARGB c = 0;
                GdipBitmapGetPixel(bitmap, x, y, &c);
                uint32_t a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
                out.push_back(a << 24 | (r * a + 127) / 255 << 16 | (g * a + 127) / 255 << 8 |
                              (b * a + 127) / 255);
            }
        GdipDisposeImage(bitmap);
    }
    stream->Release();
    return out;
}

bool Near(uint32_t A, uint32_t B) {
    for (int shift = 0; shift < 32; shift += 8)
        if (abs(int((A >> shift) & 0xFF) - int((B >> shift) & 0xFF)) > 1) return false;
    return true;
}

} // namespace

TEST(ImageFormats, EveryColourTypeAndFilterDecodesAsGdiplusReadsIt) {
    const int W = 13, H = 11; // odd sizes: rows that are no multiple of anything
    struct TCase {
        const char* name;
        int type, bpp;
    } cases[] = {{"grey", 0, 1}, {"rgb", 2, 3}, {"palette", 3, 1}, {"grey+alpha", 4, 2}, {"rgba", 6, 4}};
    std::string palette, alphas;
    for (int i = 0; i < 40; ++i) palette += std::string{char(i * 6), char(255 - i * 5), char(i * i)};
    for (int i = 0; i < 20; ++i) alphas += char(i * 13);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> samples(size_t(W) * H * c.bpp);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 37 + i / 7);
        if (c.type == 3)
            for (auto& s : samples) s %= 40;
        // Alpha from fully transparent to opaque, so the premultiplication is seen at both ends.
        if (c.type == 4 || c.type == 6)
            for (size_t i = c.bpp - 1; i < samples.size(); i += c.bpp) samples[i] = uint8_t(i * 3 % 256);
        const std::string png =
            MakePng(W, H, c.type, samples, c.bpp, c.type == 3 ? palette : "", c.type == 3 ? alphas : "");
        TPixels ours;
        ASSERT_TRUE(DecodePng((const uint8_t*)png.data(), png.size(), ours));
        ASSERT_EQ(ours.Width, W);
        ASSERT_EQ(ours.Height, H);
        EXPECT_EQ(ours.Opaque, c.type == 0 || c.type == 2);
        const std::vector<uint32_t> reference = ReadWithGdiplus(png, W, H);
        ASSERT_EQ(reference.size(), ours.Bgra.size());
        int differing = 0;
        for (size_t i = 0; i < reference.size(); ++i) differing += !Near(ours.Bgra[i], reference[i]);
        EXPECT_EQ(differing, 0);
    }
}

TEST(ImageFormats, DamagedOrUnusualPngIsLeftToGdiplus) {
    std::vector<uint8_t> rgb(4 * 4 * 3, 200);
    const std::string good = MakePng(4, 4, 2, rgb, 3);
    TPixels out;
    ASSERT_TRUE(DecodePng((const uint8_t*)good.data(), good.size(), out));
    // Every cut of the file, and every single flipped byte after the signature, is refused without harm.
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(DecodePng((const uint8_t*)good.data(), n, out)) << "cut at " << n;
    for (size_t i = 8; i < good.size(); ++i) {
        std::string bad = good;
        bad[i] ^= 0x40;
        EXPECT_FALSE(DecodePng((const uint8_t*)bad.data(), bad.size(), out)) << "byte " << i;
    }
    // Sizes beyond reason and a palette index past the palette.
    std::string huge = "\x89PNG\r\n\x1a\n", header;
    Put32(header, 0x7FFFFFFF);
    Put32(header, 0x7FFFFFFF);
    header += std::string{8, 2, 0, 0, 0};
    Chunk(huge, "IHDR", header);
    EXPECT_FALSE(DecodePng((const uint8_t*)huge.data(), huge.size(), out));
    const std::string outside = MakePng(2, 2, 3, {0, 1, 2, 3}, 1, std::string(6, '\x10'));
    EXPECT_FALSE(DecodePng((const uint8_t*)outside.data(), outside.size(), out));

    // Through the picture class, a damaged PNG still raises: GDI+ has the last word.
    TMemoryStream damaged;
    std::string cut = good.substr(0, good.size() - 20);
    damaged.WriteBuffer(cut.data(), (int32_t)cut.size());
    damaged.SetPosition(0);
    TPngImage png;
    EXPECT_THROW(png.LoadFromStream(damaged), EInvalidGraphic);
}

TEST(ImageFormats, AHalfTransparentPictureIsBlendedOntoWhatIsBelow) {
    // One pixel of pure red at half opacity, drawn on white, gives a light red.
    const std::string png = MakePng(1, 1, 6, {255, 0, 0, 128}, 4);
    TMemoryStream stream;
    stream.WriteBuffer(png.data(), (int32_t)png.size());
    stream.SetPosition(0);
    TPngImage picture;
    picture.LoadFromStream(stream);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 4, 4);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all{0, 0, 4, 4};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    picture.Draw(dc, 0, 1, 1, 1, 1);
    COLORREF c = GetPixel(dc, 1, 1);
    EXPECT_NEAR(GetRValue(c), 255, 2);
    EXPECT_NEAR(GetGValue(c), 127, 3);
    EXPECT_NEAR(GetBValue(c), 127, 3);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST(ImageFormats, TheGifLayoutIsReadFromItsBlocksAndACutFileIsRefused) {
    TFileStream f(SourcePath(L"resources/network.gif"), fmOpenRead | fmShareDenyWrite);
    std::string gif((size_t)f.Size(), '\0');
    f.ReadBuffer(gif.data(), (int32_t)gif.size());
    TGifLayout layout;
    ASSERT_TRUE(ScanGif((const uint8_t*)gif.data(), gif.size(), layout));
    EXPECT_EQ(layout.Width, 20);
    EXPECT_EQ(layout.Height, 20);
    EXPECT_EQ(layout.Delays, std::vector<int>(8, 8));
    for (size_t n = 0; n < gif.size(); ++n)
        EXPECT_FALSE(ScanGif((const uint8_t*)gif.data(), n, layout)) << "cut at " << n;
    // A trailer with no frame before it is no picture either.
    const std::string empty = std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13) + "\x3B";
    EXPECT_FALSE(ScanGif((const uint8_t*)empty.data(), empty.size(), layout));
}
