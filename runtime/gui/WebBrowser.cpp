#include "runtime/gui/WebBrowser.h"

#include <algorithm>
#include <windows.h>
#include <richedit.h>

#include "runtime/Streams.h"

namespace {

// Limits far above any real licence (a long one with its third-party notices holds about 512K characters in
// some 10,000 lines). The rich edit control spends time and memory on every character and line it shows, and
// time on the square of a paragraph's length: of a file, the first MaxHtmlBytes are read, and of them at most
// MaxChars characters in MaxBreaks lines are shown; a paragraph longer than MaxLine characters is split. A
// word that the control must break within costs it far more: one longer than MaxWord is split where it
// stands. Lines of short words cost the control most (measured by bench/licence): the squares of the
// lines' lengths add up to at most MaxSquares, which real terms stay far below (512K characters of a
// licence with its notices: about a sixth; in paragraphs of 1,900 characters: all of them).
constexpr int64_t MaxHtmlBytes = 4 << 20;
constexpr size_t MaxLine = 8000, MaxWord = 2000, MaxChars = 1 << 20, MaxBreaks = 1 << 15;
constexpr uint64_t MaxSquares = 16ull * MaxLine * MaxLine;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
}

bool EndsSentence(uint32_t cp) {
    return cp == '.' || cp == '!' || cp == '?' || cp == ';' || cp == 0x2026;
}

// Quotes and brackets that may close a sentence after its full stop.
bool ClosesSentence(uint32_t cp) {
    return cp == '"' || cp == '\'' || cp == ')' || cp == ']' || cp == 0xBB || cp == 0x2019 || cp == 0x201D;
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
// tags nest (the rich edit control fails on deeply nested groups). The line being written is kept apart
// until it ends, so that a paragraph found longer than MaxLine can be split at a blank already written.
class TRtfWriter {
public:
    TFormat Format;
    void Text(uint32_t cp) {
        if (IsBlank((wchar_t)cp)) {
            FSpace = FHasText;
            return;
        }
        if (cp < 0x20 || FCut) return;                // control characters, NUL among them, show nothing
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD; // half a surrogate pair
        const bool newLine = FBreak && FHasText;
        if (FChars >= MaxChars || (newLine && FBreaks >= MaxBreaks) ||
            FSquares + (FLineChars + 2) * (FLineChars + 2) > MaxSquares) {
            FCut = true;
            return;
        }
        if (!(Format == FShown)) WriteFormat();
        if (newLine) {
            EndLine(FBreak == 1 ? "\\line " : "\\par\\par ");
        } else if (FSpace) {
            // A blank after a sentence's end is where a long paragraph is best split.
            const bool sentence = EndsSentence(FLast) || (ClosesSentence(FLast) && EndsSentence(FBeforeLast));
            FBlank = {FLineOut.size(), FLineChars};
            if (sentence) FSentence = FBlank;
            FLineOut += ' ';
            ++FLineChars;
            ++FChars;
        }
        const size_t word = FLineChars - (FBlank.Valid() ? FBlank.Chars + 1 : 0);
        if ((FLineChars >= MaxLine || word >= MaxWord) && !Split(word >= MaxWord)) return;
        ++FLineChars;
        ++FChars;
        FBreak = 0;
        FSpace = false;
        FHasText = true;
        FBeforeLast = FLast;
        FLast = cp;
        Escape(FLineOut, cp);
    }
    // Whether text was left out because the limits were reached.
    bool Cut() const { return FCut; }
    void LineBreak() { FBreak = std::max(FBreak, 1); }
    void ParagraphBreak() { FBreak = 2; }
    // The RTF document; Notice, when not empty, ends it as a bold paragraph of its own when text was left out
    // here or, as Cut says, before the HTML came.
    std::string Finish(const std::wstring& Notice, bool Cut) {
        FOut += FLineOut;
        if ((FCut || Cut) && !Notice.empty()) {
            FOut += FHasText ? "\\par\\par\\b\\i0\\ulnone\\fs16 " : "\\b\\i0\\ulnone\\fs16 ";
            for (wchar_t c : Notice) Escape(FOut, IsBlank(c) ? ' ' : c < 0x20 ? 0xFFFD : c);
        }
        return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}}\\fs16 " + FOut + "}";
    }

