#include "runtime/gui/Graphics.h"

#include "runtime/gui/ImageFormats.h"

#include <algorithm>
#include <cstring>
#include <objidl.h>
#include <windows.h>
#include <gdiplus.h>

using namespace Gdiplus::DllExports;
using Gdiplus::GdiplusStartupInput, Gdiplus::GpImage, Gdiplus::GpGraphics, Gdiplus::PropertyItem, Gdiplus::Ok;
#undef TextOut

uint32_t ColorToRGB(TColor Color) {
    return (Color & 0x80000000) ? GetSysColor(Color & 0xFF) : Color;
}

// TFont

static const wchar_t* const FontStyleNames[] = {L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"};
static const wchar_t* const FontQualityNames[] = {L"fqDefault",         L"fqDraft",       L"fqProof",
                                                  L"fqNonAntialiased",  L"fqAntialiased", L"fqClearType",
                                                  L"fqClearTypeNatural"};

// A font height or size beyond a thousand (pixels or points) fills no window.
ZRX_PUBLISH(TFont, TPersistent, ZRX_PROP_INT(TFont, Color), ZRX_PROP_INT_IN(TFont, Height, -1000, 1000),
            ZRX_PROP_STR(TFont, Name), ZRX_PROP_INT_IN(TFont, Size, -1000, 1000),
            ZRX_PROP_SET(TFont, Style, FontStyleNames), ZRX_PROP_ENUM(TFont, Quality, FontQualityNames))

TFont::TFont() = default;

TFont::~TFont() {
    if (FHandle) DeleteObject(FHandle);
}

void TFont::Assign(TPersistent* Source) {
    if (auto* f = dynamic_cast<TFont*>(Source)) {
        FName = f->FName, FHeight = f->FHeight, FStyle = f->FStyle, FColor = f->FColor,
        FQuality = f->FQuality;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

void TFont::Changed() {
    if (FHandle) DeleteObject(FHandle), FHandle = nullptr;
    if (OnChange) OnChange(this);
}

void TFont::SetName(const std::wstring& Value) {
    if (Value != FName) FName = Value, Changed();
}
void TFont::SetHeight(int Value) {
    if (Value != FHeight) FHeight = Value, Changed();
}
int TFont::Size() const {
    return -MulDiv(FHeight, 72, 96);
}
void TFont::SetSize(int Value) {
    SetHeight(-MulDiv(Value, 96, 72));
}
void TFont::SetStyle(TFontStyles Value) {
    if (Value != FStyle) FStyle = Value, Changed();
}
void TFont::SetColor(TColor Value) {
    if (Value != FColor) FColor = Value, Changed();
}
void TFont::SetQuality(TFontQuality Value) {
    if (Value < fqDefault || Value > fqClearTypeNatural) return; // indexes the GDI qualities
    if (Value != FQuality) FQuality = Value, Changed();
}

HFONT TFont::Handle() {
    if (!FHandle) {
        static const BYTE qualities[] = {DEFAULT_QUALITY,          DRAFT_QUALITY,       PROOF_QUALITY,
                                         NONANTIALIASED_QUALITY,   ANTIALIASED_QUALITY, CLEARTYPE_QUALITY,
                                         CLEARTYPE_NATURAL_QUALITY};
        LOGFONTW lf{};
        lf.lfHeight = FHeight;
        lf.lfWeight = (FStyle & FontStyle(fsBold)) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (FStyle & FontStyle(fsItalic)) != 0;
        lf.lfUnderline = (FStyle & FontStyle(fsUnderline)) != 0;
        lf.lfStrikeOut = (FStyle & FontStyle(fsStrikeOut)) != 0;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = qualities[FQuality];
        lstrcpynW(lf.lfFaceName, FName.c_str(), LF_FACESIZE);
        FHandle = CreateFontIndirectW(&lf);
    }
    return FHandle;
}

// TCanvas

template <class F> auto TCanvas::WithDC(F&& f) {
    HDC dc = FPaintDC ? FPaintDC : GetDC(FWindow);
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    struct Restore {
        TCanvas* c;
        HDC dc;
        HGDIOBJ old;
        ~Restore() {
            SelectObject(dc, old);
            if (dc != c->FPaintDC) ReleaseDC(c->FWindow, dc);
        }
    } restore{this, dc, old};
    return f(dc);
}

void TCanvas::TextOut(int X, int Y, const std::wstring& Text) {
    WithDC([&](HDC dc) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(FFont.Color()));
        ::TextOutW(dc, X, Y, Text.data(), (int)Text.size());
        return 0;
    });
}

int TCanvas::TextWidth(const std::wstring& Text) {
    return WithDC([&](HDC dc) {
        SIZE s{};
        GetTextExtentPoint32W(dc, Text.data(), (int)Text.size(), &s);
        return (int)s.cx;
    });
}

int TCanvas::TextHeight(const std::wstring& Text) {
    return WithDC([&](HDC dc) {
        SIZE s{};
        GetTextExtentPoint32W(dc, Text.data(), (int)Text.size(), &s);
        return (int)s.cy;
    });
}

// TGraphic

// GDI+'s time dimension of an animation. Its import library holds it as data, which the delay-loaded
// library that the program links instead cannot carry.
static const GUID FrameDimensionTime = {
    0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};

static void GdiplusNeeded() {
    static ULONG_PTR token = [] {
        GdiplusStartupInput input;
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
}

bool GIFImageDefaultAnimate = false;

TGIFImage::TGIFImage() {
    Animate = GIFImageDefaultAnimate;
}

// A picture is either pixels decoded here (PNG) or GDI+'s, which for a GIF is made from the file's bytes
// only when a frame is first drawn: what the window needs before that (size, frames, delays) is read from
// the blocks, so that neither GDI+ nor its codecs load while the window starts.
struct TGraphic::TDecoded {
    int Width = 0, Height = 0;
    std::vector<int> Delays;  // one per frame
    HBITMAP Bitmap = nullptr; // pixels decoded here: 32 bits, premultiplied alpha
    bool Opaque = true;
    std::vector<uint8_t> Data; // the file, for GDI+
    mutable GpImage* Image = nullptr;
    mutable IStream* Stream = nullptr; // GDI+ reads the image from it while the image lives
    mutable bool Failed = false;
    mutable int Selected = 0;

    ~TDecoded() {
        if (Bitmap) DeleteObject(Bitmap);
        if (Image) GdipDisposeImage(Image);
        if (Stream) Stream->Release();
    }
    // GDI+'s image of the data; false when GDI+ cannot decode it.
    bool Decode() const;
};

bool TGraphic::TDecoded::Decode() const {
    if (Image || Failed) return Image != nullptr;
    Failed = true;
    GdiplusNeeded();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, std::max<size_t>(Data.size(), 1));
    if (!mem) return false;
    if (!Data.empty()) memcpy(GlobalLock(mem), Data.data(), Data.size()), GlobalUnlock(mem);
    if (CreateStreamOnHGlobal(mem, TRUE, &Stream) != S_OK) {
        GlobalFree(mem);
        return false;
    }
    if (GdipLoadImageFromStream(Stream, &Image) != Ok || !Image) {
        Image = nullptr;
        return false;
    }
    Failed = false;
    return true;
}

void TGraphic::Assign(TPersistent* Source) {
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        FPicture = g->FPicture;
        Animate = g->Animate;
        return;
    }
    TPersistent::Assign(Source);
}

