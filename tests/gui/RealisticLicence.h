// Licence terms as a real product ships them, made up to a given length of text: a title, numbered sections
// with numbered clauses, lists, all-caps disclaimers of about 1,400 characters, and a list of third-party
// notices. The text ends with LicenceLastWords. Shared by the viewer's tests and its bench.
#pragma once
#include <cstdint>
#include <cwctype>
#include <string>

inline const wchar_t* const LicenceLastWords = L"End of the licence terms and notices.";

namespace realistic_licence {
inline const wchar_t* const Words[] = {
    L"licence", L"software", L"the",     L"user",   L"may",     L"not",    L"copy",       L"terms",
    L"rights",  L"and",      L"of",      L"any",    L"use",     L"shall",  L"agreement",  L"party",
    L"to",      L"in",       L"without", L"notice", L"product", L"vendor", L"warranties", L"including",
    L"such",    L"by",       L"or",      L"this",   L"data",    L"within", L"law",        L"limited"};

// Deterministic words, so that every run measures the same text.
struct TWords {
    uint32_t Seed = 12345;
    std::wstring Next() {
        Seed = Seed * 1103515245u + 12345u;
        return Words[(Seed >> 16) % (sizeof(Words) / sizeof(Words[0]))];
    }
    // Sentences of about Chars characters in all, each of 8 to 30 words.
    std::wstring Sentences(size_t Chars, bool Caps = false) {
        std::wstring s;
        while (s.size() < Chars) {
            const int n = 8 + (int)(Seed >> 20) % 23;
            for (int k = 0; k < n; ++k) {
                std::wstring w = Next();
                if (k == 0 || Caps)
                    for (size_t c = 0; c < (Caps ? w.size() : 1); ++c) w[c] = (wchar_t)towupper(w[c]);
                s += w + (k + 1 < n ? L" " : L". ");
            }
        }
        s.pop_back();
        return s;
    }
};
} // namespace realistic_licence

// HTML terms with about Chars characters of text: sections as long as needed before 6,000 notice items.
inline std::wstring RealisticLicenceHtml(size_t Chars) {
    realistic_licence::TWords words;
    const size_t Notices = 6000, NoticeChars = 60; // "• name 1.2.3 — Copyright (c) ... MIT licence"
    const size_t terms = Chars > Notices * NoticeChars ? Chars - Notices * NoticeChars : Chars / 4;
    std::wstring html = L"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Licence</title>"
                        L"<style>body{font-family:Tahoma}</style></head>\n<body>\n"
                        L"<h1>Zorvex End-User Licence Agreement</h1>\n";
    size_t text = 0;
    for (int section = 1; text < terms; ++section) {
        std::wstring heading = std::to_wstring(section) + L". " + words.Sentences(20);
        html += L"<h2>" + heading + L"</h2>\n";
        text += heading.size();
        for (int clause = 1; clause <= 4; ++clause) {
            std::wstring p = std::to_wstring(section) + L"." + std::to_wstring(clause) + L" " +
                             words.Sentences(300 + 150 * clause);
            html += L"<p>" + p + L"</p>\n";
            text += p.size();
        }
        html += L"<ul>\n";
        for (int item = 0; item < 5; ++item) {
            std::wstring li = words.Sentences(80);
            html += L"<li>" + li + L"</li>\n";
            text += li.size();
        }
        html += L"</ul>\n";
        std::wstring caps = words.Sentences(1400, true);
        html += L"<p><b>" + caps + L"</b></p>\n";
        text += caps.size();
    }
    html += L"<h2>Third-party notices</h2>\n<ol>\n";
    for (size_t n = 1; n <= Notices; ++n)
        html += L"<li>component-" + std::to_wstring(n) + L" " + std::to_wstring(n % 7) + L"." +
                std::to_wstring(n % 13) + L" &mdash; Copyright &copy; 20" + std::to_wstring(10 + n % 15) +
                L" its authors; MIT licence</li>\n";
    html += L"</ol>\n<p>" + std::wstring(LicenceLastWords) + L"</p>\n</body></html>\n";
    return html;
}
