// The standard controls: push button, label, check box, radio button, edit box and list box.
#pragma once
#include <vector>

#include "runtime/StringLists.h"
#include "runtime/gui/Controls.h"

class TButton : public TWinControl {
    ZRX_CLASS(TButton, TWinControl)
public:
    explicit TButton(TComponent* AOwner);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CNCommand(uint16_t Code) override;
};

// Text drawn on the parent's colour; with AutoSize the label takes the size of its text (keeping its width
// when it word-wraps).
class TLabel : public TWinControl {
    ZRX_PUBLISHED_CLASS(TLabel, TWinControl)
public:
    explicit TLabel(TComponent* AOwner);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);

    intptr_t WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void TextChanged() override;
    void FontChanged() override;
    void EnabledChanged() override;
    void ColorChanged() override;
    void InitializeWnd() override;

private:
    void AdjustBounds();
    // The DrawText flags the label paints with, kept as a window property for other processes that measure
    // it.
    void PublishDrawFlags();
    uint32_t DrawFlags() const;
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FWordWrap = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// Setting Checked to a new value fires OnClick, as a click by the user does.
class TCheckBox : public TWinControl {
    ZRX_PUBLISHED_CLASS(TCheckBox, TWinControl)
public:
    explicit TCheckBox(TComponent* AOwner);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void CNCommand(uint16_t Code) override;

private:
    bool FChecked = false;
};

// Checking a radio button unchecks the other radio buttons of its parent and fires its OnClick. The radio
// buttons of a parent are one group for the keyboard: Tab reaches the group at its checked button (at each
// while none is checked), the arrow keys move among the group's shown, enabled buttons and check them.
class TRadioButton : public TWinControl {
    ZRX_PUBLISHED_CLASS(TRadioButton, TWinControl)
public:
    explicit TRadioButton(TComponent* AOwner);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);

    intptr_t WndProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;
    void CNCommand(uint16_t Code) override;

private:
    std::vector<TRadioButton*> Group() const;
    void UpdateTabStops();
    void MoveInGroup(bool Forward);
    bool FChecked = false;
};

class TEdit : public TWinControl {
    ZRX_PUBLISHED_CLASS(TEdit, TWinControl)
public:
    explicit TEdit(TComponent* AOwner);
    std::wstring Caption() const override;
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CNCommand(uint16_t Code) override;

private:
    bool FReadOnly = false;
};

class TListBox;

// The lines of a list box, kept here and mirrored into its window.
class TListBoxStrings : public TStrings {
    ZRX_CLASS(TListBoxStrings, TStrings)
public:
    explicit TListBoxStrings(TListBox* ListBox) : FListBox(ListBox) {}
    int Count() const override { return (int)FItems.size(); }
    std::wstring Get(int Index) const override;
    TObject* Objects(int Index) const override;
    void Put(int Index, const std::wstring& S) override;
    void PutObject(int Index, TObject* AObject) override;
    void Insert(int Index, const std::wstring& S) override;
    void Delete(int Index) override;
    void Clear() override;

private:
    friend class TListBox;
    void Check(int Index, int Limit) const;
    struct TItem {
        std::wstring S;
        TObject* Obj = nullptr;
    };
    std::vector<TItem> FItems;
    TListBox* FListBox;
};

// A list of lines; it may also hold other controls, which it draws over its lines.
class TListBox : public TWinControl {
    ZRX_PUBLISHED_CLASS(TListBox, TWinControl)
public:
    explicit TListBox(TComponent* AOwner);
    TStrings* Items() { return &FItems; }
    void SetItems(TObject* Value) { FItems.Assign(dynamic_cast<TPersistent*>(Value)); }
    int ItemIndex() const;
    void SetItemIndex(int Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;

private:
    TListBoxStrings FItems{this};
    int FItemIndex = -1;
};