int TGraphic::Width() const {
    return FPicture ? FPicture->Width : 0;
}
int TGraphic::Height() const {
    return FPicture ? FPicture->Height : 0;
}
int TGraphic::FrameCount() const {
    return FPicture ? (int)FPicture->Delays.size() : 0;
}
int TGraphic::FrameDelay(int Frame) const {
    return Frame >= 0 && Frame < FrameCount() ? FPicture->Delays[Frame] : 0;
}

namespace {

HBITMAP BitmapOf(const TPixels& Pixels) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = Pixels.Width;
    bi.bmiHeader.biHeight = -Pixels.Height; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp) memcpy(bits, Pixels.Bgra.data(), Pixels.Bgra.size() * 4);
    return bmp;
}

} // namespace

void TGraphic::LoadFromStream(TStream& Stream) {
    FPicture.reset();
    auto d = std::make_shared<TDecoded>();
    int64_t size = std::max<int64_t>(Stream.Size() - Stream.Position(), 0);
    if (size > 256 * 1024 * 1024) throw EInvalidGraphic(L"Unsupported or damaged image data");
    d->Data.resize((size_t)size);
    if (size) Stream.ReadBuffer(d->Data.data(), (int32_t)size);

    TPixels pixels;
    TGifLayout gif;
    if (DecodePng(d->Data.data(), d->Data.size(), pixels)) {
        d->Bitmap = BitmapOf(pixels);
        if (!d->Bitmap) throw EInvalidGraphic(L"Out of memory while loading an image");
        d->Width = pixels.Width, d->Height = pixels.Height, d->Opaque = pixels.Opaque;
        d->Delays.assign(1, 0);
        d->Data.clear();
        d->Data.shrink_to_fit();
    } else if (ScanGif(d->Data.data(), d->Data.size(), gif)) {
        d->Width = gif.Width, d->Height = gif.Height;
        for (int delay : gif.Delays) d->Delays.push_back(delay * 10);
    } else {
        if (!d->Decode()) throw EInvalidGraphic(L"Unsupported or damaged image data");
        UINT w = 0, h = 0;
        GdipGetImageWidth(d->Image, &w);
        GdipGetImageHeight(d->Image, &h);
        d->Width = (int)w, d->Height = (int)h;
        UINT frames = 0;
        GUID time = FrameDimensionTime;
        if (GdipImageGetFrameCount(d->Image, &time, &frames) != Ok || frames == 0) frames = 1;
        d->Delays.assign(frames, 0);
        UINT bytes = 0;
        if (frames > 1 && GdipGetPropertyItemSize(d->Image, PropertyTagFrameDelay, &bytes) == Ok && bytes) {
            std::vector<uint8_t> buf(bytes);
            auto* item = (PropertyItem*)buf.data();
            if (GdipGetPropertyItem(d->Image, PropertyTagFrameDelay, bytes, item) == Ok) {
                UINT n = std::min<UINT>(frames, item->length / 4);
                for (UINT i = 0; i < n; ++i) d->Delays[i] = (int)((const LONG*)item->value)[i] * 10;
            }
        }
    }
    // Browsers show frames without a usable delay for 100 ms; so do we.
    for (int& delay : d->Delays)
        if (delay < 20) delay = 100;
    FPicture = std::move(d);
}

