// Fonts, a canvas for text, and pictures decoded by GDI+ (PNG, and GIF with its animation frames).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Streams.h"
#include "runtime/gui/TypInfo.h"

struct HFONT__;
struct HDC__;
struct HWND__;

using TColor = uint32_t; // 0x00BBGGRR, as GDI takes it
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clWindowText = 0x80000008, clBtnFace = 0x8000000F,
                 clWindow = 0x80000005, clGrayText = 0x80000011;
// A system colour (0x80000000 | COLOR_xxx) as its current RGB value.
uint32_t ColorToRGB(TColor Color);

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = uint32_t; // bit (1 << style) per style
constexpr TFontStyles FontStyle(TFontStyle s) {
    return 1u << s;
}
enum TFontQuality {
    fqDefault,
    fqDraft,
    fqProof,
    fqNonAntialiased,
    fqAntialiased,
    fqClearType,
    fqClearTypeNatural
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// A logical font; its GDI font is made on first use and again after each change.
class TFont : public TPersistent {
    ZRX_PUBLISHED_CLASS(TFont, TPersistent)
public:
    TFont();
    ~TFont() override;
    void Assign(TPersistent* Source) override;

    const std::wstring& Name() const { return FName; }
    void SetName(const std::wstring& Value);
    // Height in pixels: negative for the character height, as GDI takes it. Size is in points at 96 dpi.
    int Height() const { return FHeight; }
    void SetHeight(int Value);
    int Size() const;
    void SetSize(int Value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TFontQuality Quality() const { return FQuality; }
    void SetQuality(TFontQuality Value);

    HFONT__* Handle();
    TNotifyEvent OnChange;

private:
    void Changed();
    std::wstring FName = L"Tahoma";
    int FHeight = -11;
    TFontStyles FStyle = 0;
    TColor FColor = clWindowText;
    TFontQuality FQuality = fqDefault;
    HFONT__* FHandle = nullptr;
};

// Text output on a window's device context: the paint context while painting, else one fetched per call.
class TCanvas : public TPersistent {
    ZRX_CLASS(TCanvas, TPersistent)
public:
    explicit TCanvas(HWND__* Window = nullptr) : FWindow(Window) {}
    TFont* Font() { return &FFont; }
#pragma push_macro("TextOut")
#undef TextOut
    void TextOut(int X, int Y, const std::wstring& Text);
    // Reached through windows.h's TextOut macro.
    void TextOutW(int X, int Y, const std::wstring& Text) {
        TextOut(X, Y, Text);
    }
#pragma pop_macro("TextOut")
    int TextWidth(const std::wstring& Text);
    int TextHeight(const std::wstring& Text);

    void SetWindow(HWND__* Window) {
        FWindow = Window;
    }
    void SetPaintDC(HDC__* DC) {
        FPaintDC = DC;
    }
    HDC__* PaintDC() const {
        return FPaintDC;
    }

private:
    template <class F> auto WithDC(F&& f);
    TFont FFont;
    HWND__* FWindow;
    HDC__* FPaintDC = nullptr;
};

// A picture (PNG or GIF) decoded by GDI+. Copies share the decoded picture, which never changes after
// loading; drawing selects the animation frame it shows.
class TGraphic : public TPersistent {
    ZRX_CLASS(TGraphic, TPersistent)
public:
    void Assign(TPersistent* Source) override;
    // Raises EInvalidGraphic when GDI+ cannot decode the data.
    void LoadFromStream(TStream& Stream);
    bool Empty() const { return !FPicture; }
    int Width() const;
    int Height() const;
    // Animation frames (1 for a still picture) and each frame's display time in milliseconds.
    int FrameCount() const;
    int FrameDelay(int Frame) const;
    // Draws the frame scaled into the rectangle.
    void Draw(HDC__* DC, int Frame, int X, int Y, int W, int H) const;
    bool Animate = false;

private:
    struct TDecoded;
    std::shared_ptr<const TDecoded> FPicture;
};

ZRX_EXCEPTION(EInvalidGraphic, Exception)

class TPngImage : public TGraphic {
    ZRX_CLASS(TPngImage, TGraphic)
};

// GIF pictures animate by themselves when GIFImageDefaultAnimate is set at load time.
class TGIFImage : public TGraphic {
    ZRX_CLASS(TGIFImage, TGraphic)
public:
    TGIFImage();
};
extern bool GIFImageDefaultAnimate;

// Holds one graphic (a copy of what is assigned to it).
class TPicture : public TPersistent {
    ZRX_CLASS(TPicture, TPersistent)
public:
    TGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(TGraphic* Value);
    void Assign(TPersistent* Source) override;
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }
    TNotifyEvent OnChange;

private:
    std::unique_ptr<TGraphic> FGraphic;
};
