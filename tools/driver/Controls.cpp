#include "Driver.h"

#include <commctrl.h>

namespace {

LRESULT Ask(HWND Wnd, UINT Msg, WPARAM W = 0, LPARAM L = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(Wnd, Msg, W, L, SMTO_ABORTIFHUNG, 2000, &result);
    return (LRESULT)result;
}

struct TCollect {
    HWND Top;
    bool All;
    std::vector<TControlInfo> Controls;
};

TControlInfo Describe(HWND Wnd, HWND Top) {
    TControlInfo c;
    c.Wnd = Wnd;
    c.Name = AtomProperty(Wnd, L"ComponentName");
    const std::wstring cls = WindowClass(Wnd);
    c.Class = AtomProperty(Wnd, L"ComponentClass");
    if (c.Class.empty()) c.Class = cls;
    HWND parent = GetParent(Wnd);
    if (parent && parent != Top) {
        c.Parent = AtomProperty(parent, L"ComponentName");
        if (c.Parent.empty()) c.Parent = WindowClass(parent);
    }
    GetWindowRect(Wnd, &c.Bounds);
    MapWindowPoints(nullptr, parent, (POINT*)&c.Bounds, 2);
    c.Visible = IsWindowVisible(Wnd);
    c.Enabled = IsWindowEnabled(Wnd);
    const LONG style = GetWindowLongW(Wnd, GWL_STYLE);
    if (HasCheckState(Wnd)) {
        c.Checked = (int)Ask(Wnd, BM_GETCHECK);
    } else if (lstrcmpiW(cls.c_str(), PROGRESS_CLASSW) == 0) {
        c.Value = (style & PBS_MARQUEE) ? L"marquee"
                                        : std::to_wstring((int)Ask(Wnd, PBM_GETPOS)) + L"/" +
                                              std::to_wstring((int)Ask(Wnd, PBM_GETRANGE, FALSE));
    } else if (lstrcmpiW(cls.c_str(), L"Edit") == 0 && (style & ES_READONLY)) {
        c.Value = L"readonly";
    }
    c.Text = WindowText(Wnd);
    return c;
}

BOOL CALLBACK CollectChild(HWND Wnd, LPARAM Param) {
    auto* collect = (TCollect*)Param;
    if (collect->All || IsWindowVisible(Wnd)) collect->Controls.push_back(Describe(Wnd, collect->Top));
    return TRUE;
}

// The caption as the user reads it: "&&" is an ampersand, a single "&" marks the access key.
std::wstring WithoutAccessKeys(const std::wstring& Text) {
    std::wstring out;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == L'&' && i + 1 < Text.size()) ++i;
        out += Text[i];
    }
    return out;
}
} // namespace

std::vector<TControlInfo> ListControls(HWND Top, bool All) {
    TCollect collect{Top, All, {}};
    EnumChildWindows(Top, CollectChild, (LPARAM)&collect);
    return collect.Controls;
}

std::vector<std::wstring> ControlFields(const TControlInfo& c) {
    auto n = [](long v) { return std::to_wstring(v); };
    return {c.Name,
            c.Class,
            c.Parent,
            n(c.Bounds.left),
            n(c.Bounds.top),
            n(c.Bounds.right - c.Bounds.left),
            n(c.Bounds.bottom - c.Bounds.top),
            c.Visible ? L"1" : L"0",
            c.Enabled ? L"1" : L"0",
            c.Checked < 0 ? L"-" : n(c.Checked),
            c.Value,
            c.Text};
}

const TControlInfo* FindControl(const std::vector<TControlInfo>& Controls, const std::wstring& Key) {
    const TControlInfo* hidden = nullptr;
    for (const auto& c : Controls)
        if (c.Name == Key) {
            if (c.Visible) return &c;
            if (!hidden) hidden = &c;
        }
    if (hidden) return hidden;
    for (const auto& c : Controls)
        if (c.Visible && (c.Text == Key || WithoutAccessKeys(c.Text) == Key)) return &c;
    for (const auto& c : Controls)
        if (c.Text == Key || WithoutAccessKeys(c.Text) == Key) return &c;
    return nullptr;
}

std::wstring DescribeWindow(HWND Top) {
    if (!IsWindow(Top)) return L"the window no longer exists";
    std::wstring text = L"the window '" + WindowText(Top) + L"' shows:";
    auto controls = ListControls(Top, false);
    if (controls.empty()) text += L" no visible controls";
    for (const auto& c : controls) {
        text += L"\n ";
        for (const auto& f : ControlFields(c)) text += L" " + (f.empty() ? L"''" : Escape(f));
    }
    return text;
}

void PostClick(HWND Control) {
    if (lstrcmpiW(WindowClass(Control).c_str(), L"Button") == 0) {
        PostMessageW(Control, BM_CLICK, 0, 0);
        return;
    }
    RECT r;
    GetClientRect(Control, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageW(Control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(Control, WM_LBUTTONUP, 0, at);
}