private:
    // A blank of the line being written: its offset in FLineOut and the characters before it.
    struct TBlank {
        size_t Offset = 0, Chars = 0;
        bool Valid() const { return Chars > 0; }
    };
    void WriteFormat() {
        std::string& out = FLineOut;
        if (Format.Bold != FShown.Bold) out += Format.Bold ? "\\b " : "\\b0 ";
        if (Format.Italic != FShown.Italic) out += Format.Italic ? "\\i " : "\\i0 ";
        if (Format.Underline != FShown.Underline) out += Format.Underline ? "\\ul " : "\\ulnone ";
        if (Format.Size != FShown.Size) out += "\\fs" + std::to_string(Format.Size) + " ";
        FShown = Format;
    }
    void EndLine(const char* Break) {
        FSquares += FLineChars * FLineChars;
        FOut += FLineOut;
        FOut += Break;
        FLineOut.clear();
        FLineChars = 0;
        FBlank = FSentence = {};
        ++FBreaks;
    }
    // Splits the line, which is longer than MaxLine: at the last sentence's end in its second half, else at
    // its last blank; a line without a blank, or a word too long (InWord), is split where it stands. False
    // when no line may be added.
    bool Split(bool InWord) {
        if (FBreaks >= MaxBreaks) {
            FCut = true;
            return false;
        }
        const TBlank at = FSentence.Chars >= MaxLine / 2 ? FSentence : FBlank;
        if (InWord || !at.Valid()) {
            EndLine("\\par ");
            return true;
        }
        FSquares += at.Chars * at.Chars;
        FOut.append(FLineOut, 0, at.Offset);
        FOut += "\\par ";
        FLineOut.erase(0, at.Offset + 1);
        FLineChars -= at.Chars + 1;
        auto shift = [&at](TBlank& b) {
            b = b.Offset > at.Offset ? TBlank{b.Offset - at.Offset - 1, b.Chars - at.Chars - 1} : TBlank{};
        };
        shift(FBlank);
        shift(FSentence);
        ++FBreaks;
        return true;
    }
    static void Escape(std::string& Out, uint32_t cp) {
        if (cp == '\\' || cp == '{' || cp == '}')
            Out += '\\', Out += (char)cp;
        else if (cp >= 0x20 && cp < 0x80)
            Out += (char)cp;
        else if (cp >= 0x10000) {
            cp -= 0x10000;
            Unit(Out, 0xD800 + (cp >> 10));
            Unit(Out, 0xDC00 + (cp & 0x3FF));
        } else
            Unit(Out, cp);
    }
    static void Unit(std::string& Out, uint32_t u) { Out += "\\u" + std::to_string((int16_t)u) + "?"; }
    std::string FOut, FLineOut; // the lines ended, and the line being written
    TFormat FShown;
    int FBreak = 0; // 1: a line break, 2: a new paragraph, before the next text
    bool FSpace = false;
    bool FHasText = false;
    bool FCut = false;
    uint32_t FLast = 0, FBeforeLast = 0; // the last two characters written
    TBlank FBlank, FSentence;            // the line's last blank, and its last blank after a sentence's end
    size_t FLineChars = 0, FChars = 0, FBreaks = 0;
    uint64_t FSquares = 0; // of the lengths of the lines ended
};

// An open or a closing tag of an element that may nest: how many are open.
void Count(int& Open, bool Closing) {
    Open = Closing ? std::max(Open - 1, 0) : Open + 1;
}

} // namespace

std::string HtmlToRtf(const std::wstring& Html, const std::wstring& CutNotice, bool Cut) {
    TRtfWriter rtf;
    int hidden = 0; // inside head, script, style or title
    int heading = 0, bold = 0, italic = 0, underline = 0;
    for (size_t i = 0; i < Html.size() && !rtf.Cut();) {
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
    return rtf.Finish(CutNotice, Cut);
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
    bool cut = false;
    try {
        TFileStream f(path, fmOpenRead | fmShareDenyWrite);
        const int64_t size = f.Size();
        bytes.resize((size_t)std::min(size, MaxHtmlBytes));
        if (!bytes.empty()) f.ReadBuffer(bytes.data(), (int32_t)bytes.size());
        // What lies beyond the limit is not shown; a UTF-8 character cut at it goes too, so that the rest
        // still reads as UTF-8.
        cut = size > MaxHtmlBytes;
        if (cut) {
            for (int k = 0; k < 3 && ((uint8_t)bytes.back() & 0xC0) == 0x80; ++k) bytes.pop_back();
            if ((uint8_t)bytes.back() >= 0xC0) bytes.pop_back();
        }
    } catch (const Exception&) {
        ShowRtf(HtmlToRtf(L""));
        return;
    }
    ShowRtf(HtmlToRtf(DecodeHtmlBytes(bytes), FCutNotice, cut));
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
