// Escaping of XML text values: the five entities, and numeric character references.
#pragma once
#include <string>

// Whether the encoders would change Value (Full: EncodeXmlValue, else EncodeBasicEntities).
bool XmlValueNeedsEncoding(const std::wstring& Value, bool Full);
// Each of & < > ' " becomes its entity.
std::wstring EncodeBasicEntities(const std::wstring& Value);
// The five entities, plus "&#xHH;" / "&#xHHHH;" for control characters and every unit from U+0080 up.
std::wstring EncodeXmlValue(const std::wstring& Value);
// The five entities back to their characters (names compared without regard to case).
std::wstring DecodeBasicEntities(const std::wstring& Value);
// Entities and decimal or hexadecimal character references back to characters, in place.
void DecodeXmlValue(std::wstring& Value);
