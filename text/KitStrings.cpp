#include "text/KitStrings.h"

#include <atomic>
#include <windows.h>

namespace {

// Kept for the life of the process, on the heap: a zero-filled array of this size would take 128 KB of the
// program file.
wchar_t* LowerCaseMap = nullptr;
std::atomic<bool> CaseTablesBuilt{false};

// The unit's start-up builds the map before any XML code runs.
[[maybe_unused]] const bool Started = (BuildCaseTables(), true);

} // namespace

void BuildCaseTables() {
    static const bool built = [] {
        LowerCaseMap = new wchar_t[65536];
        for (uint32_t u = 0; u < 65536; ++u) LowerCaseMap[u] = wchar_t(u);
        // Each unit maps on its own, so two calls do the work of 65536 at a fraction of the start-up time;
        // the cut keeps the one high surrogate followed by a low one (U+DBFF, U+DC00) from reading as a pair.
        CharLowerBuffW(LowerCaseMap, 0xDC00);
        CharLowerBuffW(LowerCaseMap + 0xDC00, 0x10000 - 0xDC00);
        CaseTablesBuilt.store(true, std::memory_order_release);
        return true;
    }();
    (void)built;
}

wchar_t CharToLowerCase(wchar_t Ch) {
    if (!CaseTablesBuilt.load(std::memory_order_acquire)) BuildCaseTables();
    return LowerCaseMap[uint16_t(Ch)];
}

bool CharIsWhiteSpace(wchar_t Ch) {
    return (Ch >= 0x09 && Ch <= 0x0D) || Ch == 0x20;
}

int TextCompareRange(const std::wstring& S1, const std::wstring& S2, int Index, bool CaseSensitive,
                     int Count) {
    // One and the same string (two empty strings count as the same).
    if (&S1 == &S2 || (S1.empty() && S2.empty())) return Count > 0 || S1.empty() ? 0 : -2;
    if (S1.empty() || S2.empty()) return -1;
    if (Count < 1) return -2;
    if (int64_t(Index) - 1 + Count > int64_t(S1.size())) return -2;
    if (int64_t(Index) - 1 + Count > int64_t(S2.size())) Count = int(S2.size()) - (Index - 1);
    if (Index < 1) return -2;
    for (int k = 0; k < Count; ++k) {
        wchar_t a = S1[size_t(Index - 1 + k)], b = S2[size_t(Index - 1 + k)];
        if (a == b) continue;
        if (CaseSensitive) return int(uint16_t(a)) - int(uint16_t(b));
        wchar_t la = CharToLowerCase(a), lb = CharToLowerCase(b);
        if (la != lb) return int(uint16_t(la)) - int(uint16_t(lb));
    }
    return 0;
}

int TextCompare(const std::wstring& S1, const std::wstring& S2, bool CaseSensitive) {
    if (&S1 == &S2) return 0;
    if (S1.size() != S2.size()) return int(S1.size()) - int(S2.size());
    if (S1.empty()) return 0;
    return TextCompareRange(S1, S2, 1, CaseSensitive, int(S1.size()));
}

bool TextEquals(const std::wstring& S1, const std::wstring& S2, bool CaseSensitive) {
    return TextCompare(S1, S2, CaseSensitive) == 0;
}

bool TextMatchesCharClass(const std::wstring& S, TCharPredicate Predicate, bool All) {
    if (S.empty()) return false;
    for (wchar_t c : S)
        if (Predicate(c) != All) return !All;
    return All;
}

std::wstring TextSkipLeading(const std::wstring& S, TCharPredicate Predicate) {
    size_t i = 0;
    while (i < S.size() && Predicate(S[i])) ++i;
    return S.substr(i);
}
