// The XML document model: elements with child and attribute lists, the node kinds of XML text, the
// prolog, and the document that loads and saves them in UTF-8, UTF-16 or an ANSI code page.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "runtime/Classes.h"
#include "runtime/Streams.h"
#include "text/KitBase.h"
#include "text/KitStreams.h"
#include "xml/KitSimpleXmlCoding.h"
#include "xml/KitSimpleXmlNames.h"

// Malformed XML, and input too large or too deeply nested to load.
ZRX_EXCEPTION(EKitSimpleXMLError, EKitError)

class TKitSimpleXML;
class TKitSimpleXMLElem;
class TKitSimpleXMLElems;
class TKitSimpleXMLElemClassic;
class TKitSimpleXMLProps;

enum TKitSimpleXMLOption : uint8_t {
    sxoAutoCreate,
    sxoAutoIndent,
    sxoAutoEncodeValue,
    sxoAutoEncodeEntity,
    sxoDoNotSaveProlog,
    sxoTrimPrecedingTextWhitespace,
    sxoTrimFollowingTextWhitespace,
    sxoKeepWhitespace,
    sxoDoNotSaveBOM,
};

// A set of options, one bit per option in the order above.
class TKitSimpleXMLOptions {
public:
    constexpr TKitSimpleXMLOptions() = default;
    constexpr TKitSimpleXMLOptions(std::initializer_list<TKitSimpleXMLOption> Options) {
        for (TKitSimpleXMLOption o : Options) Include(o);
    }
    constexpr bool Contains(TKitSimpleXMLOption Option) const { return FBits >> Option & 1; }
    constexpr void Include(TKitSimpleXMLOption Option) { FBits |= uint16_t(1u << Option); }
    constexpr void Exclude(TKitSimpleXMLOption Option) { FBits &= uint16_t(~(1u << Option)); }
    constexpr bool operator==(const TKitSimpleXMLOptions&) const = default;

private:
    uint16_t FBits = 0;
};

// A name with a value and a caller's tag; the value is always the plain, decoded text.
class TKitSimpleData : public TObject {
    ZRX_CLASS(TKitSimpleData, TObject)
public:
    explicit TKitSimpleData(const std::wstring& AName) : FName(AName) {}

    const std::wstring& Name() const { return FName; }
    virtual void SetName(const std::wstring& Value) { FName = Value; }
    const std::wstring& Value() const { return FValue; }
    void SetValue(const std::wstring& Value) { FValue = Value; }
    void SetValue(std::wstring&& Value) { FValue = std::move(Value); }
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }

    // -1 when the value is no integer.
    int64_t IntValue() const;
    void SetIntValue(int64_t Value);
    // A non-zero number or "True" (any case) is True; anything else False.
    bool BoolValue() const;
    // "True" or "False".
    void SetBoolValue(bool Value);
    // 0 when the value is no number.
    double FloatValue() const;
    void SetFloatValue(double Value);
    // The value in the system ANSI code page.
    std::string AnsiValue() const;
    void SetAnsiValue(const std::string& Value);

protected:
    std::wstring FName;
    std::wstring FValue;
    void* FData = nullptr;
};

// Adds the prefix of a prefixed name ("p" of "p:name").
class TKitSimpleXMLData : public TKitSimpleData {
    ZRX_CLASS(TKitSimpleXMLData, TKitSimpleData)
public:
    using TKitSimpleData::TKitSimpleData;
    const std::wstring& NameSpace() const;
    void SetNameSpace(const std::wstring& Value);
    // NameSpace + ":" + Name, or Name alone without a prefix.
    std::wstring FullName() const;

private:
    // Held apart: few names have a prefix, and every node and attribute would pay for an empty string.
    std::unique_ptr<std::wstring> FNameSpace;
};

