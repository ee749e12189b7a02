#include "AppFixture.h"
#include "UiHelpers.h"

#include "Module2.h"
#include "fonts.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>

using Calls = std::vector<LibCall>;

class StartUp : public AppFixture
{
};

TEST_F(StartUp, OpenFailureShowsOneMessageBoxAndEndsBeforeCounting)
{
    lib().setStatus("PciOpenDevice", 0);
    MessageBoxSeen seen;
    answerNextMessageBox(QMessageBox::Ok, &seen);

    EXPECT_FALSE(start::Main());

    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, QStringLiteral("Ｖｘｄをオープンできませんでした"));
    EXPECT_EQ(seen.title, QStringLiteral("tavrin"));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(lib().names(), std::vector<std::string>{"PciOpenDevice"});
    EXPECT_FALSE(Tavrinmain::instance().isVisible());
}

TEST_F(StartUp, NoChipFoundSaysSoAndRegistersNothing)
{
    lib().chipCount = 0;
    Tavrinmain& w = startProgram();
    EXPECT_EQ(w.statusText(), QStringLiteral("Orvelを発見できませんでした。"));
    EXPECT_EQ(w.lstOrvel->count(), 0);
    EXPECT_EQ(lib().count("PciRegisterDevice"), 0);
}

TEST_F(StartUp, ThreeChipsAreRegisteredInOrderAndListed)
{
    lib().chipCount = 3;
    Tavrinmain& w = startProgram();
    EXPECT_EQ(lib().names(), (std::vector<std::string>{"PciOpenDevice", "PciFindDevice", "PciRegisterDevice",
                                                       "PciRegisterDevice", "PciRegisterDevice"}));
    EXPECT_EQ(lib().callsTo("PciRegisterDevice"),
              (Calls{{"PciRegisterDevice", {1}}, {"PciRegisterDevice", {2}}, {"PciRegisterDevice", {3}}}));
    ASSERT_EQ(w.lstOrvel->count(), 3);
    EXPECT_EQ(w.lstOrvel->item(0)->text(), QStringLiteral("1 - Orvel"));
    EXPECT_EQ(w.lstOrvel->item(2)->text(), QStringLiteral("3 - Orvel"));
    EXPECT_EQ(w.chipNumber(), 0);
    EXPECT_TRUE(w.lstOrvel->selectedItems().isEmpty());
    EXPECT_EQ(w.statusText(), QStringLiteral("Orvelを3個発見しました。"));
    EXPECT_TRUE(w.isVisible());
}

TEST_F(StartUp, NegativeCountIsShownWithItsSignAndNothingIsListed)
{
    lib().chipCount = -1;
    Tavrinmain& w = startProgram();
    EXPECT_EQ(w.statusText(), QStringLiteral("Orvelを-1個発見しました。"));
    EXPECT_EQ(w.lstOrvel->count(), 0);
    EXPECT_EQ(lib().count("PciRegisterDevice"), 0);
}

TEST_F(StartUp, StateStartsWithItsFirstValues)
{
    startProgram();
    const AppState& s = app();
    EXPECT_EQ(s.firstCursor, -1);
    EXPECT_EQ(s.dumpKind, 0);
    EXPECT_EQ(s.intrHandle, 0);
    EXPECT_EQ(s.pulseCount, 100);
    EXPECT_EQ(s.hdrDword, QStringLiteral("   +3 +2 +1 +0"));
    EXPECT_EQ(s.hdrWord, QStringLiteral("    +1    +0  "));
}

TEST_F(StartUp, GridShowsSeventeenZeroRowsBeforeAnyChipIsSelected)
{
    Tavrinmain& w = startProgram();
    const AppState& s = app();
    for (int j = 0; j < 17; ++j)
        EXPECT_EQ(s.dumpRows[j], QStringLiteral("00 00 00 00")) << "row " << j;
    EXPECT_TRUE(s.dumpRows[17].isEmpty());
    // Black digits on every data row, green addresses in column 0.
    for (int row = 1; row <= 17; ++row)
    {
        EXPECT_TRUE(cellHasColour(w.picDump, 3 * s.cellWidth, row * s.cellHeight, 11 * s.cellWidth,
                                  s.cellHeight, kBlack))
            << "row " << row;
        EXPECT_TRUE(cellHasColour(w.picDump, 0, row * s.cellHeight, 2 * s.cellWidth, s.cellHeight, kGreen))
            << "row " << row;
    }
    EXPECT_FALSE(w.picDump2->isVisibleTo(w.SSTab1->page(1)));
    EXPECT_EQ(w.SSTab1->tabCaption(0), QStringLiteral("レジスタ"));
    EXPECT_EQ(w.SSTab1->tabCaption(1), QString());
}

TEST_F(StartUp, CellIsTheDumpFontsDigitAndSeventeenRowsFitTheBox)
{
    Tavrinmain& w = startProgram();
    const AppState& s = app();
    // 11.25 pt is 225 twips high; a half-width digit is about half of that.
    EXPECT_EQ(s.cellHeight, 225);
    EXPECT_GE(s.cellWidth, 100);
    EXPECT_LE(s.cellWidth, 125);
    const double boxHeightTwips = w.picDump->height() * w.picDump->twipsPerPixelY();
    EXPECT_LE(18 * s.cellHeight, boxHeightTwips);
    // The last data column ends inside the box.
    EXPECT_LE(14 * s.cellWidth, w.picDump->width() * w.picDump->twipsPerPixelX());
}

TEST_F(StartUp, DumpFontIsFixedPitch)
{
    Tavrinmain& w = startProgram();
    const QFontInfo info(w.picDump->font());
    EXPECT_TRUE(info.family().startsWith(QStringLiteral("IPA"))) << info.family().toStdString();
    const QFontMetricsF fm(w.picDump->font());
    EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QStringLiteral("0")), fm.horizontalAdvance(QStringLiteral("F")));
}

