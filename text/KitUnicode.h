// Unicode character categories (general categories, bidirectional classes and two-valued properties
// of the Unicode Character Database 5.2) for the XML parser's white-space and name tests. The table
// comes from the program's resource "CATEGORIES" of type "UNICODEDATA" and is loaded, under a lock,
// the first time any thread asks; afterwards look-ups take no lock.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "text/KitBase.h"
#include "text/KitStreams.h"

enum TCharacterCategory : uint8_t {
    ccLetterUppercase,
    ccLetterLowercase,
    ccLetterTitlecase,
    ccMarkNonSpacing,
    ccMarkSpacingCombining,
    ccMarkEnclosing,
    ccNumberDecimalDigit,
    ccNumberLetter,
    ccNumberOther,
    ccSeparatorSpace,
    ccSeparatorLine,
    ccSeparatorParagraph,
    ccOtherControl,
    ccOtherFormat,
    ccOtherSurrogate,
    ccOtherPrivate,
    ccOtherUnassigned,
    ccLetterModifier,
    ccLetterOther,
    ccPunctuationConnector,
    ccPunctuationDash,
    ccPunctuationOpen,
    ccPunctuationClose,
    ccPunctuationInitialQuote,
    ccPunctuationFinalQuote,
    ccPunctuationOther,
    ccSymbolMath,
    ccSymbolCurrency,
    ccSymbolModifier,
    ccSymbolOther,
    ccLeftToRight,
    ccLeftToRightEmbedding,
    ccLeftToRightOverride,
    ccRightToLeft,
    ccRightToLeftArabic,
    ccRightToLeftEmbedding,
    ccRightToLeftOverride,
    ccPopDirectionalFormat,
    ccEuropeanNumber,
    ccEuropeanNumberSeparator,
    ccEuropeanNumberTerminator,
    ccArabicNumber,
    ccCommonNumberSeparator,
    ccBoundaryNeutral,
    ccSegmentSeparator,
    ccWhiteSpace,
    ccOtherNeutrals,
    ccComposed,
    ccNonBreaking,
    ccSymmetric,
    ccHexDigit,
    ccQuotationMark,
    ccMirroring,
    ccAssigned,
    ccASCIIHexDigit,
    ccBidiControl,
    ccDash,
    ccDeprecated,
    ccDiacritic,
    ccExtender,
    ccHyphen,
    ccIdeographic,
    ccIDSBinaryOperator,
    ccIDSTrinaryOperator,
    ccJoinControl,
    ccLogicalOrderException,
    ccNonCharacterCodePoint,
    ccOtherAlphabetic,
    ccOtherDefaultIgnorableCodePoint,
    ccOtherGraphemeExtend,
    ccOtherIDContinue,
    ccOtherIDStart,
    ccOtherLowercase,
    ccOtherMath,
    ccOtherUppercase,
    ccPatternSyntax,
    ccPatternWhiteSpace,
    ccRadical,
    ccSoftDotted,
    ccSTerm,
    ccTerminalPunctuation,
    ccUnifiedIdeograph,
    ccVariationSelector,
};

constexpr int CharacterCategoryCount = ccVariationSelector + 1; // 83

// A set of categories: 88 bits in 11 bytes, bit n of byte n / 8 standing for ordinal
// 8 * (n / 8) + n % 8 (the layout of the resource's category sets). Cheap to copy and to intersect;
// constexpr so that the parser's fixed sets cost nothing at run time.
class TCharacterCategories {
public:
    static constexpr int ByteCount = 11;

    constexpr TCharacterCategories() = default;
    constexpr TCharacterCategories(std::initializer_list<TCharacterCategory> Categories) {
        for (TCharacterCategory c : Categories) Include(c);
    }
    constexpr void Include(TCharacterCategory Category) {
        if (Category < ByteCount * 8) FBits[Category >> 3] |= uint8_t(1u << (Category & 7));
    }
    constexpr void Exclude(TCharacterCategory Category) {
        if (Category < ByteCount * 8) FBits[Category >> 3] &= uint8_t(~(1u << (Category & 7)));
    }
    constexpr bool Contains(TCharacterCategory Category) const {
        return Category < ByteCount * 8 && (FBits[Category >> 3] >> (Category & 7) & 1) != 0;
    }
    // Whether the two sets share a category.
    constexpr bool Intersects(const TCharacterCategories& Other) const {
        for (int i = 0; i < ByteCount; ++i)
            if (FBits[i] & Other.FBits[i]) return true;
        return false;
    }
    constexpr bool Empty() const {
        for (uint8_t b : FBits)
            if (b) return false;
        return true;
    }
    constexpr bool operator==(const TCharacterCategories&) const = default;

private:
    uint8_t FBits[ByteCount]{};
};

// Whether the code point is in at least one of the categories. Loads the table on first use; a
// missing or truncated resource raises EResNotFound or EReadError. Only the low 24 bits of the code
// point take part in the look-up.
bool CodePointInCategories(uint32_t CodePoint, const TCharacterCategories& Categories);
// Separator space, segment separator or white space.
bool CodePointIsWhiteSpace(uint32_t CodePoint);
// Letters (upper, lower, title, modifier, other) and letter numbers.
bool CodePointIsNameStart(uint32_t CodePoint);
// Name starts, non-spacing and spacing marks, decimal digits, format characters and connectors.
bool CodePointIsNameChar(uint32_t CodePoint);

TUCS4Array SingleCodePointArray(uint32_t CodePoint);

// A stream over the program's resource of that name and of type "UNICODEDATA"; raises EResNotFound
// when the resource is missing.
std::unique_ptr<TKitEasyStream> OpenUnicodeDataResource(const std::wstring& Name);
// Loads the category table unless it is loaded; safe to call from several threads at once.
void LoadCategoryTable();
// Creates the lock of the category table (done when the program starts; later calls do nothing).
void UnicodeUnitStartup();
// How many times the table was loaded in this process (0 or 1); for diagnostics.
int CategoryTableLoadCount();
