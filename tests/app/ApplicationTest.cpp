#include <windows.h>

#include <atomic>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/core/Setup.Core.h"
#include "runtime/gui/Application.h"
#include "runtime/gui/Forms.h"

TEST(Application, RunReturnsAtOnceWithoutAForm) {
    Application->Run();
    EXPECT_EQ(Application->MainForm(), nullptr);
    EXPECT_FALSE(Application->Terminated());
}

TEST(WaitForUser, APageButtonEndsTheWait) {
    Aborted = false;
    PageChoice = L"en_GB";
    TTestWindow window([] {
        PageChoice = L"Uninstall";
        PageDone = true;
    });
    std::thread user([&] {
        Sleep(200);
        PostClick(window.Button());
    });
    CSetupCore::WaitForUser();
    user.join();
    EXPECT_TRUE(PageDone);
    EXPECT_FALSE(Aborted);
    EXPECT_EQ(PageChoice, L"Uninstall");
}

TEST(WaitForUser, AHandlerErrorIsShownSwallowedAndTheWaitGoesOn) {
    Aborted = false;
    Application->SetTitle(L"Zorvex Setup");
    int clicks = 0;
    TTestWindow window([&] {
        if (++clicks == 1) throw EConvertError(L"'7.1 Mb' is not a valid integer value");
        PageDone = true;
    });
    std::wstring shown;
    std::thread user([&] {
        TDialogDriver box(IDOK);
        Sleep(200);
        PostClick(window.Button());
        box.Finish();
        shown = box.Texts();
        Sleep(200);
        PostClick(window.Button());
    });
    CSetupCore::WaitForUser();
    user.join();
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(PageDone);
    EXPECT_FALSE(Aborted);
    // The box names the error, ended with a full stop, under the application's title.
    EXPECT_NE(shown.find(L"'7.1 Mb' is not a valid integer value."), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"Zorvex Setup"), std::wstring::npos) << shown;
}

TEST(WaitForUser, AnAbortShowsNothing) {
    std::atomic<int> clicks = 0;
    TTestWindow window([&] {
        if (++clicks == 1) throw EAbort();
        PageDone = true;
    });
    // A click posted to a loaded machine can be lost: click again until it has arrived.
    auto clickUntil = [&](int Count) {
        for (int i = 0; i < 100 && clicks < Count; ++i) {
            PostClick(window.Button());
            Sleep(300);
        }
    };
    bool boxShown = true;
    std::thread user([&] {
        TDialogDriver box(IDOK, {}, false, 1500);
        clickUntil(1);
        boxShown = box.Finish();
        clickUntil(2);
    });
    CSetupCore::WaitForUser();
    user.join();
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(boxShown);
}

// Closing the window terminates the application for the rest of the process, so these run in a child.
TEST(Terminating, DISABLED_ClosingTheWindowEndsTheWaitAsAborted) {
    Aborted = false;
    PageChoice = L"en_GB";
    TTestWindow window([] { PageDone = true; });
    std::thread user([&] {
        Sleep(200);
        PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
    });
    CSetupCore::WaitForUser();
    user.join();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(Aborted);
    EXPECT_FALSE(PageDone);
    EXPECT_EQ(PageChoice, L"en_GB");

    // A later wait, such as that of a last page, ends without a message to wake it.
    Aborted = false;
    CSetupCore::WaitForUser();
    EXPECT_TRUE(Aborted);
}

TEST(Terminating, ClosingTheWindowEndsTheWaitAsAborted) {
    EXPECT_TRUE(RunTestInChild(L"Terminating.DISABLED_ClosingTheWindowEndsTheWaitAsAborted"));
}

// A close and a button press handled in the same step count as a close.
TEST(Terminating, DISABLED_ACloseInTheSameStepAsAPressIsAClose) {
    Aborted = false;
    TTestWindow window([] {
        PageDone = true;
        Application->Terminate();
    });
    std::thread user([&] {
        Sleep(200);
        PostClick(window.Button());
    });
    CSetupCore::WaitForUser();
    user.join();
    EXPECT_TRUE(Aborted);
}

TEST(Terminating, ACloseInTheSameStepAsAPressIsAClose) {
    EXPECT_TRUE(RunTestInChild(L"Terminating.DISABLED_ACloseInTheSameStepAsAPressIsAClose"));
}

// The application's own forms: the first becomes the main form, and closing it ends Run.
TEST(Terminating, DISABLED_TheFirstFormIsTheMainFormAndClosingItEndsRun) {
    TForm* first = nullptr;
    TForm* second = nullptr;
    Application->CreateForm(first);
    Application->CreateForm(second);
    EXPECT_EQ(Application->MainForm(), first);
    EXPECT_EQ(first->Owner(), Application);
    EXPECT_EQ(second->Owner(), Application);
    first->Show();
    HWND wnd = first->Handle();
    std::thread user([&] {
        Sleep(200);
        PostMessageW(wnd, WM_CLOSE, 0, 0);
    });
    Application->Run();
    user.join();
    EXPECT_TRUE(Application->Terminated());
    // The closed main form stays until the application frees its forms.
    EXPECT_TRUE(IsWindow(wnd));
    Application->DestroyComponents();
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(Terminating, TheFirstFormIsTheMainFormAndClosingItEndsRun) {
    EXPECT_TRUE(RunTestInChild(L"Terminating.DISABLED_TheFirstFormIsTheMainFormAndClosingItEndsRun"));
}
