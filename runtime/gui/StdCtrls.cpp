#include "runtime/gui/StdCtrls.h"

#include <windows.h>

#include <algorithm>

// TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 75, 25);
}

void TButton::CreateParams(TCreateParams& Params) {
    Params = {L"BUTTON", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, false};
}

void TButton::CNCommand(uint16_t Code) {
    if (Code == BN_CLICKED) Click();
}

// TLabel

ZRX_PUBLISH(TLabel, TWinControl, ZRX_PROP_ENUM(TLabel, Alignment, AlignmentNames),
            ZRX_PROP_BOOL(TLabel, AutoSize), ZRX_PROP_BOOL(TLabel, WordWrap))

TLabel::TLabel(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 65, 17);
}

void TLabel::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= WS_CHILD;
}

uint32_t TLabel::DrawFlags() const {
    static const uint32_t align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    // Without word wrap, line breaks in the caption still start new lines.
    return DT_EXPANDTABS | align[FAlignment] | (FWordWrap ? DT_WORDBREAK : 0u);
}

void TLabel::AdjustBounds() {
    if (!FAutoSize) return;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    RECT r{0, 0, FWordWrap ? FWidth : 0x7FFF, 0};
    // An empty label keeps the height of a line.
    std::wstring text = FCaption.empty() ? L"Wg" : FCaption;
    DrawTextW(dc, text.c_str(), (int)text.size(), &r, DrawFlags() | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int x = FLeft;
    if (FAlignment == taRightJustify) x += FWidth - r.right;
    SetBounds(x, FTop, FCaption.empty() ? 0 : r.right, r.bottom);
}

void TLabel::InitializeWnd() {
    PublishDrawFlags();
}

void TLabel::PublishDrawFlags() {
    if (FHandle) SetPropW(FHandle, L"ComponentDrawFlags", (HANDLE)(uintptr_t)DrawFlags());
}

void TLabel::SetAlignment(TAlignment Value) {
    if (Value == FAlignment || Value < taLeftJustify || Value > taCenter) return; // indexes the draw flags
    FAlignment = Value;
    PublishDrawFlags();
    AdjustBounds();
    Repaint();
}

void TLabel::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TLabel::SetWordWrap(bool Value) {
    if (Value == FWordWrap) return;
    FWordWrap = Value;
    PublishDrawFlags();
    AdjustBounds();
    Repaint();
}

void TLabel::TextChanged() {
    // The label paints its caption itself; its window text is for other processes that read it.
    TWinControl::TextChanged();
    AdjustBounds();
    Repaint();
}

void TLabel::FontChanged() {
    PublishFont();
    AdjustBounds();
    Repaint();
}

void TLabel::EnabledChanged() {
    TWinControl::EnabledChanged();
    Repaint();
}

void TLabel::ColorChanged() {
    Repaint();
}

intptr_t TLabel::WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    switch (Msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        RECT r;
        GetClientRect(FHandle, &r);
        FillRect(dc, &r, (HBRUSH)BackgroundBrush());
        HGDIOBJ old = SelectObject(dc, Font()->Handle());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(Enabled() ? Font()->Color() : clGrayText));
        const bool hideMarks = SendMessageW(FHandle, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL;
        DrawTextW(dc, FCaption.c_str(), (int)FCaption.size(), &r,
                  DrawFlags() | (hideMarks ? DT_HIDEPREFIX : 0u));
        SelectObject(dc, old);
        EndPaint(FHandle, &ps);
        return 0;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_UPDATEUISTATE:
        InvalidateRect(FHandle, nullptr, TRUE);
        break;
    }
    return TWinControl::WndProc(Msg, WParam, LParam);
}

// TCheckBox

ZRX_PUBLISH(TCheckBox, TWinControl, ZRX_PROP_BOOL(TCheckBox, Checked))

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 97, 17);
}

