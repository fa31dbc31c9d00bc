// A read-only viewer for a local HTML file, shown as formatted text (headings, paragraphs, lists, bold,
// italic): the stand-in for the web browser control that shows the licence terms. It runs no scripts and
// fetches nothing.
#pragma once
#include <string>

#include "runtime/gui/Controls.h"

class TWebBrowser : public TWinControl {
    ZRX_PUBLISHED_CLASS(TWebBrowser, TWinControl)
public:
    explicit TWebBrowser(TComponent* AOwner);
    // Shows the HTML file at URL (a path, or a "file:" URL). A file that cannot be read leaves the view
    // empty, as a browser shows an error page rather than failing its caller.
    void Navigate(const std::wstring& URL);
    const std::wstring& LocationURL() const { return FLocation; }
    // Kept for the callers that switch them off; the viewer registers nothing.
    bool RegisterAsBrowser() const { return FRegisterAsBrowser; }
    void SetRegisterAsBrowser(bool Value) { FRegisterAsBrowser = Value; }
    bool RegisterAsDropTarget() const { return FRegisterAsDropTarget; }
    void SetRegisterAsDropTarget(bool Value) { FRegisterAsDropTarget = Value; }
    // The text shown, without formatting.
    std::wstring PlainText() const;
    // The line that ends the text shown when the file holds more than the viewer shows (a bound that only
    // hostile files reach): the caller says there where the whole text can be read. Set before Navigate.
    const std::wstring& CutNotice() const { return FCutNotice; }
    void SetCutNotice(const std::wstring& Value) { FCutNotice = Value; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void InitializeWnd() override;

private:
    void ShowRtf(const std::string& Rtf);
    std::wstring FLocation;
    std::string FRtf;
    std::wstring FCutNotice = L"The text continues beyond this point.";
    bool FRegisterAsBrowser = true;
    bool FRegisterAsDropTarget = true;
};

// HTML as RTF: block elements become paragraphs, h1-h3 bold and larger, list items bulleted, b/strong, i/em
// and u formatted; head, script and style are left out; entities are decoded and white space collapses as in
// HTML. A paragraph longer than 8,000 characters is split at a sentence's end or a blank. Where the text goes
// beyond what is shown, or Cut says the HTML was cut before it came, CutNotice ends it as a paragraph of its
// own.
std::string HtmlToRtf(const std::wstring& Html, const std::wstring& CutNotice = {}, bool Cut = false);
// The bytes of an HTML file as text: UTF-16 or UTF-8 by their byte-order mark, UTF-8 when the bytes are valid
// UTF-8, else the system ANSI code page.
std::wstring DecodeHtmlBytes(const std::string& Bytes);
