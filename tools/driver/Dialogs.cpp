#include "Driver.h"

#include <shlobj.h>

#include <algorithm>

namespace {
struct TDialogSearch {
    std::vector<DWORD> Pids;
    bool Folder; // the folder dialog, which holds a tree of folders; else a message box
    HWND Found = nullptr;
};

BOOL CALLBACK HasTree(HWND Wnd, LPARAM Param) {
    if (WindowClass(Wnd) == WC_TREEVIEWW) {
        *(bool*)Param = true;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindDialogProc(HWND Wnd, LPARAM Param) {
    auto* search = (TDialogSearch*)Param;
    if (!IsWindowVisible(Wnd) || WindowClass(Wnd) != L"#32770") return TRUE;
    if (std::find(search->Pids.begin(), search->Pids.end(), WindowProcess(Wnd)) == search->Pids.end())
        return TRUE;
    bool tree = false;
    EnumChildWindows(Wnd, HasTree, (LPARAM)&tree);
    if (tree != search->Folder) return TRUE;
    search->Found = Wnd;
    return FALSE;
}

HWND WaitDialog(TTarget& Target, bool Folder) {
    const wchar_t* what = Folder ? L"the folder dialog" : L"a message box";
    TDialogSearch search{{}, Folder};
    bool found = WaitFor(Target.TimeoutMs, [&] {
        search = TDialogSearch{TargetProcesses(Target), Folder};
        if (search.Pids.empty()) return false;
        EnumWindows(FindDialogProc, (LPARAM)&search);
        return search.Found != nullptr;
    });
    if (found) return search.Found;
    std::wstring msg = L"timed out after " + Seconds(Target.TimeoutMs) + L" waiting for " + what + L"; ";
    if (search.Pids.empty())
        msg += L"the program is not running";
    else if (Target.Wnd && IsWindow(Target.Wnd))
        msg += DescribeWindow(Target.Wnd);
    else
        msg += L"no window of the program is known";
    throw TDriverError{msg};
}

struct TTexts {
    std::vector<std::wstring> Statics, Buttons;
};

BOOL CALLBACK CollectTexts(HWND Wnd, LPARAM Param) {
    auto* texts = (TTexts*)Param;
    const std::wstring cls = WindowClass(Wnd), text = WindowText(Wnd);
    if (text.empty() || !IsWindowVisible(Wnd)) return TRUE;
    if (lstrcmpiW(cls.c_str(), L"Static") == 0) texts->Statics.push_back(text);
    if (lstrcmpiW(cls.c_str(), L"Button") == 0) texts->Buttons.push_back(text);
    return TRUE;
}

std::wstring Join(const std::vector<std::wstring>& Parts, const std::wstring& Separator) {
    std::wstring out;
    for (size_t i = 0; i < Parts.size(); ++i) out += (i ? Separator : L"") + Parts[i];
    return out;
}

// A click on a dialog that is still settling can be lost: press again until the dialog is gone, as a user
// would.
void PressUntilGone(HWND Dialog, HWND Button, DWORD TimeoutMs) {
    const bool gone = WaitFor(TimeoutMs, [&, next = GetTickCount64()]() mutable {
        if (!IsWindow(Dialog) || !IsWindowVisible(Dialog)) return true;
        if (GetTickCount64() >= next) {
            PostClick(Button);
            next = GetTickCount64() + 1500;
        }
        return false;
    });
    if (!gone)
        throw TDriverError{L"the dialog '" + WindowText(Dialog) + L"' stayed open after its button '" +
                           WindowText(Button) + L"' was pressed for " + Seconds(TimeoutMs)};
}
} // namespace

void AnswerMessageBox(TTarget& Target, const std::wstring& Button) {
    int id = 0;
    if (Button == L"yes")
        id = IDYES;
    else if (Button == L"no")
        id = IDNO;
    else if (Button == L"ok")
        id = IDOK;
    else if (Button == L"cancel")
        id = IDCANCEL;
    else
        throw TDriverError{L"unknown answer '" + Button + L"': use yes, no, ok or cancel"};
    HWND box = WaitDialog(Target, false);
    TTexts texts;
    EnumChildWindows(box, CollectTexts, (LPARAM)&texts);
    WriteLine({WindowText(box), Join(texts.Statics, L"\n")});
    HWND button = GetDlgItem(box, id);
    if (!button || !IsWindowVisible(button))
        throw TDriverError{L"the message box '" + WindowText(box) + L"' (" + Join(texts.Statics, L" ") +
                           L") has no button '" + Button + L"'; its buttons: " + Join(texts.Buttons, L", ")};
    PressUntilGone(box, button, Target.TimeoutMs);
}

namespace {
BOOL CALLBACK FindEdit(HWND Wnd, LPARAM Param) {
    if (lstrcmpiW(WindowClass(Wnd).c_str(), L"Edit") == 0) {
        *(HWND*)Param = Wnd;
        return FALSE;
    }
    return TRUE;
}

// Selects Folder in the dialog's tree as a click there would: the path is written into the dialog's process
// for BFFM_SETSELECTIONW, which reads it from there.
bool SelectInTree(HWND Dialog, const std::wstring& Folder) {
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, WindowProcess(Dialog));
    if (!process) return false;
    const SIZE_T size = (Folder.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = remote && WriteProcessMemory(process, remote, Folder.c_str(), size, nullptr);
    DWORD_PTR result = 0;
    if (ok)
        ok = SendMessageTimeoutW(Dialog, BFFM_SETSELECTIONW, TRUE, (LPARAM)remote, SMTO_ABORTIFHUNG, 5000,
                                 &result) != 0;
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok;
}
} // namespace

void AnswerFolderDialog(TTarget& Target, const std::wstring& Folder) {
    HWND dialog = WaitDialog(Target, true);
    TTexts texts;
    EnumChildWindows(dialog, CollectTexts, (LPARAM)&texts);
    WriteLine({WindowText(dialog), Join(texts.Statics, L"\n")});
    if (Folder.empty()) {
        PressUntilGone(dialog, GetDlgItem(dialog, IDCANCEL), Target.TimeoutMs);
        return;
    }
    if (!SelectInTree(dialog, Folder))
        throw TDriverError{L"could not select '" + Folder + L"' in the folder dialog '" + WindowText(dialog) +
                           L"'"};
    Sleep(200); // let the tree settle on the selection, as a user's eye would
    HWND edit = nullptr;
    EnumChildWindows(dialog, FindEdit, (LPARAM)&edit);
    if (edit)
        SendMessageTimeoutW(edit, WM_SETTEXT, 0, (LPARAM)Folder.c_str(), SMTO_ABORTIFHUNG, 2000, nullptr);
    PressUntilGone(dialog, GetDlgItem(dialog, IDOK), Target.TimeoutMs);
}