// One attribute of an element.
class TKitSimpleXMLProp : public TKitSimpleXMLData {
    ZRX_CLASS(TKitSimpleXMLProp, TKitSimpleXMLData)
public:
    using TKitSimpleXMLData::TKitSimpleXMLData;
    TKitSimpleXMLProps* Parent() const { return FParent; }
    // Re-keys the attribute in its list; an empty name is ignored.
    void SetName(const std::wstring& Value) override;
    // The document of the owning element, or nullptr.
    TKitSimpleXML* SimpleXML() const;
    // Writes " name="value"" (the value encoded by the document's options).
    void SaveToStringStream(TKitStringStream* StringStream);

private:
    friend class TKitSimpleXMLProps;
    TKitSimpleXMLProps* FParent = nullptr;
};

// An element's attributes in document order; it owns them. Look-ups by name ignore case and the prefix
// and find the last of equal names.
class TKitSimpleXMLProps : public TObject {
    ZRX_CLASS(TKitSimpleXMLProps, TObject)
public:
    explicit TKitSimpleXMLProps(TKitSimpleXMLElem* AParent) : FParent(AParent) {}
    ~TKitSimpleXMLProps() override;
    TKitSimpleXMLProps(const TKitSimpleXMLProps&) = delete;
    TKitSimpleXMLProps& operator=(const TKitSimpleXMLProps&) = delete;

    TKitSimpleXMLElem* Parent() const { return FParent; }
    int Count() const { return FProperties.Count(); }
    // nullptr without a list; raises the list index error out of range.
    TKitSimpleXMLProp* Item(int Index) const;
    TKitSimpleXMLProp* ItemNamed(const std::wstring& Name) { return ItemNamedDefault(Name, L""); }
    // The attribute of that name, never created; nullptr when missing.
    TKitSimpleXMLProp* Find(const std::wstring& Name) const;
    // The attribute found, else (with sxoAutoCreate) a new one with Default, else nullptr.
    TKitSimpleXMLProp* ItemNamedDefault(const std::wstring& Name, const std::wstring& Default);

    TKitSimpleXMLProp* Add(const std::wstring& Name, const std::wstring& Value);
    TKitSimpleXMLProp* Add(const std::wstring& Name, const wchar_t* Value) {
        return Add(Name, std::wstring(Value));
    }
    TKitSimpleXMLProp* Add(const std::wstring& Name, int64_t Value);
    TKitSimpleXMLProp* Add(const std::wstring& Name, int Value) { return Add(Name, int64_t(Value)); }
    TKitSimpleXMLProp* Add(const std::wstring& Name, bool Value);
    TKitSimpleXMLProp* Add(const std::wstring& Name, const std::string& Value);
    TKitSimpleXMLProp* Insert(int Index, const std::wstring& Name, const std::wstring& Value);
    TKitSimpleXMLProp* Insert(int Index, const std::wstring& Name, int64_t Value);
    TKitSimpleXMLProp* Insert(int Index, const std::wstring& Name, bool Value);
    virtual void Clear();
    void Delete(int Index);
    void Delete(const std::wstring& Name);

    std::wstring Value(const std::wstring& Name, const std::wstring& Default = L"");
    int64_t IntValue(const std::wstring& Name, int64_t Default = -1);
    bool BoolValue(const std::wstring& Name, bool Default = true);
    double FloatValue(const std::wstring& Name, double Default = 0);

    // Reads attributes up to "/", ">" or "?" (left unread).
    void LoadFromStringStream(TKitStringStream* StringStream);
    void SaveToStringStream(TKitStringStream* StringStream);

    [[noreturn]] static void Error(const std::wstring& S);

    class iterator {
    public:
        iterator(const TKitSimpleXMLProps* List, int Index) : FList(List), FIndex(Index) {}
        TKitSimpleXMLProp* operator*() const { return FList->Item(FIndex); }
        iterator& operator++() { return ++FIndex, *this; }
        bool operator!=(const iterator& Other) const { return FIndex != Other.FIndex; }

    private:
        const TKitSimpleXMLProps* FList;
        int FIndex;
    };
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, Count()); }

