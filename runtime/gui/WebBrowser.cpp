#include "runtime/gui/WebBrowser.h"

#include <algorithm>
#include <cctype>
#include <windows.h>
#include <richedit.h>

#include "runtime/Streams.h"

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'A' && c <= L'Z') c += L'a' - L'A';
    return s;
}

// One entity after '&' at Pos (Pos moves past it); U+0026 itself when it is no entity we know.
uint32_t DecodeEntity(const std::wstring& Html, size_t& Pos) {
    size_t semi = Html.find(L';', Pos);
    if (semi == std::wstring::npos || semi - Pos > 10) return L'&';
    std::wstring name = Html.substr(Pos, semi - Pos);
    uint32_t cp = 0;
    if (name.size() > 1 && name[0] == L'#') {
        bool hex = name[1] == L'x' || name[1] == L'X';
        wchar_t* end = nullptr;
        unsigned long v = wcstoul(name.c_str() + (hex ? 2 : 1), &end, hex ? 16 : 10);
        if (*end || v == 0 || v > 0x10FFFF) return L'&';
        cp = (uint32_t)v;
    } else {
        static const struct {
            const wchar_t* Name;
            uint32_t Cp;
        } known[] = {{L"amp", '&'},       {L"lt", '<'},       {L"gt", '>'},       {L"quot", '"'},
                     {L"apos", '\''},     {L"nbsp", 0xA0},    {L"copy", 0xA9},    {L"reg", 0xAE},
                     {L"laquo", 0xAB},    {L"raquo", 0xBB},   {L"mdash", 0x2014}, {L"ndash", 0x2013},
                     {L"hellip", 0x2026}, {L"trade", 0x2122}, {L"rsquo", 0x2019}, {L"lsquo", 0x2018},
                     {L"ldquo", 0x201C},  {L"rdquo", 0x201D}, {L"bull", 0x2022}};
        for (auto& k : known)
            if (name == k.Name) cp = k.Cp;
        if (!cp) return L'&';
    }
    Pos = semi + 1;
    return cp;
}

class TRtfWriter {
public:
    void Text(uint32_t cp) {
        if (IsBlank((wchar_t)cp)) {
            FSpace = FHasText;
            return;
        }
        if (FBreak && FHasText)
            FOut += FBreak == 1 ? "\\line " : "\\par\\par ";
        else if (FSpace)
            FOut += ' ';
        FBreak = 0;
        FSpace = false;
        FHasText = true;
        if (cp == '\\' || cp == '{' || cp == '}')
            FOut += '\\', FOut += (char)cp;
        else if (cp >= 0x20 && cp < 0x80)
            FOut += (char)cp;
        else if (cp >= 0x10000) {
            cp -= 0x10000;
            Unit(0xD800 + (cp >> 10));
            Unit(0xDC00 + (cp & 0x3FF));
        } else
            Unit(cp);
    }
    void LineBreak() { FBreak = std::max(FBreak, 1); }
    void ParagraphBreak() { FBreak = 2; }
    // A control word ends with a blank that RTF drops; a group's brace needs none.
    void Code(const std::string& Rtf) {
        FOut += Rtf;
        if (isalnum((unsigned char)Rtf.back())) FOut += ' ';
    }
    std::string Finish() {
        return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}}\\fs16 " + FOut + "}";
    }

private:
    void Unit(uint32_t u) { FOut += "\\u" + std::to_string((int16_t)u) + "?"; }
    std::string FOut;
    int FBreak = 0; // 1: a line break, 2: a new paragraph, before the next text
    bool FSpace = false;
    bool FHasText = false;
};

} // namespace

std::string HtmlToRtf(const std::wstring& Html) {
    TRtfWriter rtf;
    int hidden = 0; // inside head, script, style or title
    for (size_t i = 0; i < Html.size();) {
        wchar_t c = Html[i];
        if (c == L'<') {
            if (Html.compare(i, 4, L"<!--") == 0) {
                size_t end = Html.find(L"-->", i + 4);
                i = end == std::wstring::npos ? Html.size() : end + 3;
                continue;
            }
            size_t end = Html.find(L'>', i);
            if (end == std::wstring::npos) break;
            std::wstring tag = Html.substr(i + 1, end - i - 1);
            i = end + 1;
            bool closing = !tag.empty() && tag[0] == L'/';
            size_t n = closing ? 1 : 0;
            size_t e = n;
            while (e < tag.size() && !IsBlank(tag[e]) && tag[e] != L'/') ++e;
            std::wstring name = Lower(tag.substr(n, e - n));
            if (name == L"head" || name == L"script" || name == L"style" || name == L"title") {
                hidden += closing ? (hidden > 0 ? -1 : 0) : 1;
                continue;
            }
            if (hidden) continue;
            if (name == L"br")
                rtf.LineBreak();
            else if (name == L"p" || name == L"div" || name == L"ul" || name == L"ol" || name == L"table" ||
                     name == L"tr" || name == L"blockquote" || name == L"hr")
                rtf.ParagraphBreak();
            else if (name.size() == 2 && name[0] == L'h' && name[1] >= L'1' && name[1] <= L'6') {
                rtf.ParagraphBreak();
                static const char* const sizes[] = {"{\\b\\fs28", "{\\b\\fs22", "{\\b\\fs18"};
                rtf.Code(closing ? "}" : sizes[std::min(name[1] - L'1', 2)]);
            } else if (name == L"li") {
                if (!closing) {
                    rtf.LineBreak();
                    rtf.Text(0x2022);
                    rtf.Text(L' ');
                    rtf.Text(0xA0);
                }
            } else if (name == L"b" || name == L"strong")
                rtf.Code(closing ? "\\b0" : "\\b");
            else if (name == L"i" || name == L"em")
                rtf.Code(closing ? "\\i0" : "\\i");
            else if (name == L"u")
                rtf.Code(closing ? "\\ulnone" : "\\ul");
            continue;
        }
        ++i;
        if (hidden) continue;
        uint32_t cp = c;
        if (c == L'&')
            cp = DecodeEntity(Html, i);
        else if (c >= 0xD800 && c < 0xDC00 && i < Html.size() && Html[i] >= 0xDC00 && Html[i] < 0xE000)
            cp = 0x10000 + ((c - 0xD800) << 10) + (Html[i++] - 0xDC00);
        rtf.Text(cp);
    }
    return rtf.Finish();
}

