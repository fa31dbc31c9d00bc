// The settings store: a document whose values are addressed by a path of element names from the root,
// read with a default that is written into the tree when missing. Values are stored as they stand.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "runtime/StringLists.h"
#include "xml/KitSimpleXml.h"

// Element names from the root; an empty path is the root itself.
using TXMLPath = std::vector<std::wstring>;

// The value of Elem's attribute Name, or Default.
std::wstring XMLGetProp(TKitSimpleXMLElem* Elem, const std::wstring& Name, const std::wstring& Default);
// The child's value as an integer (-1 when it is none), or Default without such a child.
int32_t XMLGetChildInt(TKitSimpleXMLElem* Elem, const std::wstring& Name, int32_t Default);
std::wstring XMLGetChildValue(TKitSimpleXMLElem* Elem, const std::wstring& Name, const std::wstring& Default);
// Elem's attribute Name, appended with an empty value when missing.
TKitSimpleXMLProp* XMLFindOrAddProp(TKitSimpleXMLElem* Elem, const std::wstring& Name);
TKitSimpleXMLElem* XMLSetProp(TKitSimpleXMLElem* Elem, const std::wstring& Name, const std::wstring& Value);

class TExSimpleXML : public TKitSimpleXML {
    ZRX_CLASS(TExSimpleXML, TKitSimpleXML)
public:
    // Indented, no value coding; the header declares UTF-8.
    TExSimpleXML();

    // The element the path reaches; missing elements on the way are appended.
    TKitSimpleXMLElem* GetItem(const TXMLPath& Path);

    // The child Name of the path's element; a missing child is appended with Default.
    std::wstring ReadValue(const std::wstring& Name, const TXMLPath& Path, const std::wstring& Default);
    std::wstring ReadValue(const std::wstring& Name, const TXMLPath& Path, const wchar_t* Default) {
        return ReadValue(Name, Path, std::wstring(Default));
    }
    int64_t ReadValue(const std::wstring& Name, const TXMLPath& Path, int64_t Default);
    int64_t ReadValue(const std::wstring& Name, const TXMLPath& Path, int Default) {
        return ReadValue(Name, Path, int64_t(Default));
    }
    bool ReadValue(const std::wstring& Name, const TXMLPath& Path, bool Default);

    // Attribute PropName of the child ElemName; what is missing is appended with Default.
    std::wstring ReadProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                const TXMLPath& Path, const std::wstring& Default);
    std::wstring ReadProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                const TXMLPath& Path, const wchar_t* Default) {
        return ReadProperties(ElemName, PropName, Path, std::wstring(Default));
    }
    int64_t ReadProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                           int64_t Default);
    int64_t ReadProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                           int Default) {
        return ReadProperties(ElemName, PropName, Path, int64_t(Default));
    }
    bool ReadProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                        bool Default);

    // Adds the values of the named children of the child Name to Strings; False (and an empty child Name
    // appended) when there is no such child.
    bool ReadStringList(const std::wstring& Name, const TXMLPath& Path, TStrings* Strings);

    void WriteValue(const std::wstring& Name, const TXMLPath& Path, const std::wstring& Value);
    void WriteValue(const std::wstring& Name, const TXMLPath& Path, const wchar_t* Value) {
        WriteValue(Name, Path, std::wstring(Value));
    }
    void WriteValue(const std::wstring& Name, const TXMLPath& Path, int64_t Value);
    void WriteValue(const std::wstring& Name, const TXMLPath& Path, int Value) {
        WriteValue(Name, Path, int64_t(Value));
    }
    void WriteValue(const std::wstring& Name, const TXMLPath& Path, bool Value);
    void WriteProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                         const std::wstring& Value);
    void WriteProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                         const wchar_t* Value) {
        WriteProperties(ElemName, PropName, Path, std::wstring(Value));
    }
    void WriteProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                         int64_t Value);
    void WriteProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                         int Value) {
        WriteProperties(ElemName, PropName, Path, int64_t(Value));
    }
    void WriteProperties(const std::wstring& ElemName, const std::wstring& PropName, const TXMLPath& Path,
                         bool Value);
    // One child ItemName per string under the child Name; with Clear its old children go first.
    void WriteStringList(const std::wstring& Name, const std::wstring& ItemName, const TXMLPath& Path,
                         TStrings* Strings, bool Clear);

    // Loads Stream (detecting the encoding); False for a null stream. With bFreeStream the stream is freed,
    // also when loading fails.
    bool LoadXML(TStream* Stream, bool bFreeStream);
    // Loads the file when it exists (True); otherwise starts an empty UTF-8 document bound to the name.
    bool LoadXMLFile(const std::wstring& AFileName);
    // LoadXMLFile for a file that came from outside: one that cannot be read or parsed counts as missing,
    // leaving the same empty document and False.
    bool TryLoadXMLFile(const std::wstring& AFileName);
    // Saves to FileName, making its folders; seAuto lets the header choose the encoding.
    void SaveXMLFile(TKitStringEncoding AEncoding);
    // The document written into a new memory stream, positioned at 0.
    std::unique_ptr<TMemoryStream> SaveStream(TKitStringEncoding Encoding, uint16_t CodePage);

private:
    static TKitSimpleXMLElem* Child(TKitSimpleXMLElem* Elem, const std::wstring& Name);
    TKitSimpleXMLElem* ChildOrAdd(const std::wstring& Name, const TXMLPath& Path);
    TKitSimpleXMLProp* ReadProp(const std::wstring& ElemName, const std::wstring& PropName,
                                const TXMLPath& Path, const std::wstring& Default);
};
