#!/usr/bin/env python3
"""Makes the character-category table that the setup carries as resource "CATEGORIES" of type
"UNICODEDATA": the general categories, bidirectional classes and two-valued properties of the Unicode
Character Database, version 5.2.

Where the data come from: the npm package "unicode-5.2.0" (node-unicode-data, generated from the
Unicode 5.2.0 database) gives the general categories, the bidirectional classes, the two-valued
properties and the mirroring glyphs as they were in 5.2, so no character carries a property it got
later (U+180E is white space in 5.2, a format character from 6.3 on). The package has no
decomposition mappings; those come from a newer UnicodeData.txt (Debian's unicode-data, in
/usr/share/unicode), limited to the characters assigned in 5.2, whose mappings Unicode keeps stable.

    mkdir /tmp/ucd && cd /tmp/ucd && npm install unicode-5.2.0
    make_categories.py /tmp/ucd/node_modules/unicode-5.2.0 [UCD folder] [output file]

Record format, repeated up to the end of the file: category ordinal (1 byte), number of ranges
(4 bytes, little-endian), then per range its first and last code point (3 bytes each,
little-endian, inclusive). Records ascend by category, ranges ascend within a record; categories
without code points get no record.
"""
import gzip
import json
import os
import re
import struct
import sys

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

# Folder names of the package, in the order of the enumeration's general categories (Cn, "Unassigned",
# gets no record: unassigned code points are those outside every record).
GENERAL = dict(zip("""
Uppercase_Letter Lowercase_Letter Titlecase_Letter Nonspacing_Mark Spacing_Mark Enclosing_Mark
Decimal_Number Letter_Number Other_Number Space_Separator Line_Separator Paragraph_Separator Control
Format Surrogate Private_Use Unassigned Modifier_Letter Other_Letter Connector_Punctuation
Dash_Punctuation Open_Punctuation Close_Punctuation Initial_Punctuation Final_Punctuation
Other_Punctuation Math_Symbol Currency_Symbol Modifier_Symbol Other_Symbol
""".split(), CATEGORIES[:30]))
# Bidirectional classes; non-spacing marks and paragraph separators have no category.
BIDI = dict(zip("""
Left_To_Right Left_To_Right_Embedding Left_To_Right_Override Right_To_Left Arabic_Letter
Right_To_Left_Embedding Right_To_Left_Override Pop_Directional_Format European_Number European_Separator
European_Terminator Arabic_Number Common_Separator Boundary_Neutral Segment_Separator White_Space
Other_Neutral
""".split(), CATEGORIES[30:47]))
# Two-valued properties. White space joins the bidirectional class of the same name; the dash property
# has no record (as in the table the program was made with), dashes are a general category.
BINARY = {
    "White_Space": "WhiteSpace", "Hex_Digit": "HexDigit", "Quotation_Mark": "QuotationMark",
    "Bidi_Mirrored": "Symmetric", "Assigned": "Assigned",
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
    "STerm": "STerm", "Terminal_Punctuation": "TerminalPunctuation",
    "Unified_Ideograph": "UnifiedIdeograph", "Variation_Selector": "VariationSelector",
}


def code_points(package, *parts):
    """The code points of one property value: the package's code-points.js, a JSON array that may come
    gzip-compressed as the bytes of a Buffer."""
    with open(os.path.join(package, *parts, "code-points.js"), encoding="utf-8") as f:
        text = f.read().strip().removeprefix("module.exports=").rstrip(";")
    packed = re.search(r"Buffer\.from\(\[([0-9,]+)\]\)", text)
    if packed:
        text = gzip.decompress(bytes(int(b) for b in packed.group(1).split(","))).decode("utf-8")
    return json.loads(text)


def mirrored_code_points(package):
    """The code points that have a mirroring glyph: the keys of the package's map."""
    with open(os.path.join(package, "Bidi_Mirroring_Glyph", "index.js"), encoding="utf-8") as f:
        return [int(c) for c in re.findall(r"(?:\[\[|\],\[)(\d+),", f.read())]


def decompositions(ucd):
    """Code point -> decomposition mapping (field 5 of UnicodeData.txt), for those that have one."""
    result = {}
    with open(os.path.join(ucd, "UnicodeData.txt"), encoding="utf-8") as f:
        for line in f:
            fields = line.split(";")
            if fields[5]:
                result[int(fields[0], 16)] = fields[5]
    return result


def collect(package, ucd):
    members = [set() for _ in CATEGORIES]
    for folder, name in GENERAL.items():
        if name != "OtherUnassigned":
            members[ORD[name]].update(code_points(package, "General_Category", folder))
    for folder, name in BIDI.items():
        members[ORD[name]].update(code_points(package, "Bidi_Class", folder))
    for prop, name in BINARY.items():
        members[ORD[name]].update(code_points(package, "Binary_Property", prop))
    members[ORD["Mirroring"]].update(mirrored_code_points(package))
    assigned = members[ORD["Assigned"]]
    for c, decomposition in decompositions(ucd).items():
        if c in assigned:
            members[ORD["Composed"]].add(c)
            if decomposition.startswith("<noBreak>"):
                members[ORD["NonBreaking"]].add(c)
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
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    package = sys.argv[1]
    ucd = sys.argv[2] if len(sys.argv) > 2 else "/usr/share/unicode"
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[3] if len(sys.argv) > 3 else os.path.join(here, "..", "..", "resources", "UnicodeCategories.bin")
    data = bytearray()
    records = total = 0
    for ordinal, codes in enumerate(collect(package, ucd)):
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
