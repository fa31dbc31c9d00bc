#include "app/engine/Setup.Translator.h"

#include <memory>
#include <windows.h>

#include "app/Setup.Application.h"
#include "runtime/Streams.h"
#include "runtime/SysUtils.h"
#include "runtime/gui/Forms.h"
#include "xml/XMLTranslatorUnit.h"

void CTranslator::Work(TCustomForm* AWindow, const std::wstring& AFileName, bool bFromResource) {
    auto translator = std::make_unique<TXMLTranslator>();
    translator->OnAnalyseSrt = DoAnalyseString;
    // A language file gives texts: it may neither hide, disable, move nor resize the window, nor take away
    // its frame and close box, which would leave the user a window that cannot be closed.
    for (const wchar_t* prop : {L"Visible", L"Enabled", L"Left", L"Top", L"Width", L"Height", L"ClientWidth",
                                L"ClientHeight", L"BorderStyle", L"BorderIcons"})
        translator->SkipProperty(TCustomForm::StaticClass(), prop);
    if (bFromResource) {
        TResourceStream stream(HInstance(), AFileName, (const wchar_t*)RT_RCDATA);
        translator->Translate(&stream, AWindow);
    } else {
        translator->Translate(AFileName, AWindow);
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
