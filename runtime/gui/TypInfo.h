// Published properties: a per-class table of named properties with typed getters and setters, and the
// look-ups that set them by name (what a language file needs to reach a form's controls).
#pragma once
#include <cstdint>
#include <iterator>
#include <string>

#include "runtime/Classes.h"

enum TTypeKind : uint32_t {
    tkUnknown,
    tkInteger,
    tkEnumeration,
    tkSet,
    tkClass,
    tkSString,
    tkLString,
    tkWString,
    tkUString
};
using TTypeKinds = uint32_t; // bit (1 << kind) per kind
constexpr TTypeKinds TypeKinds(TTypeKind k) {
    return 1u << k;
}
constexpr TTypeKinds tkStrings =
    (1u << tkSString) | (1u << tkLString) | (1u << tkWString) | (1u << tkUString);
constexpr TTypeKinds tkOrdinalsAndStrings =
    (1u << tkInteger) | (1u << tkEnumeration) | (1u << tkSet) | tkStrings;
constexpr TTypeKinds tkAny = ~0u;

ZRX_EXCEPTION(EPropertyError, Exception)
ZRX_EXCEPTION(EPropertyConvertError, Exception)

// One published property. Ordinal kinds (integer, enumeration, set as a bit mask) go through GetOrd/SetOrd,
// strings through GetStr/SetStr, objects through GetObj/SetObj. A property without a setter is read only.
struct TPropInfo {
    const wchar_t* Name;
    TTypeKind Kind;
    const wchar_t* const* ValueNames = nullptr; // enumeration values, or the elements of a set, by ordinal
    int ValueCount = 0;
    int64_t (*GetOrd)(TObject*) = nullptr;
    void (*SetOrd)(TObject*, int64_t) = nullptr;
    std::wstring (*GetStr)(TObject*) = nullptr;
    void (*SetStr)(TObject*, const std::wstring&) = nullptr;
    TObject* (*GetObj)(TObject*) = nullptr;
    void (*SetObj)(TObject*, TObject*) = nullptr;

    bool HasWriter() const { return SetOrd || SetStr || SetObj; }
};

extern const wchar_t* const BooleanNames[2]; // "False", "True"

// A class with published properties: declare with ZRX_PUBLISHED_CLASS in the class body and define its table
// once in a source file with ZRX_PUBLISH(Class, Parent, props...).
#define ZRX_PUBLISHED_CLASS(Name, ParentClass)                                                               \
public:                                                                                                      \
    static TClass StaticClass();                                                                             \
    TClass ClassType() const override {                                                                      \
        return StaticClass();                                                                                \
    }