private:
    friend class TKitSimpleXMLProp;
    TKitSimpleXMLProp* InsertProp(int Index, const std::wstring& Name, std::wstring Value);
    TKitNameList FProperties;
    TKitSimpleXMLElem* FParent;
};

// A node of the tree. The node kinds below override the parse and write operations.
class TKitSimpleXMLElem : public TKitSimpleXMLData {
    ZRX_CLASS(TKitSimpleXMLElem, TKitSimpleXMLData)
public:
    TKitSimpleXMLElem(TKitSimpleXMLElem* AOwner, const std::wstring& AName);
    ~TKitSimpleXMLElem() override;
    TKitSimpleXMLElem(const TKitSimpleXMLElem&) = delete;
    TKitSimpleXMLElem& operator=(const TKitSimpleXMLElem&) = delete;

    // Re-keys the element in its parent's child list; an empty name is ignored.
    void SetName(const std::wstring& Value) override;
    // A copy of Value's name, value, attributes and children (not its prefix or tag).
    virtual void Assign(TKitSimpleXMLElem* Value);
    // Frees the children and the attributes.
    virtual void Clear();
    // AParent, when given, receives the parse and save events.
    virtual void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent);
    virtual void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                    TKitSimpleXML* AParent);

    TKitSimpleXMLElem* Parent() const { return FParent; }
    void SetParent(TKitSimpleXMLElem* Value) { FParent = Value; }
    TKitSimpleXMLElems* Container() const { return FContainer; }
    // The lists are made on first use.
    TKitSimpleXMLElems* Items();
    TKitSimpleXMLProps* Properties();
    int ItemCount() const;
    int PropertyCount() const;
    bool HasItems() const { return ItemCount() > 0; }
    bool HasProperties() const { return PropertyCount() > 0; }
    // Nodes of the subtree, this one included.
    int ChildsCount() const;
    int GetChildIndex(const TKitSimpleXMLElem* AChild) const;
    int GetNamedIndex(TKitSimpleXMLElem* AChild);
    // The document of the topmost element reached through Parent.
    TKitSimpleXML* SimpleXML() const;
    // The value read as hexadecimal digit pairs, written as bytes to Stream.
    void GetBinaryValue(TStream* Stream) const;
    // Parses this element from the text in the system ANSI code page, outside any document.
    void LoadFromString(const std::wstring& Value);
    std::wstring SaveToString();

    [[noreturn]] static void Error(const std::wstring& S);

protected:
    // Moves the value out of another node.
    static std::wstring TakeValue(TKitSimpleXMLElem* Node) { return std::move(Node->FValue); }
    friend class TKitSimpleXML;
    friend class TKitSimpleXMLElems;
    TKitSimpleXMLElem* FParent;
    std::unique_ptr<TKitSimpleXMLElems> FItems;
    std::unique_ptr<TKitSimpleXMLProps> FProps;
    TKitSimpleXML* FSimpleXML = nullptr;
    TKitSimpleXMLElems* FContainer = nullptr;
};

class TKitSimpleXMLNamedElems;

// An element's children in document order; it owns them and its per-name groups. Look-ups by name ignore
// case and the prefix and find the last of equal names.
class TKitSimpleXMLElems : public TObject {
    ZRX_CLASS(TKitSimpleXMLElems, TObject)
public:
    enum TOperation { opInsert, opRemove };
    using TKitSimpleXMLElemCompare = std::function<int(TKitSimpleXMLElems* Elems, int Index1, int Index2)>;

    explicit TKitSimpleXMLElems(TKitSimpleXMLElem* AOwner) : FParent(AOwner) {}
    ~TKitSimpleXMLElems() override;
    TKitSimpleXMLElems(const TKitSimpleXMLElems&) = delete;
    TKitSimpleXMLElems& operator=(const TKitSimpleXMLElems&) = delete;

