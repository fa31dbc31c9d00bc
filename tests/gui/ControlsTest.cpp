#include <gtest/gtest.h>

#include "runtime/gui/Application.h"
#include "runtime/gui/ComCtrls.h"
#include "runtime/gui/Forms.h"
#include "runtime/gui/StdCtrls.h"
#include <windows.h>
#include <commctrl.h>

#include "GuiTestUtil.h"

namespace {

RECT ChildRect(TWinControl* c) {
    RECT r;
    GetWindowRect(c->Handle(), &r);
    MapWindowPoints(nullptr, GetParent(c->Handle()), (POINT*)&r, 2);
    return r;
}

struct FormFixture : ::testing::Test {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    void SetUp() override {
        form->SetName(L"TestForm");
        form->SetBorderStyle(bsSingle);
        form->SetClientWidth(610);
        form->SetClientHeight(472);
        form->SetColor(clWhite);
    }
};

} // namespace

TEST_F(FormFixture, FormHasTheClientSizeAndItsChildrenTheirBounds) {
    auto* b = new TButton(form.get());
    b->SetName(L"btn");
    b->SetParent(form.get());
    b->SetBounds(507, 432, 94, 29);
    b->SetCaption(L"Action");
    form->Show();
    RECT cr;
    GetClientRect(form->Handle(), &cr);
    EXPECT_EQ(cr.right, 610);
    EXPECT_EQ(cr.bottom, 472);
    RECT r = ChildRect(b);
    EXPECT_EQ(r.left, 507);
    EXPECT_EQ(r.top, 432);
    EXPECT_EQ(r.right - r.left, 94);
    EXPECT_EQ(r.bottom - r.top, 29);
    wchar_t text[32];
    GetWindowTextW(b->Handle(), text, 32);
    EXPECT_STREQ(text, L"Action");
    b->Hide();
    EXPECT_FALSE(IsWindowVisible(b->Handle()));
    // A control made after the form's window exists gets its window at once.
    auto* late = new TCheckBox(form.get());
    late->SetParent(form.get());
    EXPECT_TRUE(late->HandleAllocated());
    EXPECT_EQ(form->ControlCount(), 2);
    EXPECT_EQ(form->Controls(1), late);
}

// The form's window shows once its controls' windows are there: it comes up whole, not control by control.
TEST_F(FormFixture, TheFormShowsWithItsControlsMade) {
    auto* b = new TButton(form.get());
    b->SetParent(form.get());
    b->SetCaption(L"Action");
    static int shows, showsWithButton;
    shows = showsWithButton = 0;
    HOOKPROC watch = [](int Code, WPARAM W, LPARAM L) -> LRESULT {
        const auto* m = (const CWPSTRUCT*)L;
        if (Code == HC_ACTION && m->message == WM_SHOWWINDOW && m->wParam && !GetParent(m->hwnd)) {
            ++shows;
            showsWithButton += FindWindowExW(m->hwnd, nullptr, L"Button", L"Action") != nullptr;
        }
        return CallNextHookEx(nullptr, Code, W, L);
    };
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watch, nullptr, GetCurrentThreadId());
    form->Show();
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(showsWithButton, 1);
    EXPECT_TRUE(IsWindowVisible(b->Handle()));
}

