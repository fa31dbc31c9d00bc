#include <gtest/gtest.h>

#include "runtime/gui/ExtCtrls.h"
#include "runtime/gui/Forms.h"

#include "GuiTestUtil.h"

namespace {

std::unique_ptr<TGraphic> Load(std::unique_ptr<TGraphic> g, const std::wstring& Path) {
    TFileStream f(Path, fmOpenRead | fmShareDenyWrite);
    g->LoadFromStream(f);
    return g;
}

} // namespace

TEST(Graphics, DecodesThePngLogoAndTheAnimatedGif) {
    auto png = Load(std::make_unique<TPngImage>(), SourcePath(L"resources/logo.png"));
    EXPECT_EQ(png->Width(), 505);
    EXPECT_EQ(png->Height(), 125);
    EXPECT_EQ(png->FrameCount(), 1);
    GIFImageDefaultAnimate = true;
    auto gif = Load(std::make_unique<TGIFImage>(), SourcePath(L"resources/network.gif"));
    GIFImageDefaultAnimate = false;
    EXPECT_EQ(gif->Width(), 20);
    EXPECT_EQ(gif->Height(), 20);
    EXPECT_EQ(gif->FrameCount(), 8);
    EXPECT_EQ(gif->FrameDelay(0), 80);
    EXPECT_TRUE(gif->Animate);
    EXPECT_FALSE(TGIFImage().Animate);
}

TEST(Graphics, DamagedImageDataRaises) {
    TMemoryStream m;
    const char junk[] = "\x89PNG\r\n\x1a\n but not really a picture";
    m.WriteBuffer(junk, sizeof junk);
    m.SetPosition(0);
    TPngImage png;
    EXPECT_THROW(png.LoadFromStream(m), EInvalidGraphic);
    EXPECT_TRUE(png.Empty());
    TMemoryStream empty;
    EXPECT_THROW(png.LoadFromStream(empty), EInvalidGraphic);
}

TEST(Image, AutoSizesToItsPictureAndStepsTheFramesOfAnAnimatedGif) {
    TForm form(nullptr);
    form.SetClientWidth(610);
    form.SetClientHeight(472);
    auto* logo = new TImage(&form);
    logo->SetParent(&form);
    logo->SetAutoSize(true);
    logo->Picture()->SetGraphic(Load(std::make_unique<TPngImage>(), SourcePath(L"resources/logo.png")).get());
    EXPECT_EQ(logo->Width(), 505);
    EXPECT_EQ(logo->Height(), 125);

    auto* net = new TImage(&form);
    net->SetParent(&form);
    net->SetAutoSize(true);
    GIFImageDefaultAnimate = true;
    net->Picture()->SetGraphic(
        Load(std::make_unique<TGIFImage>(), SourcePath(L"resources/network.gif")).get());
    GIFImageDefaultAnimate = false;
    EXPECT_EQ(net->Width(), 20);
    form.Show();
    PumpMessages(400);
    EXPECT_NE(net->Frame(), 0);
    // Hidden, it stands still.
    net->Hide();
    PumpMessages(100);
    int frame = net->Frame();
    PumpMessages(300);
    EXPECT_EQ(net->Frame(), frame);
}