    TKitSimpleXMLElem* Parent() const { return FParent; }
    int Count() const { return FElems.Count(); }
    // nullptr without a list or at Count and beyond; a negative index raises the list index error.
    TKitSimpleXMLElem* Item(int Index) const;
    TKitSimpleXMLElem* ItemNamed(const std::wstring& Name) { return ItemNamedDefault(Name, L""); }
    // The child found, else (with sxoAutoCreate) a new classic child with Default, else nullptr.
    TKitSimpleXMLElem* ItemNamedDefault(const std::wstring& Name, const std::wstring& Default);
    TKitSimpleXMLNamedElems* NamedElems(const std::wstring& Name);

    TKitSimpleXMLElemClassic* Add(const std::wstring& Name);
    TKitSimpleXMLElemClassic* Add(const std::wstring& Name, const std::wstring& Value);
    TKitSimpleXMLElemClassic* Add(const std::wstring& Name, const wchar_t* Value) {
        return Add(Name, std::wstring(Value));
    }
    TKitSimpleXMLElemClassic* Add(const std::wstring& Name, int64_t Value);
    TKitSimpleXMLElemClassic* Add(const std::wstring& Name, int Value) { return Add(Name, int64_t(Value)); }
    TKitSimpleXMLElemClassic* Add(const std::wstring& Name, bool Value);
    // The stream's remaining bytes as upper-case hexadecimal digit pairs.
    TKitSimpleXMLElemClassic* Add(const std::wstring& Name, TStream* Value);
    TKitSimpleXMLElem* Add(TKitSimpleXMLElem* Value);
    TKitSimpleXMLElemClassic* AddFirst(const std::wstring& Name);
    TKitSimpleXMLElem* AddFirst(TKitSimpleXMLElem* Value);
    TKitSimpleXMLElem* AddComment(const std::wstring& Name, const std::wstring& Value);
    TKitSimpleXMLElem* AddCData(const std::wstring& Name, const std::wstring& Value);
    TKitSimpleXMLElem* AddText(const std::wstring& Name, const std::wstring& Value);
    TKitSimpleXMLElem* Insert(TKitSimpleXMLElem* Value, int Index);
    TKitSimpleXMLElemClassic* Insert(const std::wstring& Name, int Index);
    void Delete(int Index);
    void Delete(const std::wstring& Name) { Delete(IndexOf(Name)); }
    // Takes Value out without freeing it; its former index, or -1.
    int Remove(TKitSimpleXMLElem* Value);
    void Move(int CurIndex, int NewIndex);
    int IndexOf(const TKitSimpleXMLElem* Value) const;
    int IndexOf(const std::wstring& Name) const;

    std::wstring Value(const std::wstring& Name, const std::wstring& Default = L"");
    int64_t IntValue(const std::wstring& Name, int64_t Default = -1);
    bool BoolValue(const std::wstring& Name, bool Default = true);
    double FloatValue(const std::wstring& Name, double Default = 0);
    void BinaryValue(const std::wstring& Name, TStream* Stream);

    virtual void Clear();
    // By name, without regard to case (the user's locale); groups keep their order.
    void Sort();
    void CustomSort(const TKitSimpleXMLElemCompare& AFunction);
    // Keeps Container and the groups in step with the list.
    void Notify(TKitSimpleXMLElem* Value, TOperation Operation);

    // Reads an element's content up to the "</" of its end tag (left unread).
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent);
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent);

    class iterator {
    public:
        iterator(const TKitSimpleXMLElems* List, int Index) : FList(List), FIndex(Index) {}
        TKitSimpleXMLElem* operator*() const { return FList->Item(FIndex); }
        iterator& operator++() { return ++FIndex, *this; }
        bool operator!=(const iterator& Other) const { return FIndex != Other.FIndex; }

    private:
        const TKitSimpleXMLElems* FList;
        int FIndex;
    };
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, Count()); }

