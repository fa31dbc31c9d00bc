#include "runtime/gui/Graphics.h"

#include <algorithm>
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

ZRX_PUBLISH(TFont, TPersistent, ZRX_PROP_INT(TFont, Color), ZRX_PROP_INT(TFont, Height),
            ZRX_PROP_STR(TFont, Name), ZRX_PROP_INT(TFont, Size), ZRX_PROP_SET(TFont, Style, FontStyleNames),
            ZRX_PROP_ENUM(TFont, Quality, FontQualityNames))

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

struct TGraphic::TDecoded {
    GpImage* Image = nullptr;
    IStream* Stream = nullptr; // GDI+ reads the image from it while the image lives
    int Width = 0, Height = 0;
    std::vector<int> Delays; // one per frame
    mutable int Selected = 0;

    ~TDecoded() {
        if (Image) GdipDisposeImage(Image);
        if (Stream) Stream->Release();
    }
};

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

void TGraphic::LoadFromStream(TStream& Stream) {
    FPicture.reset();
    GdiplusNeeded();
    int64_t size = std::max<int64_t>(Stream.Size() - Stream.Position(), 0);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)std::max<int64_t>(size, 1));
    if (!mem) throw EInvalidGraphic(L"Out of memory while loading an image");
    try {
        if (size) Stream.ReadBuffer(GlobalLock(mem), (int32_t)size);
        GlobalUnlock(mem);
    } catch (...) {
        GlobalUnlock(mem);
        GlobalFree(mem);
        throw;
    }
    auto d = std::make_shared<TDecoded>();
    if (CreateStreamOnHGlobal(mem, TRUE, &d->Stream) != S_OK) {
        GlobalFree(mem);
        throw EInvalidGraphic(L"Cannot open the image data");
    }
    if (GdipLoadImageFromStream(d->Stream, &d->Image) != Ok || !d->Image)
        throw EInvalidGraphic(L"Unsupported or damaged image data");
    UINT w = 0, h = 0;
    GdipGetImageWidth(d->Image, &w);
    GdipGetImageHeight(d->Image, &h);
    d->Width = (int)w, d->Height = (int)h;

    UINT frames = 0;
    GUID time = Gdiplus::FrameDimensionTime;
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
    // Browsers show frames without a usable delay for 100 ms; so do we.
    for (int& delay : d->Delays)
        if (delay < 20) delay = 100;
    FPicture = std::move(d);
}

void TGraphic::Draw(HDC DC, int Frame, int X, int Y, int W, int H) const {
    if (!FPicture) return;
    if (Frame != FPicture->Selected && Frame >= 0 && Frame < FrameCount()) {
        GUID time = Gdiplus::FrameDimensionTime;
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