#define ZRX_PUBLISH(Name, ParentClass, ...)                                                                  \
    TClass Name::StaticClass() {                                                                             \
        static const TPropInfo props[] = {__VA_ARGS__};                                                      \
        static const TClassInfo info{L## #Name, ParentClass::StaticClass(), props, std::size(props)};        \
        return &info;                                                                                        \
    }

// Property entries for a class T whose property P is read by T::P() and written by T::SetP(value).
#define ZRX_PROP_INT(T, P)                                                                                   \
    TPropInfo {                                                                                              \
        .Name = L## #P, .Kind = tkInteger,                                                                   \
        .GetOrd = [](TObject* o) -> int64_t { return static_cast<T*>(o)->P(); },                             \
        .SetOrd = [](TObject* o, int64_t v) { static_cast<T*>(o)->Set##P((int)v); }                          \
    }
// An integer that a language file may set only within Lo..Hi; a value outside is ignored, as for
// enumerations.
#define ZRX_PROP_INT_IN(T, P, Lo, Hi)                                                                        \
    TPropInfo {                                                                                              \
        .Name = L## #P, .Kind = tkInteger,                                                                   \
        .GetOrd = [](TObject* o) -> int64_t { return static_cast<T*>(o)->P(); },                             \
        .SetOrd = [](TObject* o, int64_t v) {                                                                \
            if (v >= (Lo) && v <= (Hi)) static_cast<T*>(o)->Set##P((int)v);                                  \
        }                                                                                                    \
    }
#define ZRX_PROP_BOOL(T, P)                                                                                  \
    TPropInfo {                                                                                              \
        .Name = L## #P, .Kind = tkEnumeration, .ValueNames = BooleanNames, .ValueCount = 2,                  \
        .GetOrd = [](TObject* o) -> int64_t { return static_cast<T*>(o)->P(); },                             \
        .SetOrd = [](TObject* o, int64_t v) { static_cast<T*>(o)->Set##P(v != 0); }                          \
    }
// Ordinals come from language files: an enumeration value outside the type is ignored (controls use it as an
// index), and a set keeps only the bits of its elements.
#define ZRX_PROP_ENUM(T, P, Names)                                                                           \
    TPropInfo {                                                                                              \
        .Name = L## #P, .Kind = tkEnumeration, .ValueNames = Names, .ValueCount = (int)std::size(Names),     \
        .GetOrd = [](TObject* o) -> int64_t { return (int64_t) static_cast<T*>(o)->P(); },                   \
        .SetOrd = [](TObject* o, int64_t v) {                                                                \
            if (v >= 0 && v < (int64_t)std::size(Names))                                                     \
                static_cast<T*>(o)->Set##P((decltype(static_cast<T*>(o)->P()))v);                            \
        }                                                                                                    \
    }
#define ZRX_PROP_SET(T, P, Names)                                                                            \
    TPropInfo {                                                                                              \
        .Name = L## #P, .Kind = tkSet, .ValueNames = Names, .ValueCount = (int)std::size(Names),             \
        .GetOrd = [](TObject* o) -> int64_t { return (int64_t) static_cast<T*>(o)->P(); },                   \
        .SetOrd = [](TObject* o, int64_t v) {                                                                \
            static_cast<T*>(o)->Set##P((uint32_t)v&((1u << std::size(Names)) - 1));                          \
        }                                                                                                    \
    }
#define ZRX_PROP_STR(T, P)                                                                                   \
    TPropInfo {                                                                                              \
        .Name = L## #P, .Kind = tkUString,                                                                   \
        .GetStr = [](TObject* o) -> std::wstring { return static_cast<T*>(o)->P(); },                        \
        .SetStr = [](TObject* o, const std::wstring& v) { static_cast<T*>(o)->Set##P(v); }                   \
    }
#define ZRX_PROP_OBJ(T, P)                                                                                   \
    TPropInfo {                                                                                              \
        .Name = L## #P, .Kind = tkClass,                                                                     \
        .GetObj = [](TObject* o) -> TObject* { return static_cast<T*>(o)->P(); },                            \
        .SetObj = [](TObject* o, TObject* v) { static_cast<T*>(o)->Set##P(v); }                              \
    }

// The published property Name of Instance's class or an ancestor, compared without regard to case, when its
// kind is in Kinds; nullptr otherwise.
const TPropInfo* GetPropInfoByName(const TObject* Instance, const std::wstring& Name,
                                   TTypeKinds Kinds = tkAny);
const TPropInfo* GetPropInfoByName(TClass AClass, const std::wstring& Name, TTypeKinds Kinds = tkAny);

// Raise EPropertyError when the property has no reader or writer of the needed kind.
int64_t GetOrdProp(TObject* Instance, const TPropInfo* PropInfo);
void SetOrdProp(TObject* Instance, const TPropInfo* PropInfo, int64_t Value);
std::wstring GetUnicodeStrProp(TObject* Instance, const TPropInfo* PropInfo);
void SetUnicodeStrProp(TObject* Instance, const TPropInfo* PropInfo, const std::wstring& Value);
TObject* GetObjectProp(TObject* Instance, const TPropInfo* PropInfo);
// The object held by the class-type property Name; raises EPropertyError when there is no such property.
TObject* GetObjectPropByName(TObject* Instance, const std::wstring& Name);

// A set's text form: element names in square brackets, separated by commas ("[fsBold,fsItalic]").
std::wstring GetSetPropAsString(TObject* Instance, const TPropInfo* PropInfo);
// Reads the text form (brackets optional, blanks ignored); an unknown name raises EPropertyConvertError.
void SetSetPropFromString(TObject* Instance, const TPropInfo* PropInfo, const std::wstring& Value);

// The ordinal of the enumeration value Name (compared without regard to case); -1 when the type has none.
int GetEnumValue(const TPropInfo* PropInfo, const std::wstring& Name);
std::wstring GetEnumName(const TPropInfo* PropInfo, int Value);