void TCheckBox::CreateParams(TCreateParams& Params) {
    Params = {L"BUTTON", WS_CHILD | WS_TABSTOP | BS_CHECKBOX, 0, false};
}

void TCheckBox::InitializeWnd() {
    SendMessageW(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::SetChecked(bool Value) {
    if (Value == FChecked) return;
    FChecked = Value;
    if (FHandle) SendMessageW(FHandle, BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
    Click();
}

void TCheckBox::CNCommand(uint16_t Code) {
    if (Code == BN_CLICKED) SetChecked(!FChecked);
}

// TRadioButton

ZRX_PUBLISH(TRadioButton, TWinControl, ZRX_PROP_BOOL(TRadioButton, Checked))

TRadioButton::TRadioButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 113, 17);
}

void TRadioButton::CreateParams(TCreateParams& Params) {
    Params = {L"BUTTON", WS_CHILD | BS_RADIOBUTTON, 0, false};
}

void TRadioButton::InitializeWnd() {
    SendMessageW(FHandle, BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
    UpdateTabStops();
}

// Sets or clears the tab stop of a made radio button, where it changes (a change costs a call to the system).
static void SetTabStop(HWND Wnd, bool Stop) {
    const LONG style = GetWindowLongW(Wnd, GWL_STYLE);
    if (((style & WS_TABSTOP) != 0) != Stop)
        SetWindowLongW(Wnd, GWL_STYLE, Stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
}

std::vector<TRadioButton*> TRadioButton::Group() const {
    std::vector<TRadioButton*> group;
    if (TWinControl* p = Parent())
        for (int i = 0; i < p->ControlCount(); ++i)
            if (auto* radio = dynamic_cast<TRadioButton*>(p->Controls(i))) group.push_back(radio);
    return group;
}

void TRadioButton::UpdateTabStops() {
    const auto group = Group();
    bool anyChecked = false;
    for (TRadioButton* radio : group) anyChecked = anyChecked || radio->FChecked;
    for (TRadioButton* radio : group)
        if (radio->FHandle) SetTabStop(radio->FHandle, radio->FChecked || !anyChecked);
}

void TRadioButton::SetChecked(bool Value) {
    if (Value == FChecked) return;
    FChecked = Value;
    if (FHandle) SendMessageW(FHandle, BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!Value) {
        UpdateTabStops();
        return;
    }
    for (TRadioButton* other : Group())
        if (other != this) other->SetChecked(false);
    UpdateTabStops();
    Click();
}

void TRadioButton::MoveInGroup(bool Forward) {
    std::vector<TRadioButton*> usable;
    for (TRadioButton* radio : Group())
        if (radio == this ||
            (radio->FHandle && IsWindowVisible(radio->FHandle) && IsWindowEnabled(radio->FHandle)))
            usable.push_back(radio);
    const size_t n = usable.size(),
                 at = size_t(std::find(usable.begin(), usable.end(), this) - usable.begin());
    TRadioButton* next = usable[(at + (Forward ? 1 : n - 1)) % n];
    if (next == this) return;
    next->SetFocus();
    next->SetChecked(true);
}

intptr_t TRadioButton::WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    switch (Msg) {
    case WM_GETDLGCODE:
        return TWinControl::WndProc(Msg, WParam, LParam) | DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (WParam == VK_LEFT || WParam == VK_UP || WParam == VK_RIGHT || WParam == VK_DOWN) {
            MoveInGroup(WParam == VK_RIGHT || WParam == VK_DOWN);
            return 0;
        }
        break;
    }
    return TWinControl::WndProc(Msg, WParam, LParam);
}

void TRadioButton::CNCommand(uint16_t Code) {
    if (Code == BN_CLICKED) SetChecked(true);
}

// TEdit

ZRX_PUBLISH(TEdit, TWinControl, ZRX_PROP_STR(TEdit, Text), ZRX_PROP_BOOL(TEdit, ReadOnly))

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
    FParentColor = false;
    SetColor(clWindow);
    SetBounds(0, 0, 121, 21);
}

void TEdit::CreateParams(TCreateParams& Params) {
    Params = {L"EDIT", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL | (FReadOnly ? ES_READONLY : 0u),
              WS_EX_CLIENTEDGE, false};
}

std::wstring TEdit::Caption() const {
    if (!FHandle) return FCaption;
    std::wstring s((size_t)GetWindowTextLengthW(FHandle) + 1, L'\0');
    s.resize((size_t)GetWindowTextW(FHandle, s.data(), (int)s.size()));
    return s;
}

void TEdit::SetReadOnly(bool Value) {
    FReadOnly = Value;
    if (FHandle) SendMessageW(FHandle, EM_SETREADONLY, Value, 0);
}

void TEdit::CNCommand(uint16_t Code) {
    if (Code != EN_CHANGE) return;
    FCaption = Caption();
    if (OnChange) OnChange(this);
}

// TListBoxStrings

void TListBoxStrings::Check(int Index, int Limit) const {
    if (Index < 0 || Index >= Limit) RaiseListIndexError(Index);
}

std::wstring TListBoxStrings::Get(int Index) const {
    Check(Index, Count());
    return FItems[Index].S;
}

TObject* TListBoxStrings::Objects(int Index) const {
    Check(Index, Count());
    return FItems[Index].Obj;
}

void TListBoxStrings::Put(int Index, const std::wstring& S) {
    Check(Index, Count());
    TObject* obj = FItems[Index].Obj;
    Delete(Index);
    Insert(Index, S);
    FItems[Index].Obj = obj;
}

void TListBoxStrings::PutObject(int Index, TObject* AObject) {
    Check(Index, Count());
    FItems[Index].Obj = AObject;
}

void TListBoxStrings::Insert(int Index, const std::wstring& S) {
    Check(Index, Count() + 1);
    FItems.insert(FItems.begin() + Index, TItem{S});
    if (FListBox->HandleAllocated())
        SendMessageW(FListBox->Handle(), LB_INSERTSTRING, (WPARAM)Index, (LPARAM)FItems[Index].S.c_str());
}

void TListBoxStrings::Delete(int Index) {
    Check(Index, Count());
    FItems.erase(FItems.begin() + Index);
    if (FListBox->HandleAllocated()) SendMessageW(FListBox->Handle(), LB_DELETESTRING, (WPARAM)Index, 0);
}

void TListBoxStrings::Clear() {
    FItems.clear();
    if (FListBox->HandleAllocated()) SendMessageW(FListBox->Handle(), LB_RESETCONTENT, 0, 0);
}

// TListBox

ZRX_PUBLISH(TListBox, TWinControl, ZRX_PROP_OBJ(TListBox, Items), ZRX_PROP_INT(TListBox, ItemIndex))

TListBox::TListBox(TComponent* AOwner) : TWinControl(AOwner) {
    FParentColor = false;
    SetColor(clWindow);
    SetBounds(0, 0, 121, 97);
}

void TListBox::CreateParams(TCreateParams& Params) {
    Params = {L"LISTBOX",
              WS_CHILD | WS_TABSTOP | WS_VSCROLL | WS_CLIPCHILDREN | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
              WS_EX_CLIENTEDGE, false};
}

void TListBox::InitializeWnd() {
    for (auto& item : FItems.FItems) SendMessageW(FHandle, LB_ADDSTRING, 0, (LPARAM)item.S.c_str());
    SendMessageW(FHandle, LB_SETCURSEL, (WPARAM)FItemIndex, 0);
}

int TListBox::ItemIndex() const {
    return FHandle ? (int)SendMessageW(FHandle, LB_GETCURSEL, 0, 0) : FItemIndex;
}

void TListBox::SetItemIndex(int Value) {
    FItemIndex = Value;
    if (FHandle) SendMessageW(FHandle, LB_SETCURSEL, (WPARAM)Value, 0);
}
