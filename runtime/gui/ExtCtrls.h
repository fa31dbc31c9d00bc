// The image control: shows a picture at its natural size or scaled, and plays animated GIF pictures.
#pragma once
#include "runtime/gui/Controls.h"

class TImage : public TWinControl {
    ZRX_PUBLISHED_CLASS(TImage, TWinControl)
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;
    TPicture* Picture() { return &FPicture; }
    void SetPicture(TObject* Value) { FPicture.Assign(dynamic_cast<TPersistent*>(Value)); }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool Value);
    // The frame shown now (0 for a still picture).
    int Frame() const { return FFrame; }

    intptr_t WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void VisibleChanged() override;

private:
    void PictureChanged();
    void UpdateTimer();
    TPicture FPicture;
    bool FAutoSize = false;
    bool FStretch = false;
    int FFrame = 0;
    bool FTimerOn = false;
};
