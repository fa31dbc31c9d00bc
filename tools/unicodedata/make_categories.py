#!/usr/bin/env python3
"""Makes the character-category table that the setup carries as resource "CATEGORIES" of type
"UNICODEDATA": the general categories, bidirectional classes and two-valued properties of the Unicode
Character Database, limited to the code points of Unicode 5.2 and older.

Usage: make_categories.py [UCD folder (default /usr/share/unicode)] [output file]

Record format, repeated up to the end of the file: category ordinal (1 byte), number of ranges
(4 bytes, little-endian), then per range its first and last code point (3 bytes each,
little-endian, inclusive). Records ascend by category, ranges ascend within a record; categories
without code points get no record.
"""
import os
import struct
import sys

MAX_AGE = (5, 2)

# The category enumeration, in ordinal order.
CATEGORIES = """
LetterUppercase LetterLowercase LetterTitlecase MarkNonSpacing MarkSpacingCombining MarkEnclosing
NumberDecimalDigit NumberLetter NumberOther SeparatorSpace SeparatorLine SeparatorParagraph
OtherControl OtherFormat OtherSurrogate OtherPrivate OtherUnassigned LetterModifier LetterOther
PunctuationConnector PunctuationDash PunctuationOpen PunctuationClose PunctuationInitialQuote
PunctuationFinalQuote PunctuationOther SymbolMath SymbolCurrency SymbolModifier SymbolOther
LeftToRight LeftToRightEmbedding LeftToRightOverride RightToLeft RightToLeftArabic
RightToLeftEmbedding RightToLeftOverride PopDirectionalFormat EuropeanNumber
EuropeanNumberSeparator EuropeanNumberTerminator ArabicNumber CommonNumberSeparator BoundaryNeutral
SegmentSeparator WhiteSpace OtherNeutrals Composed NonBreaking Symmetric HexDigit QuotationMark
Mirroring Assigned ASCIIHexDigit BidiControl Dash Deprecated Diacritic Extender Hyphen Ideographic
IDSBinaryOperator IDSTrinaryOperator JoinControl LogicalOrderException NonCharacterCodePoint
OtherAlphabetic OtherDefaultIgnorableCodePoint OtherGraphemeExtend OtherIDContinue OtherIDStart
OtherLowercase OtherMath OtherUppercase PatternSyntax PatternWhiteSpace Radical SoftDotted STerm
TerminalPunctuation UnifiedIdeograph VariationSelector
""".split()
assert len(CATEGORIES) == 83
ORD = {name: i for i, name in enumerate(CATEGORIES)}

GENERAL = dict(zip(
    "Lu Ll Lt Mn Mc Me Nd Nl No Zs Zl Zp Cc Cf Cs Co Cn Lm Lo Pc Pd Ps Pe Pi Pf Po Sm Sc Sk So".split(),
    CATEGORIES[:30]))
# Bidirectional classes; non-spacing marks (NSM) and paragraph separators (B) have no category.
BIDI = dict(zip("L LRE LRO R AL RLE RLO PDF EN ES ET AN CS BN S WS ON".split(), CATEGORIES[30:47]))
# Two-valued properties of PropList.txt. White space joins the bidirectional class WS; the dash
# property has no record (as in the table the program was made with), dashes are a general category.
PROPLIST = {
    "White_Space": "WhiteSpace", "Hex_Digit": "HexDigit", "Quotation_Mark": "QuotationMark",
    "ASCII_Hex_Digit": "ASCIIHexDigit", "Bidi_Control": "BidiControl", "Deprecated": "Deprecated",
    "Diacritic": "Diacritic", "Extender": "Extender", "Hyphen": "Hyphen", "Ideographic": "Ideographic",
    "IDS_Binary_Operator": "IDSBinaryOperator", "IDS_Trinary_Operator": "IDSTrinaryOperator",
    "Join_Control": "JoinControl", "Logical_Order_Exception": "LogicalOrderException",
    "Noncharacter_Code_Point": "NonCharacterCodePoint", "Other_Alphabetic": "OtherAlphabetic",
    "Other_Default_Ignorable_Code_Point": "OtherDefaultIgnorableCodePoint",
    "Other_Grapheme_Extend": "OtherGraphemeExtend", "Other_ID_Continue": "OtherIDContinue",
    "Other_ID_Start": "OtherIDStart", "Other_Lowercase": "OtherLowercase", "Other_Math": "OtherMath",
    "Other_Uppercase": "OtherUppercase", "Pattern_Syntax": "PatternSyntax",
    "Pattern_White_Space": "PatternWhiteSpace", "Radical": "Radical", "Soft_Dotted": "SoftDotted",
    "Sentence_Terminal": "STerm", "STerm": "STerm", "Terminal_Punctuation": "TerminalPunctuation",
    "Unified_Ideograph": "UnifiedIdeograph", "Variation_Selector": "VariationSelector",
}


