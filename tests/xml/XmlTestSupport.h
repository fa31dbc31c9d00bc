// Helpers of the XML tests: documents to and from bytes.
#pragma once
#include <string>
#include <windows.h>

#include "runtime/Streams.h"
#include "xml/KitSimpleXml.h"

inline std::string SaveBytes(TKitSimpleXML& Doc, TKitStringEncoding Encoding = seAuto,
                             uint16_t CodePage = 0) {
    TMemoryStream stream;
    Doc.SaveToStream(&stream, Encoding, CodePage);
    return std::string((const char*)stream.Memory(), (size_t)stream.Size());
}

inline void LoadBytes(TKitSimpleXML& Doc, const std::string& Bytes, TKitStringEncoding Encoding = seAuto,
                      uint16_t CodePage = 0) {
    TMemoryStream stream;
    stream.WriteBuffer(Bytes.data(), (int32_t)Bytes.size());
    stream.SetPosition(0);
    Doc.LoadFromStream(&stream, Encoding, CodePage);
}

// The message of the EKitSimpleXMLError that Action raises; "" when it raises none.
template <class TAction> std::wstring XmlError(TAction Action) {
    try {
        Action();
    } catch (const EKitSimpleXMLError& e) {
        return e.Message();
    }
    return L"";
}

// A file or folder name of this test process alone (the test program runs twice at once, once per code page).
inline std::wstring OwnName(const std::wstring& Name) {
    return L"p" + std::to_wstring(GetCurrentProcessId()) + L"-" + Name;
}
