// A non-visual component that turns a string list into an indexed table of texts: giving it a count creates
// every index (each line holds its own number) so that a language file may then set lines in any order.
#pragma once
#include <memory>
#include <string>

#include "runtime/StringLists.h"
#include "runtime/gui/TypInfo.h"

class TVirtualStringList : public TComponent {
    ZRX_PUBLISHED_CLASS(TVirtualStringList, TComponent)
public:
    explicit TVirtualStringList(TComponent* AOwner);

    int SetCount() const { return fSetCount; }
    // Records N and, unless the component is being designed, replaces the lines by "0", "1", ... "N"
    // (N+1 lines; none when N < 0). A count above MaxSetCount raises EListError "List count out of bounds
    // (%d)" and changes nothing: a downloaded language file must not be able to exhaust memory, nor time:
    // each element that sets the count rebuilds every line, so the bound is what a 30-byte element may cost.
    void SetSetCount(int N);
    static constexpr int MaxSetCount = 1024;

    TStrings* Lines() const { return FLines.get(); }
    // Copies Value's lines into the owned list.
    void SetLines(TStrings* Value) { FLines->Assign(Value); }

    std::wstring Text() const { return FLines->Text(); }
    void SetText(const std::wstring& Value) { FLines->SetText(Value); }

private:
    std::unique_ptr<TStrings> FLines;
    int fSetCount = 0;
};
