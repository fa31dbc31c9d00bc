#include "Driver.h"

#include <objbase.h>
#include <shlobj.h>

void PrintLink(const std::wstring& Path) {
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    if (FAILED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link)))
        throw TDriverError{L"the shell link object is not available"};
    IPersistFile* file = nullptr;
    HRESULT hr = link->QueryInterface(IID_IPersistFile, (void**)&file);
    if (SUCCEEDED(hr)) hr = file->Load(Path.c_str(), STGM_READ);
    if (FAILED(hr)) {
        if (file) file->Release();
        link->Release();
        throw TDriverError{L"cannot read the shell link '" + Path + L"'"};
    }
    wchar_t text[INFOTIPSIZE + 1];
    auto field = [&](const wchar_t* Name, HRESULT Got) {
        WriteLine({Name, SUCCEEDED(Got) ? text : L""});
        text[0] = 0;
    };
    text[0] = 0;
    field(L"target", link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH));
    field(L"arguments", link->GetArguments(text, INFOTIPSIZE));
    field(L"workdir", link->GetWorkingDirectory(text, MAX_PATH));
    field(L"description", link->GetDescription(text, INFOTIPSIZE));
    file->Release();
    link->Release();
    CoUninitialize();
}
