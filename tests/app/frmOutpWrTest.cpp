#include "WriteDialogTesting.h"
#include "frmOutpWr.h"

using Calls = std::vector<LibCall>;

namespace
{

constexpr double kOrigin = 300;

// What the output port readout shows for `text`: printed from (500, 50).
ui::Picture readoutPicture(const PictureBox* like, const std::string& text)
{
    const std::unique_ptr<ui::PictureBox> ref = driver::scratchLike(like);
    ref->setForeColor(kWhite);
    ref->PSet(500, 50);
    ref->setForeColor(kBlack);
    ref->Print(text);
    return ref->picture();
}

// Keys go where the keyboard focus is, as when the user types.
void type(const std::string& keys) { driver::typeToFocus(keys); }
void press(driver::Key key) { driver::keyToFocus(key); }

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
        w.picOutp->Print(std::string("old"));
        return w;
    }

    void onDialog(std::function<void(frmOutpWr&)> action)
    {
        whenOpen<frmOutpWr>(action);
        driver::doubleClick(Tavrinmain::instance().picOutp);
        EXPECT_TRUE(opened());
    }
};

TEST_F(OutputWrite, OpensOnTheLastPortValueWithTheFieldFocusedAndNoBox)
{
    startWithPortAt3C();
    onDialog(
        [](frmOutpWr& f)
        {
            auto px = [&](int twips) { return driver::px(f.form(), twips); };
            EXPECT_EQ(f.form().caption(), std::string("出力ポート書き込み"));
            EXPECT_EQ(driver::parentOf(f.form()), nullptr);
            EXPECT_EQ(driver::clientRect(f.form()), (driver::Rect{0, 0, px(2640), px(1170)}));
            EXPECT_EQ(driver::geometry(f.Label2), (driver::Rect{px(480), px(240), px(615), px(255)}));
            EXPECT_EQ(driver::geometry(f.picData), (driver::Rect{px(1440), px(120), px(855), px(495)}));
            EXPECT_EQ(driver::geometry(f.btnWrite), (driver::Rect{px(120), px(720), px(1095), px(375)}));
            EXPECT_EQ(driver::geometry(f.btnCansel), (driver::Rect{px(1440), px(720), px(1095), px(375)}));
            EXPECT_EQ(f.Label1, nullptr);
            EXPECT_EQ(f.picAdr, nullptr);
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3C"), 0));
            EXPECT_EQ(driver::focusedControl(), f.picData);
            EXPECT_EQ(tabStops(f.form(), 3),
                      (std::vector<const ui::Control*>{f.picData, f.btnCansel, f.btnWrite, f.picData}));
            driver::click(f.btnCansel);
        });
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(OutputWrite, OpenedBeforeAnyReadShowsZero)
{
    startProgram();
    onDialog([](frmOutpWr& f) { EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00"), 0)); });
}

TEST_F(OutputWrite, TypingAtOnceSelectsTheRightDigitThenReplacesIt)
{
    startWithPortAt3C();
    onDialog(
        [](frmOutpWr& f)
        {
            type(std::string("a"));
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3C"), 2));
            type(std::string("a"));
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3A"), 2));
        });
}

TEST_F(OutputWrite, SuccessfulWriteStoresTheValueAndReprintsTheReadout)
{
    Tavrinmain& w = startWithPortAt3C();
    onDialog(
        [](frmOutpWr&)
        {
            type(std::string("aa"));
            press(driver::Key::Tab);
            press(driver::Key::Tab);
            press(driver::Key::Space);
        });
    EXPECT_EQ(lib().callsTo("TavrinWriteOutport"), (Calls{{"TavrinWriteOutport", {2, 0x3A}}}));
    EXPECT_EQ(lib().count("TavrinReadOutport"), 0);
    EXPECT_EQ(w.statusText(), std::string("出力ポート書き込み成功"));
    EXPECT_EQ(app().outpValue, 0x3A);
    EXPECT_EQ(w.picOutp->picture(), readoutPicture(w.picOutp, std::string("3A")));
    EXPECT_TRUE(dialogIsGone());

    onDialog(
        [](frmOutpWr& f)
        {
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3A"), 0));
            driver::closeBox(f.form());
        });
}

TEST_F(OutputWrite, FailedWriteLeavesTheReadoutAndTheValue)
{
    Tavrinmain& w = startWithPortAt3C();
    lib().setStatus("TavrinWriteOutport", 0);
    const ui::Picture readout = w.picOutp->picture();
    onDialog(
        [](frmOutpWr& f)
        {
            type(std::string("77"));
            driver::click(f.btnWrite);
        });
    EXPECT_EQ(lib().count("TavrinWriteOutport"), 1);
    EXPECT_EQ(w.statusText(), std::string("出力ポート書き込み失敗"));
    EXPECT_EQ(app().outpValue, 0x3C);
    EXPECT_EQ(w.picOutp->picture(), readout);
    EXPECT_TRUE(dialogIsGone());

    onDialog(
        [](frmOutpWr& f)
        {
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3C"), 0));
            driver::closeBox(f.form());
        });
}

TEST_F(OutputWrite, UpOrDownBeforeAnyDigitIsChosenOnlySelectsTheLeftDigit)
{
    startWithPortAt3C();
    onDialog(
        [](frmOutpWr& f)
        {
            press(driver::Key::Down);
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3C"), 1));
        });
    onDialog(
        [](frmOutpWr& f)
        {
            press(driver::Key::Up);
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3C"), 1));
            press(driver::Key::Up);
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("4C"), 1));
        });
}

TEST_F(OutputWrite, CancelChangesNothing)
{
    Tavrinmain& w = startWithPortAt3C();
    const size_t calls = lib().calls.size();
    const ui::Picture readout = w.picOutp->picture();
    const std::string status = w.statusText();
    onDialog(
        [](frmOutpWr& f)
        {
            type(std::string("12"));
            driver::click(f.btnCansel);
        });
    EXPECT_EQ(lib().calls.size(), calls);
    EXPECT_EQ(app().outpValue, 0x3C);
    EXPECT_EQ(w.picOutp->picture(), readout);
    EXPECT_EQ(w.statusText(), status);
}