private:
    friend class TKitSimpleXMLElem;
    friend class TKitSimpleXMLNamedElems;
    enum TPlace { plEnd, plFirst, plIndex };
    TKitSimpleXMLElem* InsertElem(TKitSimpleXMLElem* Value, TPlace Place, int Index = 0);
    // The content parser for Owner's children, listed in List (made on the first child when null). With
    // SoleText, text that turns out to be all the content goes there instead of into a text node.
    static void ParseContent(TKitSimpleXMLElem* Owner, TKitSimpleXMLElems* List,
                             TKitStringStream* StringStream, TKitSimpleXML* AParent,
                             std::optional<std::wstring>* SoleText);
    friend class TKitSimpleXMLElemClassic;
    void AddParsed(TKitSimpleXMLElem* Value);
    TKitSimpleXMLNamedElems* FindGroup(const std::wstring& Name) const;
    void LeaveGroup(TKitSimpleXMLElem* Value);
    void Rename(TKitSimpleXMLElem* Value, const std::wstring& NewName);
    bool AutoCreate() const;

    TKitSimpleXMLElem* FParent;
    TKitNameList FElems;
    std::unique_ptr<TKitNameList> FNamedElems; // group name -> group, owned
};

// The children of one name, in list order; it does not own them.
class TKitSimpleXMLNamedElems : public TObject {
    ZRX_CLASS(TKitSimpleXMLNamedElems, TObject)
public:
    TKitSimpleXMLNamedElems(TKitSimpleXMLElems* AOwner, const std::wstring& AName)
        : FElems(AOwner), FName(AName) {}

    TKitSimpleXMLElems* Elems() const { return FElems; }
    const std::wstring& Name() const { return FName; }
    int Count() const { return (int)FItems.size(); }
    // With sxoAutoCreate the group grows up to Index; nullptr when it is still too short or Index < 0.
    TKitSimpleXMLElem* Item(int Index);
    int IndexOf(const TKitSimpleXMLElem* Value) const;
    // The first member with that value; with sxoAutoCreate a new member when none has it; else -1.
    int IndexOf(const std::wstring& Value);

    TKitSimpleXMLElemClassic* Add();
    TKitSimpleXMLElemClassic* Add(const std::wstring& Value);
    TKitSimpleXMLElemClassic* Add(const wchar_t* Value) { return Add(std::wstring(Value)); }
    TKitSimpleXMLElemClassic* Add(int64_t Value);
    TKitSimpleXMLElemClassic* Add(int Value) { return Add(int64_t(Value)); }
    TKitSimpleXMLElemClassic* Add(bool Value);
    TKitSimpleXMLElemClassic* Add(TStream* Value);
    TKitSimpleXMLElemClassic* AddFirst();
    TKitSimpleXMLElem* AddComment(const std::wstring& Value);
    TKitSimpleXMLElem* AddCData(const std::wstring& Value);
    TKitSimpleXMLElem* AddText(const std::wstring& Value);
    void Delete(int Index);
    void Clear();
    void Move(int CurIndex, int NewIndex);

    class iterator {
    public:
        iterator(TKitSimpleXMLNamedElems* List, int Index) : FList(List), FIndex(Index) {}
        TKitSimpleXMLElem* operator*() const { return FList->FItems[FIndex]; }
        iterator& operator++() { return ++FIndex, *this; }
        bool operator!=(const iterator& Other) const { return FIndex != Other.FIndex; }

    private:
        TKitSimpleXMLNamedElems* FList;
        int FIndex;
    };
    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, Count()); }

private:
    friend class TKitSimpleXMLElems;
    TKitSimpleXMLElems* FElems;
    std::wstring FName;
    std::vector<TKitSimpleXMLElem*> FItems;
};

// An element with a tag, attributes and content; its value is the text of a sole text child.
class TKitSimpleXMLElemClassic : public TKitSimpleXMLElem {
    ZRX_CLASS(TKitSimpleXMLElemClassic, TKitSimpleXMLElem)
public:
    using TKitSimpleXMLElem::TKitSimpleXMLElem;
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) override;
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent) override;

private:
    // The tag machine; the result is the element's value.
    std::wstring Parse(TKitStringStream* StringStream, TKitSimpleXML* AParent, std::wstring& Prefix,
                       std::wstring& Name, std::optional<std::wstring>& SoleText);
    void ListSoleText(std::optional<std::wstring>& SoleText);
};

