// Applies an XML language file to forms and their components through their published properties: attributes
// set properties, child elements reach owned components, string lists, tree nodes, list items, collections
// and other objects. A hook sees every string before it is assigned.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/StringLists.h"
#include "xml/KitSimpleXml.h"

class TCustomForm;

using TAnalyseSrtEvent = std::function<void(std::wstring& Value)>;

class TBaseXMLTranslator : public TObject {
    ZRX_CLASS(TBaseXMLTranslator, TObject)
public:
    // Starts with "Name" of every component skipped, so that a language file never renames a component.
    TBaseXMLTranslator();
    ~TBaseXMLTranslator() override;

    TKitSimpleXML* XML() const { return FXML.get(); }

    // An entry applies to its class and every descendant; without a property name it skips the whole class.
    void SkipClass(TClass AClass) { SkipProperty(AClass, L""); }
    void UnskipClass(TClass AClass) { UnskipProperty(AClass, L""); }
    void SkipProperty(TClass AClass, const std::wstring& PropName);
    void UnskipProperty(TClass AClass, const std::wstring& PropName);
    void ClearSkipList();
    bool InSkipList(TClass AClass);
    bool InSkipList(const TObject* Obj);
    bool InSkipList(TClass AClass, const std::wstring& PropName);
    bool InSkipList(const TObject* Obj, const std::wstring& PropName);

    TAnalyseSrtEvent OnAnalyseSrt;

protected:
    // "\n" becomes CR LF, then the hook may change the text.
    std::wstring DoAnalyseSrt(const std::wstring& Value);

private:
    struct TSkipEntry {
        TClass Class;
        std::unique_ptr<TStringList> Properties; // sorted; empty: the whole class
    };
    std::unique_ptr<TKitSimpleXML> FXML;
    std::vector<std::unique_ptr<TSkipEntry>> FSkipList;
};

class TCustomXMLTranslator : public TBaseXMLTranslator {
    ZRX_CLASS(TCustomXMLTranslator, TBaseXMLTranslator)
public:
    // Depth-first, parent before children, from Parent (nullptr: the root); Parent itself when its name is
    // Name.
    virtual TKitSimpleXMLElem* FindElement(TKitSimpleXMLElem* Parent, const std::wstring& Name,
                                           bool Recursive);
    virtual void TranslateComponent(TComponent* Component, TKitSimpleXMLElem* Elem);

protected:
    void ApplyAttributes(TObject* Instance, TKitSimpleXMLElem* Elem);
    void ApplyObject(TObject* Instance, TKitSimpleXMLElem* Elem);
    // An integer, enumeration, set or string property set from its text.
    void ApplyValue(TObject* Instance, const TPropInfo* Prop, const std::wstring& Text);
    void ApplyStrings(TStrings* Strings, TKitSimpleXMLElem* Elem);
    void ApplyTreeNodes(TObject* Nodes, TKitSimpleXMLElem* Elem);
    void ApplyListItems(TObject* Items, TKitSimpleXMLElem* Elem);
    void ApplyCollection(TCollection* Collection, TKitSimpleXMLElem* Elem);
};

class TXMLTranslator : public TCustomXMLTranslator {
    ZRX_CLASS(TXMLTranslator, TCustomXMLTranslator)
public:
    // Load the document (encoding detected), then translate the form.
    void Translate(TStream* Stream, TCustomForm* Form);
    void Translate(const std::wstring& FileName, TCustomForm* Form);
    // Translates the form from the document loaded last; a form named "Name_2" uses the element "Name".
    void Translate(TCustomForm* Form);
    // The element of the loaded document that stands for the form; nullptr when there is none.
    TKitSimpleXMLElem* FormElement(TCustomForm* Form);
    // Load the document, then translate the application object from the root element.
    void Translate(const std::wstring& FileName);
    void Translate(TStream* Stream);
    // Load the document, then translate every open form.
    void TranslateScreen(const std::wstring& FileName);
    void TranslateScreen(TStream* Stream);
    // The same from a text held in a string.
    void TranslateString(const std::wstring& S);
    void TranslateString(const std::wstring& S, TCustomForm* Form);
    void TranslateScreenString(const std::wstring& S);
    // The text of element Item under element Category in the loaded document, else its "Value" attribute,
    // else empty; no hook applies.
    std::wstring Translate(const std::wstring& Category, const std::wstring& Item);
};