std::wstring DecodeHtmlBytes(const std::string& Bytes) {
    auto decode = [](UINT cp, const char* p, int n, DWORD flags) {
        int len = MultiByteToWideChar(cp, flags, p, n, nullptr, 0);
        std::wstring s((size_t)std::max(len, 0), L'\0');
        if (len > 0) MultiByteToWideChar(cp, flags, p, n, s.data(), len);
        return std::make_pair(s, len > 0 || n == 0);
    };
    const char* p = Bytes.data();
    int n = (int)Bytes.size();
    if (n >= 2 && (uint8_t)p[0] == 0xFF && (uint8_t)p[1] == 0xFE)
        return std::wstring((const wchar_t*)(p + 2), (size_t)(n - 2) / 2);
    if (n >= 3 && (uint8_t)p[0] == 0xEF && (uint8_t)p[1] == 0xBB && (uint8_t)p[2] == 0xBF)
        return decode(CP_UTF8, p + 3, n - 3, 0).first;
    auto utf8 = decode(CP_UTF8, p, n, MB_ERR_INVALID_CHARS);
    return utf8.second ? utf8.first : decode(CP_ACP, p, n, 0).first;
}

ZRX_PUBLISH(TWebBrowser, TWinControl, ZRX_PROP_BOOL(TWebBrowser, RegisterAsBrowser),
            ZRX_PROP_BOOL(TWebBrowser, RegisterAsDropTarget))

TWebBrowser::TWebBrowser(TComponent* AOwner) : TWinControl(AOwner) {
    FParentColor = false;
    SetColor(clWindow);
    SetBounds(0, 0, 300, 150);
}

void TWebBrowser::CreateParams(TCreateParams& Params) {
    static const bool loaded = LoadLibraryW(L"msftedit.dll") != nullptr;
    (void)loaded;
    Params = {MSFTEDIT_CLASS,
              WS_CHILD | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
              WS_EX_CLIENTEDGE, false};
}

void TWebBrowser::InitializeWnd() {
    SendMessageW(FHandle, EM_SETBKGNDCOLOR, 0, (LPARAM)ColorToRGB(Color()));
    RECT margin;
    SendMessageW(FHandle, EM_GETRECT, 0, (LPARAM)&margin);
    InflateRect(&margin, -8, -6);
    SendMessageW(FHandle, EM_SETRECT, 0, (LPARAM)&margin);
    if (!FRtf.empty()) ShowRtf(FRtf);
}

void TWebBrowser::ShowRtf(const std::string& Rtf) {
    FRtf = Rtf;
    if (!FHandle) return;
    SETTEXTEX st{ST_DEFAULT, CP_ACP};
    SendMessageW(FHandle, EM_SETTEXTEX, (WPARAM)&st, (LPARAM)Rtf.c_str());
}

void TWebBrowser::Navigate(const std::wstring& URL) {
    FLocation = URL;
    std::wstring path = URL;
    if (Lower(path.substr(0, 8)) == L"file:///")
        path.erase(0, 8);
    else if (Lower(path.substr(0, 5)) == L"file:")
        path.erase(0, 5);
    std::string bytes;
    try {
        TFileStream f(path, fmOpenRead | fmShareDenyWrite);
        bytes.resize((size_t)f.Size());
        if (!bytes.empty()) f.ReadBuffer(bytes.data(), (int32_t)bytes.size());
    } catch (const Exception&) {
        ShowRtf(HtmlToRtf(L""));
        return;
    }
    ShowRtf(HtmlToRtf(DecodeHtmlBytes(bytes)));
}

std::wstring TWebBrowser::PlainText() const {
    if (!FHandle) return L"";
    GETTEXTLENGTHEX gl{GTL_DEFAULT, 1200};
    int len = (int)SendMessageW(FHandle, EM_GETTEXTLENGTHEX, (WPARAM)&gl, 0);
    std::wstring s((size_t)len + 1, L'\0');
    GETTEXTEX gt{(DWORD)(s.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr, nullptr};
    s.resize((size_t)SendMessageW(FHandle, EM_GETTEXTEX, (WPARAM)&gt, (LPARAM)s.data()));
    return s;
}
