#include "IoPanelTesting.h"

#include "Module2.h"
#include "version.h"

// The about dialog on its own.
class AboutDialog : public AppFixture
{
protected:
    std::string driverLine(int32_t reported)
    {
        lib().vxdVersion = reported;
        version about;
        return about.Label4->text();
    }
};

TEST_F(AboutDialog, ShowsTheProgramsThreePartVersion)
{
    version about;
    EXPECT_EQ(about.Label2->text(), std::string("Version 1.0.0"));
    EXPECT_EQ(about.Label1->text(), std::string("Tavrin"));
    EXPECT_FALSE(about.Label3->text().empty());
}

TEST_F(AboutDialog, DriverMinorAlwaysShowsAtLeastTwoDigits)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0x0104, "1.04"}, {0x010C, "1.12"},  {0x0200, "2.00"}, {0x0109, "1.09"},
        {0x010A, "1.10"}, {0x01FF, "1.255"}, {0x0000, "0.00"},
    };
    for (const auto& [reported, shown] : cases)
        EXPECT_EQ(driverLine(reported), std::string("VxDバージョン ： ") + std::string(shown))
            << std::hex << reported;
}

TEST_F(AboutDialog, VersionsWithBitFifteenSetOrAboveSixteenBitsReadTheLowSixteenUnsigned)
{
    EXPECT_EQ(driverLine(0xFF05), std::string("VxDバージョン ： 255.05"));
    EXPECT_EQ(driverLine(0x8000), std::string("VxDバージョン ： 128.00"));
    EXPECT_EQ(driverLine(-1), std::string("VxDバージョン ： 255.255"));
    EXPECT_EQ(driverLine(0x30104), std::string("VxDバージョン ： 1.04"));
}

TEST_F(AboutDialog, LaidOutAsTheFormWithTheIconDrawn)
{
    version about;
    EXPECT_EQ(about.form().caption(), std::string("バージョン情報"));
    auto px = [&](int twips) { return driver::px(about.form(), twips); };
    using driver::Rect;
    EXPECT_EQ(driver::clientRect(about.form()), (Rect{0, 0, px(4800), px(1365)}));
    EXPECT_EQ(driver::geometry(about.Label1), (Rect{px(120), px(720), px(855), px(255)}));
    EXPECT_EQ(driver::geometry(about.Label2), (Rect{px(1440), px(240), px(1935), px(255)}));
    EXPECT_EQ(driver::geometry(about.Label4), (Rect{px(1200), px(600), px(2535), px(255)}));
    EXPECT_EQ(driver::geometry(about.Label3), (Rect{px(720), px(1080), px(3495), px(255)}));
    EXPECT_EQ(driver::geometry(about.btnOK), (Rect{px(3720), px(120), px(855), px(375)}));
    EXPECT_EQ(about.btnOK->text(), std::string("OK"));
    EXPECT_LT(boxShare(about.Picture1, kWhite), 0.8);
}

// Opening from the menu.
class AboutMenu : public IoPanelFixture
{
};

TEST_F(AboutMenu, OpensModallyOverTheMainWindowAndAsksTheDriverEachTime)
{
    std::vector<std::string> lines;
    const ui::Form* owner = nullptr;
    ModalWatch watch(ui::Answer::Ok,
                     [&](driver::Modal& m)
                     {
                         auto* about = ownerOf<version>(m);
                         if (!about)
                             return;
                         lines.push_back(about->Label4->text());
                         owner = driver::parentOf(about->form());
                         saveShot(about->form(), "about");
                         driver::click(about->btnOK);
                     });
    lib().calls.clear();
    driver::chooseMenu(w->menuH_Ver);
    lib().vxdVersion = 0x0200;
    driver::chooseMenu(w->menuH_Ver);
    EXPECT_EQ(lines, (std::vector<std::string>{"VxDバージョン ： 1.04", "VxDバージョン ： 2.00"}));
    EXPECT_EQ(owner, &w->form());
    EXPECT_EQ(watch.windows, 2);
    EXPECT_EQ(lib().names(), (std::vector<std::string>{"PciGetVxdVersion", "PciGetVxdVersion"}));
    EXPECT_TRUE(driver::noDialogOpen());
}
