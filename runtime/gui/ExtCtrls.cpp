#include "runtime/gui/ExtCtrls.h"

#include <windows.h>

ZRX_PUBLISH(TImage, TWinControl, ZRX_PROP_OBJ(TImage, Picture), ZRX_PROP_BOOL(TImage, AutoSize),
            ZRX_PROP_BOOL(TImage, Stretch))

TImage::TImage(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 105, 105);
    FPicture.OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() {
    if (FHandle && FTimerOn) KillTimer(FHandle, 1);
}

void TImage::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= WS_CHILD;
}

void TImage::InitializeWnd() {
    UpdateTimer();
}

void TImage::SetAutoSize(bool Value) {
    FAutoSize = Value;
    if (Value && FPicture.Graphic()) SetBounds(FLeft, FTop, FPicture.Width(), FPicture.Height());
}

void TImage::SetStretch(bool Value) {
    FStretch = Value;
    Repaint();
}

void TImage::PictureChanged() {
    FFrame = 0;
    if (FAutoSize && FPicture.Graphic()) SetBounds(FLeft, FTop, FPicture.Width(), FPicture.Height());
    UpdateTimer();
    Repaint();
}

void TImage::VisibleChanged() {
    TWinControl::VisibleChanged();
    UpdateTimer();
}

// Only a visible, animated picture keeps a timer; it runs at the current frame's delay.
void TImage::UpdateTimer() {
    if (!FHandle) return;
    TGraphic* g = FPicture.Graphic();
    bool on = Visible() && g && g->Animate && g->FrameCount() > 1;
    if (on)
        SetTimer(FHandle, 1, (UINT)g->FrameDelay(FFrame), nullptr);
    else if (FTimerOn)
        KillTimer(FHandle, 1);
    FTimerOn = on;
}

intptr_t TImage::WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    switch (Msg) {
    case WM_TIMER:
        if (WParam == 1) {
            if (TGraphic* g = FPicture.Graphic(); g && g->FrameCount() > 1) {
                FFrame = (FFrame + 1) % g->FrameCount();
                InvalidateRect(FHandle, nullptr, FALSE);
            }
            UpdateTimer();
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        RECT r;
        GetClientRect(FHandle, &r);
        // Drawn off screen first, so a frame never shows half drawn.
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP bmp = CreateCompatibleBitmap(dc, r.right, r.bottom);
        HGDIOBJ old = SelectObject(mem, bmp);
        FillRect(mem, &r, (HBRUSH)BackgroundBrush());
        if (TGraphic* g = FPicture.Graphic()) {
            if (FStretch)
                g->Draw(mem, FFrame, 0, 0, r.right, r.bottom);
            else
                g->Draw(mem, FFrame, 0, 0, g->Width(), g->Height());
        }
        BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        EndPaint(FHandle, &ps);
        return 0;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    }
    return TWinControl::WndProc(Msg, WParam, LParam);
}