// <!--value-->
class TKitSimpleXMLElemComment : public TKitSimpleXMLElem {
    ZRX_CLASS(TKitSimpleXMLElemComment, TKitSimpleXMLElem)
public:
    using TKitSimpleXMLElem::TKitSimpleXMLElem;
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) override;
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent) override;
};

// <![CDATA[value]]>
class TKitSimpleXMLElemCData : public TKitSimpleXMLElem {
    ZRX_CLASS(TKitSimpleXMLElemCData, TKitSimpleXMLElem)
public:
    using TKitSimpleXMLElem::TKitSimpleXMLElem;
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) override;
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent) override;
};

// Character data between tags.
class TKitSimpleXMLElemText : public TKitSimpleXMLElem {
    ZRX_CLASS(TKitSimpleXMLElemText, TKitSimpleXMLElem)
public:
    using TKitSimpleXMLElem::TKitSimpleXMLElem;
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) override;
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent) override;
};

// <?target attributes?>
class TKitSimpleXMLElemProcessingInstruction : public TKitSimpleXMLElem {
    ZRX_CLASS(TKitSimpleXMLElemProcessingInstruction, TKitSimpleXMLElem)
public:
    using TKitSimpleXMLElem::TKitSimpleXMLElem;
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) override;
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent) override;
};

// <?xml version="..." encoding="..." standalone="..."?>; reading it sets the text stream's code page.
class TKitSimpleXMLElemHeader : public TKitSimpleXMLElemProcessingInstruction {
    ZRX_CLASS(TKitSimpleXMLElemHeader, TKitSimpleXMLElemProcessingInstruction)
public:
    TKitSimpleXMLElemHeader(TKitSimpleXMLElem* AOwner = nullptr, const std::wstring& AName = L"xml")
        : TKitSimpleXMLElemProcessingInstruction(AOwner, AName) {}
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) override;
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent) override;

    // "1.0" when missing; setting a missing one inserts it first.
    std::wstring Version();
    void SetVersion(const std::wstring& Value);
    // When missing: the charset of the document's code page (the system's when 0), "utf-16" outside a
    // document.
    std::wstring Encoding();
    void SetEncoding(const std::wstring& Value);
    // True exactly for "yes".
    bool StandAlone();
    void SetStandAlone(bool Value);

private:
    friend class TKitSimpleXMLElemsProlog;
    TKitSimpleXMLProp* FindOrAdd(const std::wstring& Name, int Index);
};

// <?xml-stylesheet type="..." href="..."?>
class TKitSimpleXMLElemSheet : public TKitSimpleXMLElemProcessingInstruction {
    ZRX_CLASS(TKitSimpleXMLElemSheet, TKitSimpleXMLElemProcessingInstruction)
public:
    using TKitSimpleXMLElemProcessingInstruction::TKitSimpleXMLElemProcessingInstruction;
};

// <?mso-application progid="..."?>
class TKitSimpleXMLElemMSOApplication : public TKitSimpleXMLElemProcessingInstruction {
    ZRX_CLASS(TKitSimpleXMLElemMSOApplication, TKitSimpleXMLElemProcessingInstruction)
public:
    using TKitSimpleXMLElemProcessingInstruction::TKitSimpleXMLElemProcessingInstruction;
};

// <!DOCTYPE value>
class TKitSimpleXMLElemDocType : public TKitSimpleXMLElem {
    ZRX_CLASS(TKitSimpleXMLElemDocType, TKitSimpleXMLElem)
public:
    using TKitSimpleXMLElem::TKitSimpleXMLElem;
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) override;
    void SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                            TKitSimpleXML* AParent) override;
};

