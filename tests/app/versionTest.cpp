#include "IoPanelTesting.h"

#include "FormLayout.h"
#include "Module2.h"
#include "PictureBox.h"
#include "version.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

// The about dialog on its own.
class AboutDialog : public AppFixture
{
protected:
    QString driverLine(int32_t reported)
    {
        lib().vxdVersion = reported;
        version about;
        return about.Label4->text();
    }
};

TEST_F(AboutDialog, ShowsTheProgramsThreePartVersion)
{
    version about;
    EXPECT_EQ(about.Label2->text(), QStringLiteral("Version 1.0.0"));
    EXPECT_EQ(about.Label1->text(), QStringLiteral("Tavrin"));
    EXPECT_FALSE(about.Label3->text().isEmpty());
}

TEST_F(AboutDialog, DriverMinorAlwaysShowsAtLeastTwoDigits)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0x0104, "1.04"}, {0x010C, "1.12"},  {0x0200, "2.00"}, {0x0109, "1.09"},
        {0x010A, "1.10"}, {0x01FF, "1.255"}, {0x0000, "0.00"},
    };
    for (const auto& [reported, shown] : cases)
        EXPECT_EQ(driverLine(reported), QStringLiteral("VxDバージョン ： ") + QString::fromLatin1(shown))
            << std::hex << reported;
}

TEST_F(AboutDialog, VersionsWithBitFifteenSetOrAboveSixteenBitsReadTheLowSixteenUnsigned)
{
    EXPECT_EQ(driverLine(0xFF05), QStringLiteral("VxDバージョン ： 255.05"));
    EXPECT_EQ(driverLine(0x8000), QStringLiteral("VxDバージョン ： 128.00"));
    EXPECT_EQ(driverLine(-1), QStringLiteral("VxDバージョン ： 255.255"));
    EXPECT_EQ(driverLine(0x30104), QStringLiteral("VxDバージョン ： 1.04"));
}

TEST_F(AboutDialog, LaidOutAsTheFormWithTheIconDrawn)
{
    version about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("バージョン情報"));
    auto px = [&](int twips) { return twipsToPx(&about, twips); };
    EXPECT_EQ(about.size(), QSize(px(4800), px(1365)));
    EXPECT_EQ(about.Label1->geometry(), QRect(px(120), px(720), px(855), px(255)));
    EXPECT_EQ(about.Label2->geometry(), QRect(px(1440), px(240), px(1935), px(255)));
    EXPECT_EQ(about.Label4->geometry(), QRect(px(1200), px(600), px(2535), px(255)));
    EXPECT_EQ(about.Label3->geometry(), QRect(px(720), px(1080), px(3495), px(255)));
    EXPECT_EQ(about.btnOK->geometry(), QRect(px(3720), px(120), px(855), px(375)));
    EXPECT_EQ(about.btnOK->text(), QStringLiteral("OK"));
    EXPECT_DOUBLE_EQ(about.Label2->font().pointSizeF(), 11.25);
    // Every line fits its label.
    for (QLabel* l : {about.Label1, about.Label2, about.Label3, about.Label4})
        EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width())
            << l->text().toStdString();
    const PictureBox* icon = about.Picture1;
    EXPECT_LT(cellShare(icon, 0, 0, icon->width() * icon->twipsPerPixelX(),
                        icon->height() * icon->twipsPerPixelY(), kWhite),
              0.8);
}

// Opening from the menu.
class AboutMenu : public IoPanelFixture
{
};

TEST_F(AboutMenu, OpensModallyOverTheMainWindowAndAsksTheDriverEachTime)
{
    QStringList lines;
    QWidget* owner = nullptr;
    ModalWatch watch(QMessageBox::Ok,
                     [&](QWidget* m)
                     {
                         auto* about = qobject_cast<version*>(m);
                         if (!about)
                             return;
                         lines << about->Label4->text();
                         owner = about->parentWidget();
                         saveShot(about, "about");
                         QTest::mouseClick(about->btnOK, Qt::LeftButton);
                     });
    lib().calls.clear();
    w->menuH_Ver->trigger();
    lib().vxdVersion = 0x0200;
    w->menuH_Ver->trigger();
    EXPECT_EQ(lines, (QStringList{"VxDバージョン ： 1.04", "VxDバージョン ： 2.00"}));
    EXPECT_EQ(owner, w);
    EXPECT_EQ(watch.windows, 2);
    EXPECT_EQ(lib().names(), (std::vector<std::string>{"PciGetVxdVersion", "PciGetVxdVersion"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
