#include "runtime/gui/WebBrowser.h"

#include <algorithm>
#include <windows.h>
#include <richedit.h>

#include "runtime/Streams.h"

namespace {

// Limits far above any real licence. The rich edit control spends time and memory on every character and
// line it shows, and time on the square of a paragraph's length: of a file, the first MaxHtmlBytes are read,
// and of them at most MaxChars characters in MaxBreaks lines are shown; a paragraph longer than MaxLine
// characters is broken at its next blank, or within a word twice as long.
constexpr int64_t MaxHtmlBytes = 4 << 20;
constexpr size_t MaxLine = 1000, MaxChars = 128 << 10, MaxBreaks = 5000;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'A' && c <= L'Z') c += L'a' - L'A';
    return s;
}

// One entity after '&' at Pos (Pos moves past it); U+0026 itself when it is no entity we know. The ';' is
// looked for within the longest name only, so that a flood of bare '&' stays linear.
uint32_t DecodeEntity(const std::wstring& Html, size_t& Pos) {
    size_t semi = Pos;
    while (semi < Html.size() && semi - Pos <= 10 && Html[semi] != L';') ++semi;
    if (semi == Html.size() || Html[semi] != L';') return L'&';
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

// The character format that the open tags ask for.
struct TFormat {
    int Size = 16; // half points
    bool Bold = false, Italic = false, Underline = false;
    bool operator==(const TFormat&) const = default;
};

// Writes text with its format as RTF. The format is written only where it changes, before the text it
// applies to, as plain control words: tags without text cost nothing, and no group is opened however the
// tags nest (the rich edit control fails on deeply nested groups).
class TRtfWriter {
public:
    TFormat Format;
    void Text(uint32_t cp) {
        if (IsBlank((wchar_t)cp)) {
            FSpace = FHasText;
            return;
        }
        if (cp < 0x20) return;                        // control characters, NUL among them, show nothing
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD; // half a surrogate pair
        if (!(Format == FShown)) WriteFormat();
        if (FBreak && FHasText) {
            FOut += FBreak == 1 ? "\\line " : "\\par\\par ";
            FLine = 0;
            ++FBreaks;
        } else if (FLine >= (FSpace ? MaxLine : 2 * MaxLine)) {
            FOut += "\\par ";
            FLine = 0;
            ++FBreaks;
        } else if (FSpace) {
            FOut += ' ';
            ++FChars;
        }
        ++FLine;
        ++FChars;
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
    // Whether the text has reached the length or the number of lines that are shown.
    bool Full() const { return FChars >= MaxChars || FBreaks >= MaxBreaks; }
    void LineBreak() { FBreak = std::max(FBreak, 1); }
    void ParagraphBreak() { FBreak = 2; }
    std::string Finish() {
        return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}}\\fs16 " + FOut + "}";
    }

private:
    void WriteFormat() {
        if (Format.Bold != FShown.Bold) FOut += Format.Bold ? "\\b " : "\\b0 ";
        if (Format.Italic != FShown.Italic) FOut += Format.Italic ? "\\i " : "\\i0 ";
        if (Format.Underline != FShown.Underline) FOut += Format.Underline ? "\\ul " : "\\ulnone ";
        if (Format.Size != FShown.Size) FOut += "\\fs" + std::to_string(Format.Size) + " ";
        FShown = Format;
    }
    void Unit(uint32_t u) { FOut += "\\u" + std::to_string((int16_t)u) + "?"; }
    std::string FOut;
    TFormat FShown;
    int FBreak = 0; // 1: a line break, 2: a new paragraph, before the next text
    bool FSpace = false;
    bool FHasText = false;
    size_t FLine = 0, FChars = 0, FBreaks = 0;
};

// An open or a closing tag of an element that may nest: how many are open.
void Count(int& Open, bool Closing) {
    Open = Closing ? std::max(Open - 1, 0) : Open + 1;
}

} // namespace

std::string HtmlToRtf(const std::wstring& Html) {
    TRtfWriter rtf;
    int hidden = 0; // inside head, script, style or title
    int heading = 0, bold = 0, italic = 0, underline = 0;
    for (size_t i = 0; i < Html.size() && !rtf.Full();) {
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
                Count(hidden, closing);
                continue;
            }
            if (hidden) continue;
            if (name == L"br")
                rtf.LineBreak();
            else if (name == L"p" || name == L"div" || name == L"ul" || name == L"ol" || name == L"table" ||
                     name == L"tr" || name == L"blockquote" || name == L"hr") {
                rtf.ParagraphBreak();
                heading = 0; // a heading left open ends where the next block begins
            } else if (name.size() == 2 && name[0] == L'h' && name[1] >= L'1' && name[1] <= L'6') {
                rtf.ParagraphBreak();
                static const int sizes[] = {28, 22, 18};
                heading = closing ? 0 : sizes[std::min(name[1] - L'1', 2)];
            } else if (name == L"li") {
                if (!closing) {
                    rtf.LineBreak();
                    rtf.Text(0x2022);
                    rtf.Text(L' ');
                    rtf.Text(0xA0);
                }
            } else if (name == L"b" || name == L"strong")
                Count(bold, closing);
            else if (name == L"i" || name == L"em")
                Count(italic, closing);
            else if (name == L"u")
                Count(underline, closing);
            rtf.Format = {heading ? heading : 16, heading || bold, italic > 0, underline > 0};
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
    const auto byte = [&](size_t k) { return (uint8_t)p[k]; };
    if (n >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool big = byte(0) == 0xFE;
        std::wstring s((size_t)(n - 2) / 2, L'\0');
        for (size_t k = 0; k < s.size(); ++k)
            s[k] = big ? byte(2 + 2 * k) << 8 | byte(3 + 2 * k) : byte(3 + 2 * k) << 8 | byte(2 + 2 * k);
        return s;
    }
    if (n >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
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
        const int64_t size = f.Size();
        bytes.resize((size_t)std::min(size, MaxHtmlBytes));
        if (!bytes.empty()) f.ReadBuffer(bytes.data(), (int32_t)bytes.size());
        // What lies beyond the limit is not shown; a UTF-8 character cut at it goes too, so that the rest
        // still reads as UTF-8.
        if (size > MaxHtmlBytes) {
            for (int k = 0; k < 3 && ((uint8_t)bytes.back() & 0xC0) == 0x80; ++k) bytes.pop_back();
            if ((uint8_t)bytes.back() >= 0xC0) bytes.pop_back();
        }
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
