#include "Driver.h"

#include <cwchar>

namespace {

// The font a control publishes: "height weight italic underline strike-out charset quality face". A font
// handle of another process is of no use here, so the same font is made anew.
HFONT PublishedFont(HWND Wnd) {
    const std::wstring text = AtomProperty(Wnd, L"ComponentFont");
    if (text.empty()) return nullptr;
    LOGFONTW lf{};
    long v[7];
    int face = 0;
    if (swscanf(text.c_str(), L"%ld %ld %ld %ld %ld %ld %ld %n", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                &v[6], &face) < 7)
        return nullptr;
    lf.lfHeight = v[0];
    lf.lfWeight = v[1];
    lf.lfItalic = (BYTE)v[2];
    lf.lfUnderline = (BYTE)v[3];
    lf.lfStrikeOut = (BYTE)v[4];
    lf.lfCharSet = (BYTE)v[5];
    lf.lfQuality = (BYTE)v[6];
    lstrcpynW(lf.lfFaceName, text.c_str() + face, LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

enum TKind { kNone, kLabel, kBox, kButton };

TKind KindOf(HWND Wnd, UINT& DrawFlags) {
    if (HasCheckState(Wnd)) return kBox;
    if (lstrcmpiW(WindowClass(Wnd).c_str(), L"Button") == 0) {
        const LONG type = GetWindowLongW(Wnd, GWL_STYLE) & BS_TYPEMASK;
        return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? kButton : kNone;
    }
    // A label of the program's own class paints its caption with the flags it publishes.
    if (HANDLE flags = GetPropW(Wnd, L"ComponentDrawFlags")) {
        DrawFlags = (UINT)(uintptr_t)flags;
        return kLabel;
    }
    return kNone;
}

// The room a text needs, as DrawText measures it.
SIZE Measure(HDC Dc, const std::wstring& Text, UINT Flags, int Width) {
    RECT r{0, 0, (Flags & DT_WORDBREAK) ? Width : 0, 0};
    DrawTextW(Dc, Text.c_str(), (int)Text.size(), &r, Flags | DT_CALCRECT);
    return {r.right - r.left, r.bottom - r.top};
}
} // namespace

void PrintTextExtents(HWND Top) {
    HDC dc = CreateCompatibleDC(nullptr);
    for (const auto& c : ListControls(Top, false)) {
        UINT flags = 0;
        const TKind kind = KindOf(c.Wnd, flags);
        if (kind == kNone || c.Text.empty()) continue;
        RECT client;
        GetClientRect(c.Wnd, &client);
        HFONT font = PublishedFont(c.Wnd);
        HGDIOBJ old = SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(DEFAULT_GUI_FONT));
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        SIZE need{};
        if (kind == kLabel) {
            need = Measure(dc, c.Text, flags, client.right);
        } else {
            need = Measure(dc, c.Text, DT_SINGLELINE, 0);
            if (kind == kBox) {
                // The box and the gap before the text, as the button control lays them out: a box of 12
                // pixels and one at 96 dpi, then half the width of a digit.
                int digit = 0;
                GetCharWidth32W(dc, L'0', L'0', &digit);
                need.cx += 12 * GetDeviceCaps(dc, LOGPIXELSX) / 96 + 1 + digit / 2;
            } else {
                // The raised frame and the focus rectangle take three pixels on either side.
                need.cx += 6;
            }
        }
        SelectObject(dc, old);
        if (font) DeleteObject(font);
        // A label that sizes itself to its text always fits itself: the room up to its parent's right edge
        // tells whether it runs out of the window.
        RECT parent{};
        GetClientRect(GetParent(c.Wnd), &parent);
        WriteLine({c.Name, c.Class, std::to_wstring(client.right), std::to_wstring(client.bottom),
                   std::to_wstring(need.cx), std::to_wstring(need.cy), font ? face : L"",
                   std::to_wstring(parent.right - c.Bounds.left), c.Text});
    }
    DeleteDC(dc);
}
