#include "runtime/gui/Controls.h"

#include <algorithm>
#include <windows.h>
#include <commctrl.h>

#include "runtime/SysUtils.h"
#include "runtime/gui/Application.h"

const wchar_t* const AlignmentNames[3] = {L"taLeftJustify", L"taRightJustify", L"taCenter"};

static const wchar_t ControlProp[] = L"ZrxControl";
static const wchar_t NameProp[] = L"ComponentName";
static const wchar_t ClassProp[] = L"ComponentClass";
static const wchar_t FontProp[] = L"ComponentFont";

// TControl

// Positions and sizes as window coordinates hold them.
constexpr int MaxCoordinate = 32767;

ZRX_PUBLISH(TControl, TComponent,
            TPropInfo{
                .Name = L"Name",
                .Kind = tkUString,
                .GetStr = [](TObject* o) -> std::wstring { return static_cast<TControl*>(o)->Name(); },
                .SetStr = [](TObject* o, const std::wstring& v) { static_cast<TControl*>(o)->SetName(v); }},
            ZRX_PROP_INT_IN(TControl, Left, -MaxCoordinate, MaxCoordinate),
            ZRX_PROP_INT_IN(TControl, Top, -MaxCoordinate, MaxCoordinate),
            ZRX_PROP_INT_IN(TControl, Width, 0, MaxCoordinate),
            ZRX_PROP_INT_IN(TControl, Height, 0, MaxCoordinate), ZRX_PROP_STR(TControl, Caption),
            ZRX_PROP_STR(TControl, Hint), ZRX_PROP_BOOL(TControl, Visible), ZRX_PROP_BOOL(TControl, Enabled),
            ZRX_PROP_INT(TControl, Color), ZRX_PROP_BOOL(TControl, ParentFont), ZRX_PROP_OBJ(TControl, Font))

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
    FFont->OnChange = [this](TObject*) {
        if (!FAdoptingFont) FParentFont = false;
        FontChanged();
    };
}

TControl::~TControl() {
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        FParent = nullptr;
    }
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FParent = AParent;
    if (!AParent) return;
    AParent->FControls.push_back(this);
    if (FParentFont) {
        FAdoptingFont = true;
        FFont->Assign(AParent->Font());
        FAdoptingFont = false;
    }
    if (FParentColor) SetColor(AParent->Color());
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    FLeft = ALeft, FTop = ATop, FWidth = AWidth, FHeight = AHeight;
    BoundsChanged();
}

void TControl::SetCaption(const std::wstring& Value) {
    if (Value == Caption()) return;
    FCaption = Value;
    TextChanged();
}

void TControl::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    VisibleChanged();
}

void TControl::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    EnabledChanged();
}

void TControl::SetParentFont(bool Value) {
    FParentFont = Value;
    if (Value && FParent) {
        FAdoptingFont = true;
        FFont->Assign(FParent->Font());
        FAdoptingFont = false;
    }
}

void TControl::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    ColorChanged();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    for (TControl* c : FControls) c->FParent = nullptr;
    FControls.clear();
    DestroyWnd();
    if (FBrush) DeleteObject((HBRUSH)FBrush);
}

TControl* TWinControl::Controls(int Index) const {
    if (Index < 0 || Index >= (int)FControls.size()) RaiseListIndexError(Index);
    return FControls[Index];
}

const wchar_t* ZrxWindowClass() {
    static const wchar_t name[] = L"ZrxWindow";
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = (WNDPROC)TWinControl::StdWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
        wc.lpszClassName = name;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    return name;
}

TWinControl* TWinControl::FromHandle(HWND Wnd) {
    return Wnd ? (TWinControl*)GetPropW(Wnd, ControlProp) : nullptr;
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params.WinClassName = ZrxWindowClass();
    Params.OwnClass = true;
    Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
}

HWND TWinControl::Handle() {
    if (!FHandle) CreateWnd();
    return FHandle;
}

