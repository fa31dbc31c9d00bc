#include "app/Tlv.Code.Components.VirtualStringList.h"

#include "runtime/SysUtils.h"

// Published, in this order, for the language files: SetCount first makes room for the lines that follow.
ZRX_PUBLISH(TVirtualStringList, TComponent, ZRX_PROP_INT(TVirtualStringList, SetCount),
            TPropInfo{
                .Name = L"Lines",
                .Kind = tkClass,
                .GetObj = [](TObject* o) -> TObject* { return static_cast<TVirtualStringList*>(o)->Lines(); },
                .SetObj =
                    [](TObject* o, TObject* v) {
                        static_cast<TVirtualStringList*>(o)->SetLines(dynamic_cast<TStrings*>(v));
                    }},
            ZRX_PROP_STR(TVirtualStringList, Text))

TVirtualStringList::TVirtualStringList(TComponent* AOwner)
    : TComponent(AOwner), FLines(std::make_unique<TStringList>()) {}

void TVirtualStringList::SetSetCount(int N) {
    if (N > MaxSetCount) throw EListError(L"List count out of bounds (" + IntToStr(N) + L")");
    fSetCount = N;
    if (ComponentState() & csDesigning) return;
    FLines->BeginUpdate();
    FLines->Clear();
    for (int i = 0; i <= N; ++i) FLines->Add(IntToStr(i));
    FLines->EndUpdate();
}
