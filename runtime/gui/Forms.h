// Forms (top-level windows that own and parent the controls of a page) and the screen's list of forms.
#pragma once
#include <vector>

#include "runtime/gui/Controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = uint32_t; // bit (1 << icon) per icon
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };

struct tagMSG;

class TCustomForm : public TWinControl {
    ZRX_PUBLISHED_CLASS(TCustomForm, TWinControl)
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    int ClientWidth() const { return FClientWidth; }
    int ClientHeight() const { return FClientHeight; }
    void SetClientWidth(int Value);
    void SetClientHeight(int Value);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool Value) { FKeyPreview = Value; }

    TCanvas* Canvas() { return &FCanvas; }
    // Asks the form to close: OnClose may change the action; closing the application's main form terminates
    // the application and leaves the form as it is, closing another form hides it.
    void Close();

    // The keyboard of a dialog, for a key message of this form's window or its controls: Tab and Shift+Tab
    // move the focus among the shown, enabled controls in the order they were made, Return presses the
    // focused button, Alt with a caption's marked letter acts as a click on that control. True when the
    // message was used and must not be dispatched.
    bool DialogKey(tagMSG& Msg);
    // While the form is active and no shown, enabled control of it has the focus (its page changed, the
    // focused control went), gives the focus to the first control that takes it.
    void EnsureFocus();

    TNotifyEvent OnPaint;
    std::function<void(TObject* Sender, TCloseAction& Action)> OnClose;

    intptr_t WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void VisibleChanged() override;
    virtual void Paint();

private:
    void UpdateWindowSize();
    int FClientWidth = 0, FClientHeight = 0;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
    TPosition FPosition = poDefaultPosOnly;
    bool FKeyPreview = false;
    TCanvas FCanvas;
};

class TForm : public TCustomForm {
    ZRX_CLASS(TForm, TCustomForm)
public:
    using TCustomForm::TCustomForm;
};

// The open forms in the order they were created.
class TScreen : public TComponent {
    ZRX_CLASS(TScreen, TComponent)
public:
    TScreen() : TComponent(nullptr) {}
    int FormCount() const { return (int)FForms.size(); }
    TCustomForm* Forms(int Index) const;
    int GetFormCount() const { return FormCount(); }
    TCustomForm* GetForm(int Index) const { return Forms(Index); }
    int PixelsPerInch() const { return 96; }
    // The form whose window is Wnd or holds it; nullptr for another window.
    TCustomForm* FormOfWindow(HWND__* Wnd) const;

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> FForms;
};

extern TScreen* const Screen;