void TWinControl::CreateWnd() {
    TCreateParams p;
    CreateParams(p);
    HWND parent = nullptr;
    if (p.Style & WS_CHILD) {
        if (!Parent()) throw EInvalidOperation(L"Control '" + Name() + L"' has no parent window");
        parent = Parent()->Handle();
    }
    // A child shows with its parent; a top-level window once its children are made, so that it comes up
    // whole rather than control by control.
    const bool showWhenMade = Visible() && !(p.Style & WS_CHILD);
    if (Visible() && !showWhenMade) p.Style |= WS_VISIBLE;
    // Each control is a group of its own for the dialog keyboard's arrow keys, which so move the focus
    // nowhere; a radio button handles them itself, among its parent's radio buttons.
    if (p.Style & WS_CHILD) p.Style |= WS_GROUP;
    if (!Enabled()) p.Style |= WS_DISABLED;
    HWND wnd =
        CreateWindowExW(p.ExStyle, p.WinClassName, FCaption.c_str(), p.Style, FLeft, FTop, FWidth, FHeight,
                        parent, nullptr, GetModuleHandleW(nullptr), p.OwnClass ? this : nullptr);
    if (!wnd) RaiseLastOSError();
    if (!p.OwnClass) {
        FHandle = wnd;
        SetPropW(wnd, ControlProp, this);
        SetWindowSubclass(wnd, (SUBCLASSPROC)SubclassProc, 1, (DWORD_PTR)this);
        FSubclassed = true;
    }
    if (parent) AdoptedBy(parent, wnd);
    PublishIdentity();
    SendMessageW(wnd, WM_SETFONT, (WPARAM)Font()->Handle(), FALSE);
    InitializeWnd();
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->Handle();
    if (showWhenMade) ShowWindow(wnd, SW_SHOW);
}

void TWinControl::AdoptedBy(HWND Parent, HWND Wnd) {
    // A control that holds controls passes the focus on to them: Tab goes into it, and not to it (the dialog
    // keyboard takes such a window for a container, whatever its own tab stop).
    if (GetWindowLongW(Parent, GWL_STYLE) & WS_CHILD)
        SetWindowLongW(Parent, GWL_EXSTYLE, GetWindowLongW(Parent, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    // A new control shows the focus and the marked letters as the window around it does by now.
    if (const LRESULT hidden = SendMessageW(Parent, WM_QUERYUISTATE, 0, 0))
        SendMessageW(Wnd, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, hidden), 0);
}

void TWinControl::DestroyWnd() {
    if (!FHandle) return;
    HWND wnd = FHandle;
    // The object is going: its window answers as a plain window from here on.
    if (FSubclassed) RemoveWindowSubclass(wnd, (SUBCLASSPROC)SubclassProc, 1);
    RemovePropW(wnd, ControlProp);
    UnpublishIdentity(wnd);
    FHandle = nullptr;
    FSubclassed = false;
    DestroyWindow(wnd);
}

void TWinControl::SetName(const std::wstring& NewName) {
    TControl::SetName(NewName);
    if (FHandle) PublishIdentity();
}

void TWinControl::PublishIdentity() {
    UnpublishIdentity(FHandle);
    // An atom holds at most 255 characters; a longer name is not published rather than cut.
    if (!Name().empty() && Name().size() < 256)
        if (ATOM atom = GlobalAddAtomW(Name().c_str())) SetPropW(FHandle, NameProp, (HANDLE)(uintptr_t)atom);
    if (ATOM atom = GlobalAddAtomW(ClassName().c_str()))
        SetPropW(FHandle, ClassProp, (HANDLE)(uintptr_t)atom);
    PublishFont();
}

void TWinControl::PublishFont() {
    if (!FHandle) return;
    if (ATOM atom = (ATOM)(uintptr_t)RemovePropW(FHandle, FontProp)) GlobalDeleteAtom(atom);
    LOGFONTW lf{};
    if (!GetObjectW(Font()->Handle(), sizeof lf, &lf)) return;
    // "height weight italic underline strike-out charset quality face"
    std::wstring text;
    for (long v : {(long)lf.lfHeight, (long)lf.lfWeight, (long)lf.lfItalic, (long)lf.lfUnderline,
                   (long)lf.lfStrikeOut, (long)lf.lfCharSet, (long)lf.lfQuality})
        text += IntToStr(v) + L" ";
    text += lf.lfFaceName;
    if (ATOM atom = GlobalAddAtomW(text.c_str())) SetPropW(FHandle, FontProp, (HANDLE)(uintptr_t)atom);
}

void TWinControl::UnpublishIdentity(HWND Wnd) {
    for (const wchar_t* prop : {NameProp, ClassProp, FontProp})
        if (ATOM atom = (ATOM)(uintptr_t)RemovePropW(Wnd, prop)) GlobalDeleteAtom(atom);
}

void TWinControl::SetParent(TWinControl* AParent) {
    TControl::SetParent(AParent);
    if (FHandle && AParent)
        ::SetParent(FHandle, AParent->Handle());
    else if (AParent && AParent->HandleAllocated())
        Handle();
}

// Exceptions must not unwind through the system's message dispatch: they are shown here instead.
template <class F> static LRESULT Guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        Application->HandleException(nullptr);
    }
    return 0;
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_NCCREATE) {
        auto* self = (TWinControl*)((CREATESTRUCTW*)LParam)->lpCreateParams;
        if (self) {
            self->FHandle = Wnd;
            SetPropW(Wnd, ControlProp, self);
        }
    }
    TWinControl* self = FromHandle(Wnd);
    if (!self) return DefWindowProcW(Wnd, Msg, WParam, LParam);
    if (Msg == WM_NCDESTROY) {
        RemovePropW(Wnd, ControlProp);
        UnpublishIdentity(Wnd);
        self->FHandle = nullptr;
        return DefWindowProcW(Wnd, Msg, WParam, LParam);
    }
    return Guarded([&] { return self->WndProc(Msg, WParam, LParam); });
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                           DWORD_PTR RefData) {
    auto* self = (TWinControl*)RefData;
    if (Msg == WM_NCDESTROY) {
        RemoveWindowSubclass(Wnd, (SUBCLASSPROC)SubclassProc, 1);
        RemovePropW(Wnd, ControlProp);
        UnpublishIdentity(Wnd);
        self->FHandle = nullptr;
        self->FSubclassed = false;
        return DefSubclassProc(Wnd, Msg, WParam, LParam);
    }
    return Guarded([&] { return self->WndProc(Msg, WParam, LParam); });
}