// The nodes before the root element; it owns them.
class TKitSimpleXMLElemsProlog : public TObject {
    ZRX_CLASS(TKitSimpleXMLElemsProlog, TObject)
public:
    explicit TKitSimpleXMLElemsProlog(TKitSimpleXML* ASimpleXML = nullptr) : FSimpleXml(ASimpleXML) {}
    ~TKitSimpleXMLElemsProlog() override { Clear(); }
    TKitSimpleXMLElemsProlog(const TKitSimpleXMLElemsProlog&) = delete;
    TKitSimpleXMLElemsProlog& operator=(const TKitSimpleXMLElemsProlog&) = delete;

    TKitSimpleXML* SimpleXML() const { return FSimpleXml; }
    int Count() const { return FElems.Count(); }
    TKitSimpleXMLElem* Item(int Index) const;
    void Clear();
    void LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent);
    void SaveToStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent);

    // The first header; a missing one is made (linked to the document) and appended.
    TKitSimpleXMLElemHeader* FindHeader();
    std::wstring Encoding() { return FindHeader()->Encoding(); }
    void SetEncoding(const std::wstring& Value) { FindHeader()->SetEncoding(Value); }
    bool StandAlone() { return FindHeader()->StandAlone(); }
    void SetStandAlone(bool Value) { FindHeader()->SetStandAlone(Value); }
    std::wstring Version() { return FindHeader()->Version(); }
    void SetVersion(const std::wstring& Value) { FindHeader()->SetVersion(Value); }
    TKitSimpleXMLElemSheet* AddStyleSheet(const std::wstring& AType, const std::wstring& AHRef);
    TKitSimpleXMLElemMSOApplication* AddMSOApplication(const std::wstring& AProgId);
    TKitSimpleXMLElemComment* AddComment(const std::wstring& AValue);
    TKitSimpleXMLElemDocType* AddDocType(const std::wstring& AValue);

    class iterator {
    public:
        iterator(const TKitSimpleXMLElemsProlog* List, int Index) : FList(List), FIndex(Index) {}
        TKitSimpleXMLElem* operator*() const { return FList->Item(FIndex); }
        iterator& operator++() { return ++FIndex, *this; }
        bool operator!=(const iterator& Other) const { return FIndex != Other.FIndex; }

    private:
        const TKitSimpleXMLElemsProlog* FList;
        int FIndex;
    };
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, Count()); }

private:
    friend class TKitSimpleXML;
    // Parses until the root element begins; stops early, returning false, right after a header that
    // changed the stream's code page.
    bool Parse(TKitStringStream* StringStream, TKitSimpleXML* AParent);
    TKitNameList FElems; // owned nodes
    TKitSimpleXML* FSimpleXml;
};

using TKitOnSimpleXMLParsed = std::function<void(TObject* Sender, const std::wstring& Name)>;
using TKitOnValueParsed =
    std::function<void(TObject* Sender, const std::wstring& Name, const std::wstring& Value)>;
using TKitOnSimpleProgress = std::function<void(TObject* Sender, int Position, int Total)>;
using TKitSimpleXMLEncodeEvent = std::function<void(TObject* Sender, std::wstring& Value)>;
using TKitSimpleXMLEncodeStreamEvent =
    std::function<void(TObject* Sender, TStream* InStream, TStream* OutStream)>;

// The XML document: the prolog and the root element, options, and loading and saving in any encoding.
class TKitSimpleXML : public TObject {
    ZRX_CLASS(TKitSimpleXML, TObject)
public:
    TKitSimpleXML();
    ~TKitSimpleXML() override;
    TKitSimpleXML(const TKitSimpleXML&) = delete;
    TKitSimpleXML& operator=(const TKitSimpleXML&) = delete;

