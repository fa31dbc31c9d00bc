// What the page tests share: a real wizard window lent a test source whose working folder is a scratch
// folder of the test, and the look of controls read from their windows.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "app/Setup.Application.h"
#include "app/core/Setup.Core.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Source.h"
#include "runtime/gui/ComCtrls.h"

#include "../app/TestSupport.h"
#include "GuiTestUtil.h"

// A control's bounds in its parent's client area, from its window.
inline RECT ClientBounds(TControl* Control) {
    RECT r;
    HWND wnd = static_cast<TWinControl*>(Control)->Handle();
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, GetParent(wnd), (POINT*)&r, 2);
    return r;
}

inline void ExpectBounds(TControl* Control, int Left, int Top, int Width, int Height) {
    RECT r = ClientBounds(Control);
    EXPECT_EQ(r.left, Left) << Control->Name();
    EXPECT_EQ(r.top, Top) << Control->Name();
    EXPECT_EQ(r.right - r.left, Width) << Control->Name();
    if (Height >= 0) {
        EXPECT_EQ(r.bottom - r.top, Height) << Control->Name();
    }
}

// The names of the window's controls that show on the screen.
inline std::vector<std::wstring> VisibleNames(TMainWindow& W) {
    std::vector<std::wstring> names;
    for (int i = 0; i < W.ControlCount(); ++i) {
        auto* c = static_cast<TWinControl*>(W.Controls(i));
        if (c->Visible() && IsWindowVisible(c->Handle())) names.push_back(c->Name());
    }
    return names;
}

// The check state and the enabled state as the user sees them, from the control's window.
inline bool ShownChecked(TControl* Control) {
    return SendMessageW(static_cast<TWinControl*>(Control)->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
inline bool ShownEnabled(TControl* Control) {
    return IsWindowEnabled(static_cast<TWinControl*>(Control)->Handle());
}

// A click by the user on a control of the window.
inline void UserClick(TControl* Control) {
    SendMessageW(static_cast<TWinControl*>(Control)->Handle(), BM_CLICK, 0, 0);
}

struct PagesTest : ::testing::Test {
    std::unique_ptr<TSource> Source;
    std::wstring Work; // the test source's working folder

    void SetUp() override {
        UILanguage = L"en_GB";
        IsBetaStream = false;
        PageChoice.clear();
        PageDone = false;
        Source = std::make_unique<TSource>();
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        Work = MakeScratchFolder(std::wstring(test.begin(), test.end()));
        Source->baseTemp = Work;
        Source->RealSource = stWebServer;
    }
    void TearDown() override { UILanguage = L"en_GB"; }

    // The window as the engine has it when it calls a page: shown, with the source lent and the
    // preparation page hidden.
    std::unique_ptr<TMainWindow> Make() {
        auto w = std::make_unique<TMainWindow>(nullptr);
        w->Source = Source.get();
        w->Show();
        PumpMessages(30);
        w->HidePage();
        return w;
    }

    // Writes Bytes into the working folder as Name.
    void PutFile(const std::wstring& Name, const std::string& Bytes) const {
        HANDLE h = CreateFileW((Work + Name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        ::WriteFile(h, Bytes.data(), (DWORD)Bytes.size(), &n, nullptr);
        CloseHandle(h);
    }

    template <class T> static T* Find(TMainWindow& W, const wchar_t* Name) { return W.FindControl<T>(Name); }
};
