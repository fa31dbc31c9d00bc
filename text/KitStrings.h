// String routines of the XML model: unit-by-unit comparison (case-insensitive through a lower-case
// map of all 65536 UTF-16 units, built once), white space and trimming. No locale collation and no
// surrogate pairing.
#pragma once
#include <string>

using TCharPredicate = bool (*)(wchar_t Ch);

// Fills the lower-case map once (the program does it at start-up; later calls do nothing).
void BuildCaseTables();
wchar_t CharToLowerCase(wchar_t Ch);
// Tab, line feed, vertical tab, form feed, carriage return and blank only.
bool CharIsWhiteSpace(wchar_t Ch);

// Compares Count units of both strings from the 1-based Index: 0 when equal, else the difference of
// the first differing units; -1 when exactly one string is empty, -2 for a range outside S1.
int TextCompareRange(const std::wstring& S1, const std::wstring& S2, int Index, bool CaseSensitive,
                     int Count);
// 0 when equal; strings of different lengths give the difference of their lengths.
int TextCompare(const std::wstring& S1, const std::wstring& S2, bool CaseSensitive);
bool TextEquals(const std::wstring& S1, const std::wstring& S2, bool CaseSensitive);
// All: whether every unit passes; otherwise whether any does. An empty string gives false.
bool TextMatchesCharClass(const std::wstring& S, TCharPredicate Predicate, bool All);
// S without the leading units that pass the predicate.
std::wstring TextSkipLeading(const std::wstring& S, TCharPredicate Predicate);