// Every caption is drawn in the window's proportional face, the tab strip and
// the menu bar included: neither a style sheet nor the default font may swap
// in a Latin face that borrows the kana.
TEST_F(StartUp, CaptionsUseTheProportionalFace)
{
    Tavrinmain& w = startProgram();
    const QString face = QFontInfo(pgothicFont()).family();
    for (QWidget* c : std::initializer_list<QWidget*>{w.Label1, w.btnEnd, w.Frame1, w.StatusBar1, w.menuBar(),
                                                      w.SSTab1->tabBar()})
        EXPECT_EQ(QFontInfo(c->font()).family().toStdString(), face.toStdString())
            << c->metaObject()->className();
}

class MainWindowLayout : public AppFixture
{
};

TEST_F(MainWindowLayout, ClientAreaAndControlsSitAtTheirTwips)
{
    Tavrinmain& w = startProgram();
    auto px = [&](int twips) { return int(std::lround(twips * w.logicalDpiX() / 1440.0)); };
    EXPECT_EQ(w.centralWidget()->size(), QSize(px(6390), px(5820)));
    EXPECT_EQ(w.picDump->geometry().topLeft(), QPoint(px(120), px(480)));
    EXPECT_EQ(w.picDump->mapTo(w.SSTab1, QPoint(0, 0)), QPoint(px(120), px(480)));
    EXPECT_EQ(w.SSTab1->geometry(), QRect(px(2160), px(480), px(2055), px(4695)));
    EXPECT_EQ(w.StatusBar1->geometry(), QRect(0, px(5445), px(6390), px(375)));
    EXPECT_EQ(w.btnEnd->geometry(), QRect(px(4560), px(4920), px(1575), px(375)));
    EXPECT_EQ(w.btnIntSts->mapTo(w.centralWidget(), QPoint(0, 0)), QPoint(px(4440 + 240), px(1680 + 1320)));
    EXPECT_EQ(w.btnEnd->text(), QStringLiteral("終了"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tavrin"));
}

TEST_F(MainWindowLayout, MenusAreInOrderWithTheirAccelerators)
{
    Tavrinmain& w = startProgram();
    QStringList top;
    for (QAction* a : w.menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{"ファイル(&F)", "編集(&E)", "読み込み(&R)", "ヘルプ(&H)"}));
    QStringList read;
    for (QAction* a : w.menuRead->menu()->actions())
        read << a->text();
    EXPECT_EQ(read, (QStringList{"コンフィグレジスタ(&C)", "モードレジスタ(&M)", "EEPROM(&E)"}));
    EXPECT_EQ(w.menuF_End->text(), QStringLiteral("終了(&X)"));
    EXPECT_EQ(w.menuH_Ver->text(), QStringLiteral("バージョン情報(&A)"));
}

TEST_F(MainWindowLayout, EditMenuRunsNothing)
{
    Tavrinmain& w = startProgram();
    const size_t before = lib().calls.size();
    const QString status = w.statusText();
    EXPECT_EQ(w.menuEdit->menu(), nullptr);
    w.menuEdit->trigger();
    EXPECT_EQ(lib().calls.size(), before);
    EXPECT_EQ(w.statusText(), status);
    EXPECT_EQ(endCount, 0);
}

class ExitSequence : public AppFixture
{
protected:
    Calls exitCalls() const
    {
        const Calls& all = FakeLumbra::get().calls;
        return Calls(all.begin() + long(before), all.end());
    }
    size_t before = 0;
};

TEST_F(ExitSequence, EndButtonMasksClosesHandleZeroThenClosesLibrary)
{
    Tavrinmain& w = startProgram();
    before = lib().calls.size();
    QTest::mouseClick(w.btnEnd, Qt::LeftButton);
    EXPECT_EQ(exitCalls(), (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {0}}, {"PciCloseDevice", {}}}));
    EXPECT_EQ(endCount, 1);
    EXPECT_EQ(lastEndCode, 0);
}

TEST_F(ExitSequence, FileMenuExitClosesTheOpenInterruptsChip)
{
    Tavrinmain& w = startProgram();
    app().intrHandle = 2;
    before = lib().calls.size();
    w.menuF_End->trigger();
    EXPECT_EQ(exitCalls(), (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {2}}, {"PciCloseDevice", {}}}));
    EXPECT_EQ(endCount, 1);
}

TEST_F(ExitSequence, FailingCallsDoNotStopTheExit)
{
    Tavrinmain& w = startProgram();
    lib().setStatus("TavrinMaskIntr", 0);
    lib().setStatus("TavrinCloseIntr", 0);
    before = lib().calls.size();
    w.btnEnd_Click();
    EXPECT_EQ(exitCalls().size(), 3u);
    EXPECT_EQ(endCount, 1);
}

TEST_F(ExitSequence, TitleBarCloseBoxRunsTheSameSequenceOnce)
{
    Tavrinmain& w = startProgram();
    app().intrHandle = 1;
    before = lib().calls.size();
    w.close();
    EXPECT_EQ(exitCalls(), (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {1}}, {"PciCloseDevice", {}}}));
    EXPECT_EQ(endCount, 1);
}

TEST_F(ExitSequence, CloseAfterEndButtonDoesNotRepeatTheSequence)
{
    Tavrinmain& w = startProgram();
    before = lib().calls.size();
    w.btnEnd_Click();
    w.close();
    EXPECT_EQ(exitCalls().size(), 3u);
    EXPECT_EQ(endCount, 1);
}
