// The base of every control: position, caption, visibility, font and click event (TControl), and the
// control with a window of its own that may hold others (TWinControl).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/gui/Graphics.h"

class TWinControl;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
extern const wchar_t* const AlignmentNames[3];

class TControl : public TComponent {
    ZRX_PUBLISHED_CLASS(TControl, TComponent)
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);

    // The control's text: a caption for most controls, the edited text of an edit box.
    virtual std::wstring Caption() const { return FCaption; }
    void SetCaption(const std::wstring& Value);
    std::wstring Text() const { return Caption(); }
    void SetText(const std::wstring& Value) { SetCaption(Value); }

    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

    TFont* Font() const { return FFont.get(); }
    void SetFont(TObject* Value) { FFont->Assign(dynamic_cast<TPersistent*>(Value)); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& Value) { FHint = Value; }

    TNotifyEvent OnClick;
    virtual void Click();
    // Redraws the control now.
    virtual void Repaint() {}

protected:
    virtual void TextChanged() {}
    virtual void FontChanged() {}
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    virtual void BoundsChanged() {}
    virtual void ColorChanged() {}
    std::wstring FCaption;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;

private:
    TWinControl* FParent = nullptr;
    bool FVisible = true;
    bool FEnabled = true;
    bool FParentFont = true;
    bool FAdoptingFont = false;
    TColor FColor = clBtnFace;

protected:
    bool FParentColor = true; // takes the parent's colour when it gets a parent

private:
    std::wstring FHint;
    std::unique_ptr<TFont> FFont;
    friend class TWinControl;
};

// What a windowed control asks CreateWindowEx for.
struct TCreateParams {
    const wchar_t* WinClassName = L"";
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    bool OwnClass = false; // a class this runtime registers, rather than a standard control subclassed
};

class TWinControl : public TControl {
    ZRX_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    void SetParent(TWinControl* AParent) override;
    void SetName(const std::wstring& NewName) override;

    // The window, created on first request; a child control needs a parent with a window.
    HWND__* Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }

    int ControlCount() const { return (int)FControls.size(); }
    TControl* Controls(int Index) const;
    void Repaint() override;
    bool Focused() const;
    void SetFocus();

    // Messages of this control's window; unhandled ones go to DefaultHandler.
    virtual intptr_t WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam);

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    // After the window exists: push what was set before into it.
    virtual void InitializeWnd() {}
    intptr_t DefaultHandler(uint32_t Msg, uintptr_t WParam, intptr_t LParam);
    // Notifications that a standard control sends to its parent, handed back to the control itself.
    virtual void CNCommand(uint16_t Code) { (void)Code; }
    // The brush for a child's background (WM_CTLCOLORxxx); nullptr for the default.
    virtual void* CtlColor(void* DC);
    void TextChanged() override;
    void FontChanged() override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    void BoundsChanged() override;
    void ColorChanged() override;
    void* BackgroundBrush();
    HWND__* FHandle = nullptr;

private:
    friend class TControl;
    friend const wchar_t* ZrxWindowClass();
    static intptr_t __stdcall StdWndProc(HWND__* Wnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam);
    static intptr_t __stdcall SubclassProc(HWND__* Wnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam,
                                           uintptr_t Id, uintptr_t RefData);
    static TWinControl* FromHandle(HWND__* Wnd);
    void DestroyWnd();
    // What a control's parent learns when the control's window Wnd is made in it.
    static void AdoptedBy(HWND__* Parent, HWND__* Wnd);
    // Another process (a test driver, an accessibility tool) reads the component's name and class from the
    // window: each is a global atom kept as a window property.
    void PublishIdentity();
    static void UnpublishIdentity(HWND__* Wnd);

protected:
    // The font too (its LOGFONT as a text, see PublishFont in the source): another process cannot use this
    // process's font handle, but it can make the same font and measure a text in it.
    void PublishFont();

private:
    std::vector<TControl*> FControls; // children, in the order they were given this parent
    bool FSubclassed = false;
    void* FBrush = nullptr;
    uint32_t FBrushColor = 0;
};

// Registers (once) the window class this runtime uses for its own windows.
const wchar_t* ZrxWindowClass();
