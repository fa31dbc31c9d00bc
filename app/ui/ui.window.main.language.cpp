// The language page and the licence page.
#include "app/ui/ui.window.main.h"

#include <set>
#include <vector>

#include "app/Setup.Application.h"
#include "app/engine/Setup.Translator.h"
#include "net/Setup.Source.h"
#include "runtime/SysUtils.h"
#include "runtime/gui/WebBrowser.h"
#include "xml/ExSimpleXMLUnit.h"

namespace {

// The most languages the page lists: the list box shows about a dozen, and each one costs a window.
constexpr int MaxLanguages = 256;

// An id names a control ("Lang_" + id) and the files fetched for the language, so it must be a plain
// identifier: anything else could name a file outside the working folder.
bool IsValidLangId(const std::wstring& Id) {
    if (Id.empty()) return false;
    for (wchar_t c : Id)
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_'))
            return false;
    return true;
}

} // namespace

void TMainWindow::page_SelectLang() {
    ShowPageFrame(0, IS(1), IS(2));
    btnNext->OnClick = [this](TObject* Sender) { SelectLangNextClick(Sender); };
    btnNext->SetEnabled(false);
    auto* box = AddControl<TListBox>(L"lbBox");
    box->SetBounds(46, 94, ClientWidth() - 92, 294);
    FillLanguageList(box);
}

std::vector<std::pair<std::wstring, uint32_t>> TMainWindow::ReadLanguageList(const std::wstring& FileName) {
    std::vector<std::pair<std::wstring, uint32_t>> languages;
    TExSimpleXML xml;
    if (!xml.TryLoadXMLFile(FileName)) return languages;
    // Ids compare as control names do, without regard to case; a set keeps the check cheap however many
    // repeats the file holds.
    std::set<std::wstring> seen;
    TKitSimpleXMLElems* items = xml.Root()->Items();
    for (int i = 0; i < items->Count() && (int)languages.size() < MaxLanguages; ++i) {
        TKitSimpleXMLElem* elem = items->Item(i);
        if (elem->Name() != L"lang") continue;
        const std::wstring id = XMLGetProp(elem, L"id", L"...");
        if (!IsValidLangId(id) || !seen.insert(UpperCase(id)).second) continue;
        languages.emplace_back(id, uint32_t(elem->IntValue()));
    }
    return languages;
}

void TMainWindow::FillLanguageList(TListBox* Box) {
    int y = 0;
    for (const auto& [id, lcid] : ReadLanguageList(Source->baseTemp + L"Langs.xml")) {
        auto* radio = new TRadioButton(Box);
        radio->SetParent(Box);
        radio->SetName(L"Lang_" + id);
        radio->OnClick = [this](TObject* Sender) { LangRadioClick(Sender); };
        radio->SetLeft(16);
        radio->SetTop(y + 4);
        radio->SetCaption(CTranslator::GetLangDisplayNameFormID(lcid));
        radio->SetHint(id);
        if (id == UILanguage) radio->SetChecked(true);
        y += radio->Height() + 4;
    }
}

void TMainWindow::LangRadioClick(TObject*) {
    btnNext->SetEnabled(true);
}

void TMainWindow::SelectLangNextClick(TObject*) {
    std::wstring id;
    if (auto* box = dynamic_cast<TWinControl*>(FindComponent(L"lbBox")); box && box->Parent() == this)
        for (int i = 0; i < box->ControlCount() && id.empty(); ++i)
            if (auto* radio = dynamic_cast<TRadioButton*>(box->Controls(i)); radio && radio->Checked())
                id = radio->Hint();
    if (id.empty()) id = UILanguage;
    PageChoice = id;
    PageDone = true;
    HidePage();
    page_Prepare();
}

void TMainWindow::page_EULA() {
    const int width = ClientWidth() - 92;
    ShowPageFrame(0, IS(1), IS(3));
    btnNext->OnClick = [this](TObject* Sender) { EULANextClick(Sender); };
    btnNext->SetEnabled(false);

    auto* text = AddControl<TLabel>(L"lbText2");
    text->SetAutoSize(false);
    text->SetWordWrap(true);
    text->SetBounds(46, 88, width, 42);
    text->SetCaption(IS(4));

    auto* browser = new TWebBrowser(this);
    browser->SetParent(this);
    browser->SetBounds(46, 138, width, 274);
    browser->SetRegisterAsBrowser(false);
    browser->SetRegisterAsDropTarget(false);
    // Terms too long for the viewer end with a line that says where they can be read whole; the built-in
    // ones are never cut.
    if (!Source->topAddress.empty()) browser->SetCutNotice(FormatIS(41, {Source->topAddress}));
    browser->Navigate(Source->baseTemp + Source->topRequest);

    auto* accept = AddControl<TCheckBox>(L"cbAcceptEULA");
    accept->SetBounds(46, 420, 400, accept->Height());
    accept->SetCaption(IS(5));
    accept->SetChecked(false);
    accept->OnClick = [this](TObject* Sender) { AcceptEULAClick(Sender); };
}

void TMainWindow::AcceptEULAClick(TObject* Sender) {
    auto* box = dynamic_cast<TCheckBox*>(Sender);
    btnNext->SetEnabled(box && box->Checked());
}

void TMainWindow::EULANextClick(TObject*) {
    HidePage();
    PageDone = true;
}