intptr_t TWinControl::DefaultHandler(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    return FSubclassed ? DefSubclassProc(FHandle, Msg, WParam, LParam)
                       : DefWindowProcW(FHandle, Msg, WParam, LParam);
}

intptr_t TWinControl::WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    switch (Msg) {
    case WM_COMMAND:
        if (TWinControl* child = LParam ? FromHandle((HWND)LParam) : nullptr) {
            child->CNCommand(HIWORD(WParam));
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (TWinControl* child = FromHandle((HWND)LParam))
            if (void* brush = child->CtlColor((void*)WParam)) return (intptr_t)brush;
        break;
    case WM_GETDLGCODE: {
        // No control here keeps Tab for itself (a multi-line text would): Tab always moves the focus on.
        LRESULT code = DefaultHandler(Msg, WParam, LParam) & ~DLGC_WANTTAB;
        if (const auto* key = (const MSG*)LParam;
            key && key->wParam == VK_TAB && (key->message == WM_KEYDOWN || key->message == WM_CHAR))
            code &= ~DLGC_WANTMESSAGE;
        // A read-only text (the licence viewer) is there to be read and scrolled: Tab does not select it
        // whole.
        const LONG style = GetWindowLongW(FHandle, GWL_STYLE);
        if ((code & DLGC_HASSETSEL) && (style & ES_MULTILINE) && (style & ES_READONLY))
            code &= ~DLGC_HASSETSEL;
        return code;
    }
    case WM_ERASEBKGND:
        if (!FSubclassed) {
            RECT r;
            GetClientRect(FHandle, &r);
            FillRect((HDC)WParam, &r, (HBRUSH)BackgroundBrush());
            return 1;
        }
        break;
    }
    return DefaultHandler(Msg, WParam, LParam);
}

void* TWinControl::BackgroundBrush() {
    uint32_t rgb = ColorToRGB(Color());
    if (!FBrush || FBrushColor != rgb) {
        if (FBrush) DeleteObject((HBRUSH)FBrush);
        FBrush = CreateSolidBrush(rgb);
        FBrushColor = rgb;
    }
    return FBrush;
}

void* TWinControl::CtlColor(void* DC) {
    SetBkColor((HDC)DC, ColorToRGB(Color()));
    SetTextColor((HDC)DC, ColorToRGB(Font()->Color()));
    return BackgroundBrush();
}

void TWinControl::Repaint() {
    if (!FHandle) return;
    InvalidateRect(FHandle, nullptr, TRUE);
    UpdateWindow(FHandle);
}

bool TWinControl::Focused() const {
    return FHandle && GetFocus() == FHandle;
}

void TWinControl::SetFocus() {
    ::SetFocus(Handle());
}

void TWinControl::TextChanged() {
    if (FHandle) SetWindowTextW(FHandle, FCaption.c_str());
}

void TWinControl::FontChanged() {
    if (FHandle) SendMessageW(FHandle, WM_SETFONT, (WPARAM)Font()->Handle(), TRUE);
    PublishFont();
    for (TControl* c : FControls)
        if (c->ParentFont()) c->SetParentFont(true);
}

void TWinControl::VisibleChanged() {
    if (FHandle) ShowWindow(FHandle, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
    if (FHandle) EnableWindow(FHandle, Enabled());
}

void TWinControl::BoundsChanged() {
    if (FHandle) SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::ColorChanged() {
    if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
    for (TControl* c : FControls)
        if (c->FParentColor) c->SetColor(Color());
}
