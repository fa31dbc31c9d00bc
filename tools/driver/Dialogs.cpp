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
    HWND main = Target.Wnd && IsWindow(Target.Wnd) ? Target.Wnd : FindMainWindow(Target);
    if (search.Pids.empty())
        msg += L"the program is not running";
    else if (main)
        msg += DescribeWindow(main);
    else
        msg += L"the program shows no window";
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

void PrintDialog(TTarget& Target, bool Folder) {
    HWND dialog = WaitDialog(Target, Folder);
    TTexts texts;
    EnumChildWindows(dialog, CollectTexts, (LPARAM)&texts);
    WriteLine({L"dialog", std::to_wstring((uintptr_t)dialog), std::to_wstring(WindowProcess(dialog)),
               std::to_wstring(X11Window(dialog)), WindowText(dialog), Join(texts.Statics, L"\n")});
}

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
BOOL CALLBACK FindChild(HWND Wnd, LPARAM Param) {
    auto* find = (std::pair<const wchar_t*, HWND>*)Param;
    if (lstrcmpiW(WindowClass(Wnd).c_str(), find->first) == 0) {
        find->second = Wnd;
        return FALSE;
    }
    return TRUE;
}

HWND Child(HWND Dialog, const wchar_t* Class) {
    std::pair<const wchar_t*, HWND> find{Class, nullptr};
    EnumChildWindows(Dialog, FindChild, (LPARAM)&find);
    return find.second;
}

// Selects Folder in the dialog's tree through BFFM_SETSELECTIONW, which reads the path from the dialog's own
// process: the path is written there.
bool Select(HWND Dialog, HANDLE Process, const std::wstring& Folder) {
    const SIZE_T size = (Folder.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(Process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = remote && WriteProcessMemory(Process, remote, Folder.c_str(), size, nullptr);
    DWORD_PTR result = 0;
    if (ok)
        ok = SendMessageTimeoutW(Dialog, BFFM_SETSELECTIONW, TRUE, (LPARAM)remote, SMTO_ABORTIFHUNG, 5000,
                                 &result) != 0;
    if (remote) VirtualFreeEx(Process, remote, 0, MEM_RELEASE);
    return ok;
}

// The folder's name as the dialog shows it for the selection.
std::wstring LastName(const std::wstring& Folder) {
    return Folder.substr(Folder.find_last_of(L'\\') + 1);
}

// The text of a tree item of another process: the item record and the text travel through its memory.
std::wstring ItemText(HWND Tree, HANDLE Process, DWORD_PTR Item) {
    const SIZE_T textSize = 520 * sizeof(wchar_t);
    auto* remote = (char*)VirtualAllocEx(Process, nullptr, sizeof(TVITEMW) + textSize,
                                         MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = (HTREEITEM)Item;
    tv.pszText = (wchar_t*)(remote + sizeof(TVITEMW));
    tv.cchTextMax = 519;
    std::wstring text(520, L'\0');
    if (WriteProcessMemory(Process, remote, &tv, sizeof tv, nullptr) &&
        SendMessageTimeoutW(Tree, TVM_GETITEMW, 0, (LPARAM)remote, SMTO_ABORTIFHUNG, 2000, nullptr) &&
        ReadProcessMemory(Process, remote + sizeof(TVITEMW), text.data(), textSize - sizeof(wchar_t),
                          nullptr))
        text.resize(wcsnlen(text.c_str(), text.size()));
    else
        text.clear();
    VirtualFreeEx(Process, remote, 0, MEM_RELEASE);
    return text;
}

DWORD_PTR TreeItem(HWND Tree, WPARAM Which, DWORD_PTR From) {
    DWORD_PTR item = 0;
    SendMessageTimeoutW(Tree, TVM_GETNEXTITEM, Which, From, SMTO_ABORTIFHUNG, 2000, &item);
    return item;
}

// Selects Folder (without a trailing backslash) as a user clicks through the tree. The dialog finds a path
// itself when it can; otherwise the parent is reached first, opened, and the folder clicked by its name.
bool Reach(HWND Dialog, HANDLE Process, const std::wstring& Folder, int Depth = 0) {
    HWND tree = Child(Dialog, WC_TREEVIEWW), edit = Child(Dialog, L"Edit");
    const std::wstring name = LastName(Folder);
    auto shows = [&](DWORD Ms) {
        return WaitFor(Ms, [&] { return lstrcmpiW(WindowText(edit).c_str(), name.c_str()) == 0; });
    };
    if (!tree || !edit || !Select(Dialog, Process, Folder)) return false;
    if (Folder.size() <= 3 || shows(500)) return true; // a drive shows a name of its own
    const size_t cut = Folder.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut < 2 || Depth > 64) return false;
    if (!Reach(Dialog, Process, Folder.substr(0, cut), Depth + 1)) return false;
    const DWORD_PTR parent = TreeItem(tree, TVGN_CARET, 0);
    SendMessageTimeoutW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)parent, SMTO_ABORTIFHUNG, 5000, nullptr);
    for (DWORD_PTR item = TreeItem(tree, TVGN_CHILD, parent); item; item = TreeItem(tree, TVGN_NEXT, item))
        if (lstrcmpiW(ItemText(tree, Process, item).c_str(), name.c_str()) == 0) {
            SendMessageTimeoutW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item, SMTO_ABORTIFHUNG, 5000,
                                nullptr);
            return shows(2000);
        }
    return false;
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
    std::wstring folder = Folder;
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, WindowProcess(dialog));
    const bool reached = process && Reach(dialog, process, folder);
    if (process) CloseHandle(process);
    if (!reached)
        throw TDriverError{L"the folder dialog did not reach '" + Folder + L"': it shows '" +
                           WindowText(Child(dialog, L"Edit")) + L"' selected"};
    PressUntilGone(dialog, GetDlgItem(dialog, IDOK), Target.TimeoutMs);
}
