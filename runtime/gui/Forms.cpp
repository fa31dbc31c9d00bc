#include "runtime/gui/Forms.h"

#include <algorithm>
#include <windows.h>

#include "runtime/gui/Application.h"

static TScreen TheScreen;
TScreen* const Screen = &TheScreen;

TCustomForm* TScreen::Forms(int Index) const {
    if (Index < 0 || Index >= (int)FForms.size()) RaiseListIndexError(Index);
    return FForms[Index];
}

TCustomForm* TScreen::FormOfWindow(HWND Wnd) const {
    HWND root = Wnd ? GetAncestor(Wnd, GA_ROOT) : nullptr;
    if (!root) return nullptr;
    for (TCustomForm* form : FForms)
        if (form->HandleAllocated() && form->Handle() == root) return form;
    return nullptr;
}

static const wchar_t* const BorderStyleNames[] = {L"bsNone",   L"bsSingle",     L"bsSizeable",
                                                  L"bsDialog", L"bsToolWindow", L"bsSizeToolWin"};
static const wchar_t* const BorderIconNames[] = {L"biSystemMenu", L"biMinimize", L"biMaximize", L"biHelp"};
static const wchar_t* const PositionNames[] = {L"poDesigned",        L"poDefault",      L"poDefaultPosOnly",
                                               L"poDefaultSizeOnly", L"poScreenCenter", L"poDesktopCenter"};

ZRX_PUBLISH(TCustomForm, TWinControl, ZRX_PROP_INT_IN(TCustomForm, ClientWidth, 0, 32767),
            ZRX_PROP_INT_IN(TCustomForm, ClientHeight, 0, 32767),
            ZRX_PROP_ENUM(TCustomForm, BorderStyle, BorderStyleNames),
            ZRX_PROP_SET(TCustomForm, BorderIcons, BorderIconNames),
            ZRX_PROP_ENUM(TCustomForm, Position, PositionNames), ZRX_PROP_BOOL(TCustomForm, KeyPreview))

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    FParentColor = false;
    SetParentFont(false);
    SetVisible(false);
    FCanvas.Font()->Assign(Font());
    Font()->OnChange = [this, chain = Font()->OnChange](TObject* s) {
        chain(s);
        FCanvas.Font()->Assign(Font());
    };
    SetClientWidth(320);
    SetClientHeight(240);
    Screen->FForms.push_back(this);
}

TCustomForm::~TCustomForm() {
    auto& forms = Screen->FForms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (FBorderStyle) {
    case bsNone:
        Params.Style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        Params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsDialog:
        Params.Style |= WS_CAPTION | WS_BORDER;
        Params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    default:
        Params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    }
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) Params.ExStyle |= WS_EX_TOOLWINDOW;
    if (FBorderStyle != bsNone && (FBorderIcons & (1u << biSystemMenu))) {
        Params.Style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog) {
            if (FBorderIcons & (1u << biMinimize)) Params.Style |= WS_MINIMIZEBOX;
            if (FBorderIcons & (1u << biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
        }
    }
    if (Application->MainFormOnTaskBar && Application->MainForm() == this) Params.ExStyle |= WS_EX_APPWINDOW;
}

// The window size that gives the client size, for the current border.
void TCustomForm::UpdateWindowSize() {
    TCreateParams p;
    CreateParams(p);
    RECT r{0, 0, FClientWidth, FClientHeight};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (FPosition == poScreenCenter || FPosition == poDesktopCenter) {
        RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (FPosition == poScreenCenter) SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        TWinControl::SetBounds(work.left + (work.right - work.left - w) / 2,
                               work.top + (work.bottom - work.top - h) / 2, w, h);
    } else {
        TWinControl::SetBounds(FLeft, FTop, w, h);
    }
}

void TCustomForm::SetClientWidth(int Value) {
    FClientWidth = Value;
    UpdateWindowSize();
}

void TCustomForm::SetClientHeight(int Value) {
    FClientHeight = Value;
    UpdateWindowSize();
}

void TCustomForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCreateParams p;
    CreateParams(p);
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    FClientWidth = AWidth - (r.right - r.left);
    FClientHeight = AHeight - (r.bottom - r.top);
    TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
    FBorderStyle = Value;
    UpdateWindowSize();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
    FBorderIcons = Value;
    UpdateWindowSize();
}