TEST_F(FormFixture, ButtonClickAndCheckBoxToggleFireOnClick) {
    auto* b = new TButton(form.get());
    b->SetParent(form.get());
    auto* cb = new TCheckBox(form.get());
    cb->SetParent(form.get());
    form->Show();
    int clicks = 0, cbClicks = 0;
    b->OnClick = [&](TObject* s) { clicks += s == b; };
    cb->OnClick = [&](TObject*) { ++cbClicks; };
    SendMessageW(b->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    SendMessageW(cb->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(cb->Checked());
    EXPECT_EQ(SendMessageW(cb->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    cb->SetChecked(false);
    EXPECT_EQ(SendMessageW(cb->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    cb->SetChecked(false); // no change, no click
    EXPECT_EQ(cbClicks, 2);
}

TEST_F(FormFixture, CheckingARadioButtonUnchecksItsSiblingsInsideAListBox) {
    auto* box = new TListBox(form.get());
    box->SetParent(form.get());
    box->SetBounds(46, 94, 518, 294);
    form->Show();
    TRadioButton* radios[3];
    int clicks[3] = {};
    for (int i = 0; i < 3; ++i) {
        radios[i] = new TRadioButton(box);
        radios[i]->SetName(L"r" + std::to_wstring(i));
        radios[i]->SetParent(box);
        radios[i]->SetBounds(16, 4 + i * 21, 113, 17);
        radios[i]->OnClick = [&clicks, i](TObject*) { ++clicks[i]; };
    }
    EXPECT_EQ(GetParent(radios[0]->Handle()), box->Handle());
    radios[1]->SetChecked(true);
    EXPECT_EQ(clicks[1], 1);
    SendMessageW(radios[2]->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(radios[2]->Checked());
    EXPECT_FALSE(radios[1]->Checked());
    EXPECT_EQ(SendMessageW(radios[1]->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(clicks[2], 1);
    EXPECT_EQ(clicks[1], 1); // unchecking does not click
    EXPECT_EQ(box->ControlCount(), 3);
    box->Items()->Add(L"line");
    EXPECT_EQ(SendMessageW(box->Handle(), LB_GETCOUNT, 0, 0), 1);
}

TEST_F(FormFixture, LabelAutoSizesToItsTextAndWordWrapKeepsTheWidth) {
    auto* single = new TLabel(form.get());
    single->SetParent(form.get());
    single->SetBounds(46, 146, 518, 17);
    single->SetCaption(L"Installation of Zorvex has been completed successfully.");
    int oneLine = single->Height();
    EXPECT_GT(single->Width(), 100);
    EXPECT_LT(single->Width(), 518);
    EXPECT_GT(oneLine, 8);

    auto* wrapped = new TLabel(form.get());
    wrapped->SetParent(form.get());
    wrapped->SetWordWrap(true);
    wrapped->SetBounds(46, 200, 200, 17);
    wrapped->SetCaption(L"A rather long text that cannot possibly fit on one line of two hundred pixels.");
    EXPECT_LE(wrapped->Width(), 200);
    EXPECT_GE(wrapped->Height(), 2 * oneLine);

    // Line breaks count without word wrap too.
    auto* twoLines = new TLabel(form.get());
    twoLines->SetParent(form.get());
    twoLines->SetCaption(L"first\r\nsecond");
    EXPECT_EQ(twoLines->Height(), 2 * oneLine);

    auto* fixed = new TLabel(form.get());
    fixed->SetParent(form.get());
    fixed->SetAutoSize(false);
    fixed->SetBounds(0, 220, 610, 50);
    fixed->SetCaption(L"Fixed");
    EXPECT_EQ(fixed->Width(), 610);
    EXPECT_EQ(fixed->Height(), 50);
    form->Show();
    RECT r = ChildRect(fixed);
    EXPECT_EQ(r.right - r.left, 610);

    // A bigger font makes a bigger label.
    int before = single->Height();
    single->Font()->SetSize(14);
    EXPECT_GT(single->Height(), before);
    EXPECT_FALSE(single->ParentFont());
}

TEST_F(FormFixture, ControlsTakeTheFormsFontUnlessTheySetTheirOwn) {
    form->Font()->SetName(L"Tahoma");
    form->Font()->SetHeight(-11);
    auto* l = new TLabel(form.get());
    l->SetParent(form.get());
    EXPECT_EQ(l->Font()->Height(), -11);
    EXPECT_EQ(l->Font()->Size(), 8);
    l->Font()->SetSize(12);
    l->Font()->SetQuality(fqClearTypeNatural);
    form->Font()->SetSize(10);
    EXPECT_EQ(l->Font()->Size(), 12);
    auto* b = new TButton(form.get());
    b->SetParent(form.get());
    EXPECT_EQ(b->Font()->Size(), 10);
}

TEST_F(FormFixture, ProgressBarSwitchesBetweenNormalAndMarquee) {
    auto* pb = new TProgressBar(form.get());
    pb->SetParent(form.get());
    pb->SetStyle(pbstMarquee);
    form->Show();
    EXPECT_TRUE(GetWindowLongPtrW(pb->Handle(), GWL_STYLE) & PBS_MARQUEE);
    pb->SetStyle(pbstNormal);
    pb->SetMax(7444889);
    pb->SetPosition(1000000);
    EXPECT_FALSE(GetWindowLongPtrW(pb->Handle(), GWL_STYLE) & PBS_MARQUEE);
    EXPECT_EQ(SendMessageW(pb->Handle(), PBM_GETPOS, 0, 0), 1000000);
    EXPECT_EQ(SendMessageW(pb->Handle(), PBM_GETRANGE, FALSE, 0), 7444889);
}

TEST_F(FormFixture, EditTextFollowsTheUser) {
    auto* e = new TEdit(form.get());
    e->SetParent(form.get());
    e->SetText(L"C:\\first\\");
    form->Show();
    int changes = 0;
    e->OnChange = [&](TObject*) { ++changes; };
    SetWindowTextW(e->Handle(), L"D:\\other\\");
    EXPECT_EQ(e->Text(), L"D:\\other\\");
    EXPECT_GE(changes, 1);
}

TEST_F(FormFixture, PaintingGivesTheFormCanvasWithTheFormsFont) {
    int painted = 0, width = 0;
    form->OnPaint = [&](TObject*) {
        ++painted;
        width = form->Canvas()->TextWidth(L"Stream: BETA");
        form->Canvas()->TextOut(305, 2, L"Stream: BETA");
    };
    form->Show();
    form->Repaint();
    EXPECT_GE(painted, 1);
    EXPECT_GT(width, 30);
}

// Another process reads a control's name and class from its window: global atoms kept as window properties.
TEST_F(FormFixture, WindowsPublishTheComponentNameAndClassToOtherProcesses) {
    auto published = [](HWND Wnd, const wchar_t* Property) {
        wchar_t text[256] = {};
        ATOM atom = (ATOM)(uintptr_t)GetPropW(Wnd, Property);
        return atom && GlobalGetAtomNameW(atom, text, 256) ? std::wstring(text) : std::wstring(L"<none>");
    };
    auto* b = new TButton(form.get());
    b->SetName(L"btnNext");
    b->SetParent(form.get());
    form->Show();
    EXPECT_EQ(published(form->Handle(), L"ComponentName"), L"TestForm");
    EXPECT_EQ(published(b->Handle(), L"ComponentName"), L"btnNext");
    EXPECT_EQ(published(b->Handle(), L"ComponentClass"), L"TButton");
    // A rename shows at once; an empty name publishes none.
    b->SetName(L"btnBack");
    EXPECT_EQ(published(b->Handle(), L"ComponentName"), L"btnBack");
    b->SetName(L"");
    EXPECT_EQ(published(b->Handle(), L"ComponentName"), L"<none>");
    // A control named before its window exists publishes the name with the window.
    auto* l = new TLabel(form.get());
    l->SetName(L"lbTitle");
    l->SetParent(form.get());
    EXPECT_EQ(published(l->Handle(), L"ComponentName"), L"lbTitle");
    EXPECT_EQ(published(l->Handle(), L"ComponentClass"), L"TLabel");
    // A label's window text follows its caption.
    l->SetCaption(L"Choose the installation you want");
    wchar_t text[64] = {};
    GetWindowTextW(l->Handle(), text, 64);
    EXPECT_STREQ(text, L"Choose the installation you want");
}

TEST(Screen, ListsTheOpenFormsInOrder) {
    int before = Screen->GetFormCount();
    auto a = std::make_unique<TForm>(nullptr);
    auto b = std::make_unique<TForm>(nullptr);
    ASSERT_EQ(Screen->GetFormCount(), before + 2);
    EXPECT_EQ(Screen->GetForm(before), a.get());
    EXPECT_EQ(Screen->GetForm(before + 1), b.get());
    a.reset();
    EXPECT_EQ(Screen->GetFormCount(), before + 1);
    EXPECT_EQ(Screen->GetForm(before), b.get());
}

TEST(Components, ASecondComponentOfTheSameNameIsRefused) {
    TForm form(nullptr);
    auto* l = new TLabel(&form);
    l->SetName(L"lbText5");
    auto* l2 = new TLabel(&form);
    EXPECT_THROW(l2->SetName(L"LBTEXT5"), EComponentError);
    EXPECT_EQ(form.FindComponent(L"lbtext5"), l);
}

TEST(TreeAndListItems, FlatIndexIsDepthFirstAndSubItemsHoldTheColumns) {
    TTreeNodes nodes;
    TTreeNode* a = nodes.AddChild(nullptr, L"a");
    nodes.AddChild(nullptr, L"b");
    TTreeNode* a1 = nodes.AddChild(a, L"a1");
    nodes.AddChild(a1, L"a1x");
    EXPECT_EQ(nodes.GetCount(), 4);
    EXPECT_EQ(nodes.GetNodeFromIndex(0)->Text(), L"a");
    EXPECT_EQ(nodes.GetNodeFromIndex(1)->Text(), L"a1");
    EXPECT_EQ(nodes.GetNodeFromIndex(2)->Text(), L"a1x");
    EXPECT_EQ(nodes.GetNodeFromIndex(3)->Text(), L"b");
    EXPECT_THROW(nodes.GetNodeFromIndex(4), EListError);
    TListItems items;
    items.Add()->SubItems()->Add(L"x");
    EXPECT_EQ(items.GetCount(), 1);
    EXPECT_EQ(items.GetItem(0)->SubItems()->Get(0), L"x");
}

// Last: it terminates the application object of this process.
TEST(MainForm, ClosingTheMainFormTerminatesTheApplicationAndLeavesTheWindow) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    ASSERT_EQ(Application->MainForm(), form);
    form->Show();
    EXPECT_FALSE(Application->Terminated());
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    // A second form only hides.
    TForm other(nullptr);
    other.Show();
    SendMessageW(other.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(other.Handle()));
}
