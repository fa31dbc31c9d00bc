#include "app/Tlv.Code.Components.VirtualStringList.h"

TVirtualStringList::TVirtualStringList(TComponent* AOwner)
    : TComponent(AOwner), FLines(std::make_unique<TStringList>()) {}

void TVirtualStringList::SetSetCount(int N) {
    fSetCount = N;
    if (ComponentState() & csDesigning) return;
    FLines->BeginUpdate();
    FLines->Clear();
    for (int i = 0; i <= N; ++i) FLines->Add(std::to_wstring(i));
    FLines->EndUpdate();
}