void TGraphic::Draw(HDC DC, int Frame, int X, int Y, int W, int H) const {
    if (!FPicture) return;
    if (HBITMAP bmp = FPicture->Bitmap) {
        HDC mem = CreateCompatibleDC(DC);
        HGDIOBJ old = SelectObject(mem, bmp);
        if (FPicture->Opaque && W == Width() && H == Height()) {
            BitBlt(DC, X, Y, W, H, mem, 0, 0, SRCCOPY);
        } else {
            BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            GdiAlphaBlend(DC, X, Y, W, H, mem, 0, 0, Width(), Height(), blend);
        }
        SelectObject(mem, old);
        DeleteDC(mem);
        return;
    }
    if (!FPicture->Decode()) return;
    if (Frame != FPicture->Selected && Frame >= 0 && Frame < FrameCount()) {
        GUID time = FrameDimensionTime;
        GdipImageSelectActiveFrame(FPicture->Image, &time, (UINT)Frame);
        FPicture->Selected = Frame;
    }
    GpGraphics* g = nullptr;
    if (GdipCreateFromHDC(DC, &g) != Ok) return;
    GdipDrawImageRectI(g, FPicture->Image, X, Y, W, H);
    GdipDeleteGraphics(g);
}

// TPicture

void TPicture::SetGraphic(TGraphic* Value) {
    if (!Value) {
        FGraphic.reset();
    } else {
        std::unique_ptr<TGraphic> copy =
            dynamic_cast<TGIFImage*>(Value)   ? std::unique_ptr<TGraphic>(new TGIFImage)
            : dynamic_cast<TPngImage*>(Value) ? std::unique_ptr<TGraphic>(new TPngImage)
                                              : std::make_unique<TGraphic>();
        copy->Assign(Value);
        FGraphic = std::move(copy);
    }
    if (OnChange) OnChange(this);
}

void TPicture::Assign(TPersistent* Source) {
    if (!Source) return SetGraphic(nullptr);
    if (auto* p = dynamic_cast<TPicture*>(Source)) return SetGraphic(p->Graphic());
    if (auto* g = dynamic_cast<TGraphic*>(Source)) return SetGraphic(g);
    TPersistent::Assign(Source);
}
