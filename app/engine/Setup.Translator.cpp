#include "app/engine/Setup.Translator.h"

#include <cstdint>
#include <memory>
#include <windows.h>

#include "app/Setup.Application.h"
#include "app/ui/ui.window.main.h"
#include "runtime/Streams.h"
#include "runtime/SysUtils.h"
#include "runtime/gui/Forms.h"
#include "xml/XMLTranslatorUnit.h"

void CTranslator::Work(TCustomForm* AWindow, const std::wstring& AFileName, bool bFromResource) {
    auto translator = std::make_unique<TXMLTranslator>();
    translator->OnAnalyseSrt = DoAnalyseString;
    // A language file gives texts: it may neither hide, disable nor move the window, nor take away its frame
    // and close box, which would leave the user a window that cannot be closed. Its size is applied below,
    // only within the screen.
    for (const wchar_t* prop : {L"Visible", L"Enabled", L"Left", L"Top", L"Width", L"Height", L"ClientWidth",
                                L"ClientHeight", L"BorderStyle", L"BorderIcons"})
        translator->SkipProperty(TCustomForm::StaticClass(), prop);
    if (bFromResource) {
        TResourceStream stream(HInstance(), AFileName, (const wchar_t*)RT_RCDATA);
        translator->Translate(&stream, AWindow);
    } else {
        translator->Translate(AFileName, AWindow);
    }
    if (auto* window = dynamic_cast<TMainWindow*>(AWindow)) {
        TKitSimpleXMLElem* elem = translator->FormElement(AWindow);
        auto size = [elem](const wchar_t* Name) {
            TKitSimpleXMLProp* prop =
                elem && elem->PropertyCount() ? elem->Properties()->Find(Name) : nullptr;
            const int64_t value = prop ? StrToInt64Def(prop->Value(), -1) : -1;
            return value >= 0 && value <= INT32_MAX ? (int)value : -1;
        };
        window->ApplyLanguageSize(size(L"Width"), size(L"Height"), size(L"ClientWidth"),
                                  size(L"ClientHeight"));
    }
}

void CTranslator::DoAnalyseString(std::wstring& Value) {
    Value = StringReplace(Value, L"$AppName$", IsBetaStream ? L"Zorvex BETA" : L"Zorvex");
    Value = StringReplace(Value, L"$BuildWith$", L"Quellpack");
}

std::wstring GetLocaleString(uint32_t ID, uint32_t LocaleType) {
    wchar_t buffer[1024] = {};
    if (GetLocaleInfoW(ID, LocaleType, buffer, 1024) == 0) return L"";
    return buffer;
}

std::wstring CTranslator::GetLangDisplayNameFormID(uint32_t ID) {
    std::wstring name = GetLocaleString(ID, LOCALE_SNATIVELANGNAME);
    if (!name.empty()) CharUpperBuffW(name.data(), 1);
    return name;
}

std::wstring CTranslator::GetLangNameFormID(uint32_t ID) {
    return GetLocaleString(ID, LOCALE_SISO639LANGNAME) + L"_" + GetLocaleString(ID, LOCALE_SISO3166CTRYNAME);
}
