#include "app/engine/Setup.Translator.h"

#include <memory>
#include <windows.h>

#include "app/Setup.Application.h"
#include "runtime/Streams.h"
#include "runtime/gui/Forms.h"
#include "xml/XMLTranslatorUnit.h"

static void ReplaceAll(std::wstring& S, const std::wstring& From, const std::wstring& To) {
    for (size_t at = S.find(From); at != std::wstring::npos; at = S.find(From, at + To.size()))
        S.replace(at, From.size(), To);
}

void CTranslator::Work(TCustomForm* AWindow, const std::wstring& AFileName, bool bFromResource) {
    auto translator = std::make_unique<TXMLTranslator>();
    translator->OnAnalyseSrt = DoAnalyseString;
    if (bFromResource) {
        TResourceStream stream(HInstance(), AFileName, (const wchar_t*)RT_RCDATA);
        translator->Translate(&stream, AWindow);
    } else {
        translator->Translate(AFileName, AWindow);
    }
}

void CTranslator::DoAnalyseString(std::wstring& Value) {
    ReplaceAll(Value, L"$AppName$", IsBetaStream ? L"Zorvex BETA" : L"Zorvex");
    ReplaceAll(Value, L"$BuildWith$", L"Quellpack");
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
