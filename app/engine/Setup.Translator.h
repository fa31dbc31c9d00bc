// The setup's side of localisation: translates the wizard window from a language file, fills in the product
// names that the language files leave as placeholders, and names languages from Windows locale ids.
#pragma once
#include <cstdint>
#include <string>

class TCustomForm;

class CTranslator {
public:
    CTranslator() = delete;
    // Translates AWindow from the RCDATA resource AFileName of the program (bFromResource) or from the file.
    // The wizard window also takes the file's size where it fits the screen, else its built-in size.
    static void Work(TCustomForm* AWindow, const std::wstring& AFileName, bool bFromResource);
    // "$AppName$" becomes "Zorvex" ("Zorvex BETA" in the beta stream), "$BuildWith$" becomes "Quellpack".
    static void DoAnalyseString(std::wstring& Value);
    // The language's native name, starting with a capital ("Русский", "English").
    static std::wstring GetLangDisplayNameFormID(uint32_t ID);
    // The id of the language files: ISO 639 language + "_" + ISO 3166 country ("en_GB", "ru_RU").
    static std::wstring GetLangNameFormID(uint32_t ID);
};

// GetLocaleInfoW of one item; "" when Windows does not know the locale.
std::wstring GetLocaleString(uint32_t ID, uint32_t LocaleType);
