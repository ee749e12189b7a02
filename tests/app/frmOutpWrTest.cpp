#include "WriteDialogTesting.h"
#include "frmOutpWr.h"

using Calls = std::vector<LibCall>;

namespace
{

constexpr double kOrigin = 300;

// What the output port readout shows for `text`: printed from (500, 50).
QImage readoutPicture(const PictureBox* like, const QString& text)
{
    PictureBox ref;
    ref.setFont(like->font());
    ref.resize(like->size());
    ref.Cls();
    ref.setForeColor(kWhite);
    ref.PSet(500, 50);
    ref.setForeColor(kBlack);
    ref.Print(text);
    return ref.image();
}

// Keys go where the keyboard focus is, as when the user types.
void type(const QString& keys) { QTest::keyClicks(QApplication::focusWidget(), keys); }
void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

}  // namespace

// Chip 2 selected, the output port last read as 0x3C.
class OutputWrite : public WriteDialogFixture
{
protected:
    Tavrinmain& startWithPortAt3C()
    {
        Tavrinmain& w = startProgram();
        clickChip(1);
        app().outpValue = 0x3C;
        w.picOutp->Cls();
        w.picOutp->Print(QStringLiteral("old"));
        return w;
    }

    void onDialog(std::function<void(frmOutpWr&)> action)
    {
        whenOpen<frmOutpWr>(action);
        QTest::mouseDClick(Tavrinmain::instance().picOutp, Qt::LeftButton);
        EXPECT_TRUE(opened());
    }
};

TEST_F(OutputWrite, OpensOnTheLastPortValueWithTheFieldFocusedAndNoBox)
{
    startWithPortAt3C();
    onDialog(
        [](frmOutpWr& f)
        {
            auto px = [&](int twips) { return twipsToPx(&f, twips); };
            EXPECT_EQ(f.windowTitle(), QStringLiteral("出力ポート書き込み"));
            EXPECT_EQ(f.parentWidget(), nullptr);
            EXPECT_EQ(f.size(), QSize(px(2640), px(1170)));
            EXPECT_EQ(f.Label2->geometry(), QRect(px(480), px(240), px(615), px(255)));
            EXPECT_EQ(f.picData->geometry(), QRect(px(1440), px(120), px(855), px(495)));
            EXPECT_EQ(f.btnWrite->geometry(), QRect(px(120), px(720), px(1095), px(375)));
            EXPECT_EQ(f.btnCansel->geometry(), QRect(px(1440), px(720), px(1095), px(375)));
            EXPECT_EQ(f.Label1, nullptr);
            EXPECT_EQ(f.picAdr, nullptr);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3C"), 0));
            EXPECT_EQ(QApplication::focusWidget(), f.picData);
            EXPECT_EQ(tabStops(&f, 3), (QList<QWidget*>{f.picData, f.btnCansel, f.btnWrite, f.picData}));
            QTest::mouseClick(f.btnCansel, Qt::LeftButton);
        });
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(OutputWrite, OpenedBeforeAnyReadShowsZero)
{
    startProgram();
    onDialog([](frmOutpWr& f) { EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00"), 0)); });
}

TEST_F(OutputWrite, TypingAtOnceSelectsTheRightDigitThenReplacesIt)
{
    startWithPortAt3C();
    onDialog(
        [](frmOutpWr& f)
        {
            type(QStringLiteral("a"));
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3C"), 2));
            type(QStringLiteral("a"));
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3A"), 2));
        });
}

TEST_F(OutputWrite, SuccessfulWriteStoresTheValueAndReprintsTheReadout)
{
    Tavrinmain& w = startWithPortAt3C();
    onDialog(
        [](frmOutpWr&)
        {
            type(QStringLiteral("aa"));
            press(Qt::Key_Tab);
            press(Qt::Key_Tab);
            press(Qt::Key_Space);
        });
    EXPECT_EQ(lib().callsTo("TavrinWriteOutport"), (Calls{{"TavrinWriteOutport", {2, 0x3A}}}));
    EXPECT_EQ(lib().count("TavrinReadOutport"), 0);
    EXPECT_EQ(w.statusText(), QStringLiteral("出力ポート書き込み成功"));
    EXPECT_EQ(app().outpValue, 0x3A);
    EXPECT_EQ(w.picOutp->image(), readoutPicture(w.picOutp, QStringLiteral("3A")));
    EXPECT_TRUE(dialogIsGone());

    onDialog(
        [](frmOutpWr& f)
        {
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3A"), 0));
            f.close();
        });
}

TEST_F(OutputWrite, FailedWriteLeavesTheReadoutAndTheValue)
{
    Tavrinmain& w = startWithPortAt3C();
    lib().setStatus("TavrinWriteOutport", 0);
    const QImage readout = w.picOutp->image();
    onDialog(
        [](frmOutpWr& f)
        {
            type(QStringLiteral("77"));
            QTest::mouseClick(f.btnWrite, Qt::LeftButton);
        });
    EXPECT_EQ(lib().count("TavrinWriteOutport"), 1);
    EXPECT_EQ(w.statusText(), QStringLiteral("出力ポート書き込み失敗"));
    EXPECT_EQ(app().outpValue, 0x3C);
    EXPECT_EQ(w.picOutp->image(), readout);
    EXPECT_TRUE(dialogIsGone());

    onDialog(
        [](frmOutpWr& f)
        {
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3C"), 0));
            f.close();
        });
}

TEST_F(OutputWrite, UpOrDownBeforeAnyDigitIsChosenOnlySelectsTheLeftDigit)
{
    startWithPortAt3C();
    onDialog(
        [](frmOutpWr& f)
        {
            press(Qt::Key_Down);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3C"), 1));
        });
    onDialog(
        [](frmOutpWr& f)
        {
            press(Qt::Key_Up);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3C"), 1));
            press(Qt::Key_Up);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("4C"), 1));
        });
}

TEST_F(OutputWrite, CancelChangesNothing)
{
    Tavrinmain& w = startWithPortAt3C();
    const size_t calls = lib().calls.size();
    const QImage readout = w.picOutp->image();
    const QString status = w.statusText();
    onDialog(
        [](frmOutpWr& f)
        {
            type(QStringLiteral("12"));
            QTest::mouseClick(f.btnCansel, Qt::LeftButton);
        });
    EXPECT_EQ(lib().calls.size(), calls);
    EXPECT_EQ(app().outpValue, 0x3C);
    EXPECT_EQ(w.picOutp->image(), readout);
    EXPECT_EQ(w.statusText(), status);
}
