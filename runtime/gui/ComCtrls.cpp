#include "runtime/gui/ComCtrls.h"

#include <windows.h>
#include <commctrl.h>

// TProgressBar

static const wchar_t* const ProgressBarStyleNames[] = {L"pbstNormal", L"pbstMarquee"};

ZRX_PUBLISH(TProgressBar, TWinControl, ZRX_PROP_INT(TProgressBar, Min), ZRX_PROP_INT(TProgressBar, Max),
            ZRX_PROP_INT(TProgressBar, Position), ZRX_PROP_ENUM(TProgressBar, Style, ProgressBarStyleNames))

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 150, 17);
}

void TProgressBar::CreateParams(TCreateParams& Params) {
    Params = {PROGRESS_CLASSW, WS_CHILD | (FStyle == pbstMarquee ? (uint32_t)PBS_MARQUEE : 0u), 0, false};
}

void TProgressBar::InitializeWnd() {
    SendMessageW(FHandle, PBM_SETRANGE32, (WPARAM)FMin, (LPARAM)FMax);
    SendMessageW(FHandle, PBM_SETPOS, (WPARAM)FPosition, 0);
    if (FStyle == pbstMarquee) SendMessageW(FHandle, PBM_SETMARQUEE, TRUE, 0);
}

void TProgressBar::SetMin(int Value) {
    FMin = Value;
    if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, (WPARAM)FMin, (LPARAM)FMax);
}

void TProgressBar::SetMax(int Value) {
    FMax = Value;
    if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, (WPARAM)FMin, (LPARAM)FMax);
}

void TProgressBar::SetPosition(int Value) {
    FPosition = Value < FMin ? FMin : Value > FMax ? FMax : Value;
    if (FHandle) SendMessageW(FHandle, PBM_SETPOS, (WPARAM)FPosition, 0);
}

void TProgressBar::SetStyle(TProgressBarStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    if (!FHandle) return;
    LONG_PTR style = GetWindowLongPtrW(FHandle, GWL_STYLE);
    SetWindowLongPtrW(FHandle, GWL_STYLE, Value == pbstMarquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    SendMessageW(FHandle, PBM_SETMARQUEE, Value == pbstMarquee, 0);
    if (Value == pbstNormal) {
        SendMessageW(FHandle, PBM_SETRANGE32, (WPARAM)FMin, (LPARAM)FMax);
        SendMessageW(FHandle, PBM_SETPOS, (WPARAM)FPosition, 0);
    }
    InvalidateRect(FHandle, nullptr, TRUE);
}

// Tree nodes

TTreeNode* TTreeNode::Item(int Index) const {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    return FChildren[Index].get();
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const std::wstring& S) {
    auto node = std::make_unique<TTreeNode>();
    node->FText = S;
    node->FParent = Parent;
    TTreeNode* result = node.get();
    (Parent ? Parent->FChildren : FRoots).push_back(std::move(node));
    ++FCount;
    return result;
}

TTreeNode* TTreeNodes::GetNodeFromIndex(int Index) const {
    if (Index < 0 || Index >= FCount) RaiseListIndexError(Index);
    // Depth-first walk with an explicit stack of (siblings, position).
    std::vector<std::pair<const std::vector<std::unique_ptr<TTreeNode>>*, size_t>> stack{{&FRoots, 0}};
    int n = 0;
    while (!stack.empty()) {
        auto& [list, pos] = stack.back();
        if (pos == list->size()) {
            stack.pop_back();
            continue;
        }
        TTreeNode* node = (*list)[pos++].get();
        if (n++ == Index) return node;
        stack.push_back({&node->FChildren, 0});
    }
    return nullptr;
}

void TTreeNodes::Clear() {
    FRoots.clear();
    FCount = 0;
}

// List items

TListItem* TListItems::Add() {
    FItems.push_back(std::make_unique<TListItem>());
    return FItems.back().get();
}

TListItem* TListItems::GetItem(int Index) const {
    if (Index < 0 || Index >= GetCount()) RaiseListIndexError(Index);
    return FItems[Index].get();
}