void TCustomForm::InitializeWnd() {
    FCanvas.SetWindow(FHandle);
    // As Windows starts a window used with the mouse: no focus rectangle and no underlined letters until the
    // keyboard is used.
    SendMessageW(FHandle, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    // Centre again now that the final border is known.
    UpdateWindowSize();
}

void TCustomForm::VisibleChanged() {
    if (Visible()) {
        HWND wnd = Handle();
        ShowWindow(wnd, SW_SHOW);
        UpdateWindow(wnd);
    } else if (FHandle) {
        ShowWindow(FHandle, SW_HIDE);
    }
}

void TCustomForm::Close() {
    TCloseAction action = caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) return;
    if (Application->MainForm() == this)
        Application->Terminate();
    else if (action == caMinimize && FHandle)
        ShowWindow(FHandle, SW_MINIMIZE);
    else
        Hide();
}

// Shows the focus or the marked letters (UISF_ flags) from now on, where they are hidden.
static void ShowKeyboardCues(HWND Form, WPARAM Flags) {
    if (SendMessageW(Form, WM_QUERYUISTATE, 0, 0) & Flags)
        SendMessageW(Form, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, Flags), 0);
}

bool TCustomForm::DialogKey(MSG& Msg) {
    if (!FHandle || !IsWindowEnabled(FHandle)) return false;
    if (Msg.message == WM_SYSKEYDOWN) {
        ShowKeyboardCues(FHandle, UISF_HIDEFOCUS | UISF_HIDEACCEL);
    } else if (Msg.message == WM_KEYDOWN) {
        switch (Msg.wParam) {
        case VK_TAB:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            ShowKeyboardCues(FHandle, UISF_HIDEFOCUS);
            break;
        }
    }
    // The system's dialog keyboard; it dispatches the messages it does not use itself.
    return IsDialogMessageW(FHandle, &Msg) != FALSE;
}

// A control that can have the focus for the keyboard's sake; not a control that only holds others.
static bool TakesFocus(HWND Form, HWND Wnd) {
    return Wnd && Wnd != Form && IsChild(Form, Wnd) && IsWindowVisible(Wnd) && IsWindowEnabled(Wnd) &&
           !(GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
}

void TCustomForm::EnsureFocus() {
    if (!FHandle || GetActiveWindow() != FHandle || !IsWindowEnabled(FHandle)) return;
    HWND focus = GetFocus();
    if (TakesFocus(FHandle, focus)) return;
    // A click on a holder of controls (or the loss of its focused control) leaves the focus within it.
    HWND first = nullptr;
    if (focus && focus != FHandle && IsChild(FHandle, focus))
        first = GetNextDlgTabItem(focus, nullptr, FALSE);
    if (!TakesFocus(FHandle, first)) first = GetNextDlgTabItem(FHandle, nullptr, FALSE);
    if (TakesFocus(FHandle, first) && (GetWindowLongW(first, GWL_STYLE) & WS_TABSTOP)) ::SetFocus(first);
}

void TCustomForm::Paint() {
    if (OnPaint) OnPaint(this);
}

intptr_t TCustomForm::WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    switch (Msg) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_COMMAND:
        // Return, as the dialog keyboard reports it where no default button is set: it presses the focused
        // push button.
        if (WParam == IDOK && LParam == 0) {
            HWND focus = GetFocus();
            if (focus && IsChild(FHandle, focus) &&
                (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
                SendMessageW(focus, BM_CLICK, 0, 0);
            return 0;
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        FCanvas.SetPaintDC(dc);
        try {
            Paint();
        } catch (...) {
            FCanvas.SetPaintDC(nullptr);
            EndPaint(FHandle, &ps);
            throw;
        }
        FCanvas.SetPaintDC(nullptr);
        EndPaint(FHandle, &ps);
        return 0;
    }
    case WM_WINDOWPOSCHANGED: {
        auto* wp = (WINDOWPOS*)LParam;
        if (!(wp->flags & SWP_NOMOVE)) FLeft = wp->x, FTop = wp->y;
        break;
    }
    }
    return TWinControl::WndProc(Msg, WParam, LParam);
}