    // CodePage 0 is the system ANSI code page; with seAuto a byte-order mark or the header decides.
    void LoadFromFile(const std::wstring& FileName, TKitStringEncoding Encoding = seAuto,
                      uint16_t CodePage = 0);
    void LoadFromResourceName(void* Instance, const std::wstring& ResName,
                              TKitStringEncoding Encoding = seAuto, uint16_t CodePage = 0);
    void LoadFromStream(TStream* Stream, TKitStringEncoding Encoding = seAuto, uint16_t CodePage = 0);
    void LoadFromStringStream(TKitStringStream* StringStream);
    void LoadFromString(const std::wstring& Value);
    // With seAuto the header's encoding decides.
    void SaveToFile(const std::wstring& FileName, TKitStringEncoding Encoding = seAuto,
                    uint16_t CodePage = 0);
    void SaveToStream(TStream* Stream, TKitStringEncoding Encoding = seAuto, uint16_t CodePage = 0);
    void SaveToStringStream(TKitStringStream* StringStream);
    std::wstring SaveToString();
    std::wstring XMLData() { return SaveToString(); }
    void SetXMLData(const std::wstring& Value) { LoadFromString(Value); }

    const std::wstring& FileName() const { return FFileName; }
    // Stores the name and loads the file.
    void SetFileName(const std::wstring& Value);
    TKitSimpleXMLOptions Options() const { return FOptions; }
    void SetOptions(TKitSimpleXMLOptions Value) { FOptions = Value; }
    TKitSimpleXMLElemClassic* Root() const { return FRoot; }
    // Replaces the reference only: the old root is neither freed nor unlinked, and the document keeps
    // owning the root it made itself.
    void SetRoot(TKitSimpleXMLElemClassic* Value) { FRoot = Value; }
    TKitSimpleXMLElemsProlog* Prolog() const { return FProlog.get(); }
    TKitStringEncoding Encoding() const { return FEncoding; }
    void SetEncoding(TKitStringEncoding Value) { FEncoding = Value; }
    uint16_t CodePage() const { return FCodePage; }
    const std::wstring& IndentString() const { return FIndentString; }
    // Kept unless Value is non-empty and white space only.
    void SetIndentString(const std::wstring& Value);
    const std::wstring& BaseIndentString() const { return FBaseIndentString; }
    void SetBaseIndentString(const std::wstring& Value);

    TKitOnSimpleXMLParsed OnTagParsed;
    TKitOnValueParsed OnValueParsed;
    TKitOnSimpleProgress OnLoadProgress;
    TKitOnSimpleProgress OnSaveProgress;
    TKitSimpleXMLEncodeEvent OnEncodeValue;
    TKitSimpleXMLEncodeEvent OnDecodeValue;
    TKitSimpleXMLEncodeStreamEvent OnDecodeStream;
    TKitSimpleXMLEncodeStreamEvent OnEncodeStream;

    virtual void DoEncodeValue(std::wstring& Value);
    virtual void DoDecodeValue(std::wstring& Value);
    void DoLoadProgress(int64_t Position, int64_t Total);
    void DoSaveProgress();
    void DoTagParsed(const std::wstring& Name);
    void DoValueParsed(const std::wstring& Name, const std::wstring& Value);
    // Counts Bytes of memory spent on one node or attribute while loading; raises EKitSimpleXMLError when the
    // document would cost more than its text's share, so that no small file costs many times its size.
    void ChargeLoad(int64_t Bytes);

protected:
    TKitStringEncoding FEncoding = seAnsi;
    uint16_t FCodePage = 0;
    std::wstring FFileName;
    TKitSimpleXMLOptions FOptions;
    TKitSimpleXMLElemClassic* FRoot;
    std::unique_ptr<TKitSimpleXMLElemClassic> FOwnRoot;
    std::unique_ptr<TKitSimpleXMLElemsProlog> FProlog;
    int64_t FLoadBudget = INT64_MAX;
    int FSaveCount = 0;
    int FSaveCurrent = 0;
    std::wstring FIndentString = L"  ";
    std::wstring FBaseIndentString;

private:
    void Parse(TStream* Source, TKitStringEncoding Encoding, uint16_t CodePage);
    // seAuto becomes the encoding and code page that a save writes; raises on a header charset it lacks.
    void ResolveSaveEncoding(TKitStringEncoding& Encoding, uint16_t& CodePage) const;
};