def data_lines(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                yield [field.strip() for field in line.split(";")]


def code_range(text):
    first, _, last = text.partition("..")
    return int(first, 16), int(last or first, 16)


def ages(ucd):
    """Code point -> (major, minor) of the version that assigned it."""
    result = {}
    for fields in data_lines(os.path.join(ucd, "DerivedAge.txt")):
        first, last = code_range(fields[0])
        age = tuple(int(part) for part in fields[1].split("."))
        for c in range(first, last + 1):
            result[c] = age
    return result


def unicode_data(ucd):
    """Yields (code point, fields) for every assigned code point, ranges spelled out."""
    range_start = None
    for fields in data_lines(os.path.join(ucd, "UnicodeData.txt")):
        c = int(fields[0], 16)
        if fields[1].endswith(", First>"):
            range_start = c
            continue
        if fields[1].endswith(", Last>"):
            for r in range(range_start, c + 1):
                yield r, fields
            range_start = None
            continue
        yield c, fields


def collect(ucd):
    age = ages(ucd)

    def known(c):
        # Code points assigned after 5.2 are left out; code points that are still unassigned
        # (no age) stay where a property file lists them, as they were unassigned in 5.2 as well.
        a = age.get(c)
        return a is None or a <= MAX_AGE

    members = [set() for _ in CATEGORIES]
    for c, f in unicode_data(ucd):
        if c not in age or age[c] > MAX_AGE:
            continue
        members[ORD[GENERAL[f[2]]]].add(c)
        if f[4] in BIDI:
            members[ORD[BIDI[f[4]]]].add(c)
        # Composed: any decomposition mapping, canonical or compatibility.
        decomposition = f[5]
        if decomposition:
            members[ORD["Composed"]].add(c)
            if decomposition.startswith("<noBreak>"):
                members[ORD["NonBreaking"]].add(c)
        if f[9] == "Y":
            members[ORD["Symmetric"]].add(c)
        members[ORD["Assigned"]].add(c)
    for fields in data_lines(os.path.join(ucd, "BidiMirroring.txt")):
        c = int(fields[0], 16)
        if c in age and age[c] <= MAX_AGE:
            members[ORD["Mirroring"]].add(c)
    for fields in data_lines(os.path.join(ucd, "PropList.txt")):
        name = PROPLIST.get(fields[1])
        if name is None:
            continue
        first, last = code_range(fields[0])
        members[ORD[name]].update(c for c in range(first, last + 1) if known(c))
    # Unassigned code points are every code point outside all records: no record of their own.
    members[ORD["OtherUnassigned"]].clear()
    return members


def ranges(codes):
    result = []
    for c in sorted(codes):
        if result and result[-1][1] == c - 1:
            result[-1][1] = c
        else:
            result.append([c, c])
    return result


def main():
    ucd = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "..", "resources", "UnicodeCategories.bin")
    data = bytearray()
    records = total = 0
    for ordinal, codes in enumerate(collect(ucd)):
        if not codes:
            continue
        rs = ranges(codes)
        data += struct.pack("<Bi", ordinal, len(rs))
        for first, last in rs:
            data += first.to_bytes(3, "little") + last.to_bytes(3, "little")
        records += 1
        total += len(rs)
    with open(out, "wb") as f:
        f.write(data)
    print(f"{out}: {records} records, {total} ranges, {len(data)} bytes")


if __name__ == "__main__":
    main()
