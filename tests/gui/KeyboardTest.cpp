#include <gtest/gtest.h>

#include "runtime/gui/Forms.h"
#include "runtime/gui/StdCtrls.h"
#include "runtime/gui/WebBrowser.h"
#include <windows.h>

#include "GuiTestUtil.h"

namespace {

// A page of every kind of control, some that cannot take the focus among them, on an active form.
struct KeyboardPage : ::testing::Test {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TButton* first = nullptr;
    TCheckBox* accept = nullptr;
    TListBox* box = nullptr;
    TRadioButton* radios[3] = {};
    TWebBrowser* viewer = nullptr;
    TEdit* hidden = nullptr;
    TButton* disabled = nullptr;
    int firstClicks = 0, radioClicks[3] = {};

    template <class T> T* Add(TWinControl* Parent, const wchar_t* Name, int Top) {
        auto* c = new T(form.get());
        c->SetName(Name);
        c->SetParent(Parent);
        c->SetTop(Top);
        return c;
    }
    void SetUp() override {
        form->SetClientWidth(400);
        form->SetClientHeight(400);
        form->Show();
        first = Add<TButton>(form.get(), L"first", 0);
        first->OnClick = [this](TObject*) { ++firstClicks; };
        accept = Add<TCheckBox>(form.get(), L"accept", 30);
        accept->SetCaption(L"I &accept");
        box = Add<TListBox>(form.get(), L"box", 60);
        for (int i = 0; i < 3; ++i) {
            radios[i] = Add<TRadioButton>(box, (L"r" + std::to_wstring(i)).c_str(), i * 20);
            radios[i]->OnClick = [this, i](TObject*) { ++radioClicks[i]; };
        }
        radios[1]->SetChecked(true);
        radios[2]->SetEnabled(false);
        viewer = Add<TWebBrowser>(form.get(), L"viewer", 170);
        viewer->Navigate(SourcePath(L"resources/EULA_en_GB.html"));
        hidden = Add<TEdit>(form.get(), L"hidden", 280);
        hidden->Hide();
        disabled = Add<TButton>(form.get(), L"disabled", 310);
        disabled->SetEnabled(false);
        SetForegroundWindow(form->Handle());
        PumpMessages(50);
        ASSERT_EQ(GetActiveWindow(), form->Handle());
    }
    // A key as the message loop hands it to the form.
    bool Key(UINT Message, WPARAM Code, bool Shift = false) {
        BYTE state[256] = {};
        state[VK_SHIFT] = Shift ? 0x80 : 0;
        SetKeyboardState(state);
        MSG msg{GetFocus() ? GetFocus() : form->Handle(), Message, Code, 0, GetTickCount(), {}};
        const bool used = form->DialogKey(msg);
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
        return used;
    }
    bool Tab(bool Shift = false) { return Key(WM_KEYDOWN, VK_TAB, Shift); }
};

} // namespace

TEST_F(KeyboardPage, TabGoesRoundTheShownEnabledControlsInTheOrderMadeAndTheFocusStartsAtTheFirst) {
    form->EnsureFocus();
    EXPECT_TRUE(first->Focused());
    // The list box holds controls, so Tab goes into it, to its group's checked radio button; the viewer
    // keeps no Tab for itself.
    const std::vector<TWinControl*> forward = {accept, radios[1], viewer, first};
    for (TWinControl* expected : forward) {
        EXPECT_TRUE(Tab());
        EXPECT_TRUE(expected->Focused()) << expected->Name();
    }
    // Reaching the viewer selected none of its text.
    DWORD from = 1, to = 1;
    SendMessageW(viewer->Handle(), EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
    EXPECT_EQ(from, to);
    EXPECT_TRUE(Tab(true));
    EXPECT_TRUE(viewer->Focused());
    EXPECT_TRUE(Tab(true));
    EXPECT_TRUE(radios[1]->Focused());
    // The page changes: what had the focus goes, and the first control that can take it has it.
    first->Hide();
    accept->SetEnabled(false);
    form->EnsureFocus();
    EXPECT_TRUE(radios[1]->Focused());
    radios[1]->Hide();
    form->EnsureFocus();
    EXPECT_TRUE(viewer->Focused()); // the hidden button still holds its group's tab stop
}

TEST_F(KeyboardPage, ArrowKeysMoveAmongTheGroupsEnabledRadioButtonsAndCheckThem) {
    radios[1]->SetFocus();
    EXPECT_TRUE(Key(WM_KEYDOWN, VK_DOWN));
    // The disabled one is passed over, and the group wraps round.
    EXPECT_TRUE(radios[0]->Focused());
    EXPECT_TRUE(radios[0]->Checked());
    EXPECT_FALSE(radios[1]->Checked());
    EXPECT_EQ(radioClicks[0], 1);
    EXPECT_TRUE(Key(WM_KEYDOWN, VK_UP));
    EXPECT_TRUE(radios[1]->Focused());
    EXPECT_TRUE(radios[1]->Checked());
    // Only the checked button is a tab stop of the group.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ((GetWindowLongW(radios[i]->Handle(), GWL_STYLE) & WS_TABSTOP) != 0, i == 1) << i;
    // Elsewhere the arrow keys move nothing.
    first->SetFocus();
    EXPECT_TRUE(Key(WM_KEYDOWN, VK_RIGHT));
    EXPECT_TRUE(first->Focused());
}

TEST_F(KeyboardPage, ReturnPressesTheFocusedButtonAndAltWithTheMarkedLetterActsOnItsControl) {
    first->SetFocus();
    EXPECT_TRUE(Key(WM_KEYDOWN, VK_RETURN));
    EXPECT_EQ(firstClicks, 1);
    accept->SetFocus();
    EXPECT_TRUE(Key(WM_KEYDOWN, VK_RETURN));
    EXPECT_FALSE(accept->Checked());
    EXPECT_EQ(firstClicks, 1);
    first->SetFocus();
    EXPECT_TRUE(Key(WM_SYSCHAR, L'A'));
    EXPECT_TRUE(accept->Checked());
    EXPECT_TRUE(accept->Focused());
    EXPECT_TRUE(Key(WM_SYSCHAR, L'a'));
    EXPECT_FALSE(accept->Checked());
}
