#include "AppFixture.h"
#include "UiHelpers.h"

#include "Module2.h"

using Calls = std::vector<LibCall>;

class StartUp : public AppFixture
{
};

TEST_F(StartUp, OpenFailureShowsOneMessageBoxAndEndsBeforeCounting)
{
    lib().setStatus("PciOpenDevice", 0);
    driver::MessageBoxSeen seen;
    driver::answerNextMessageBox(ui::Answer::Ok, &seen);

    EXPECT_FALSE(start::Main());

    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, std::string("Ｖｘｄをオープンできませんでした"));
    EXPECT_EQ(seen.title, std::string("tavrin"));
    EXPECT_EQ(seen.buttons, ui::Buttons::Ok);
    EXPECT_EQ(seen.icon, ui::Icon::None);
    EXPECT_EQ(lib().names(), std::vector<std::string>{"PciOpenDevice"});
    EXPECT_FALSE(Tavrinmain::instance().isVisible());
}

TEST_F(StartUp, NoChipFoundSaysSoAndRegistersNothing)
{
    lib().chipCount = 0;
    Tavrinmain& w = startProgram();
    EXPECT_EQ(w.statusText(), std::string("Orvelを発見できませんでした。"));
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
    EXPECT_EQ(w.lstOrvel->itemText(0), std::string("1 - Orvel"));
    EXPECT_EQ(w.lstOrvel->itemText(2), std::string("3 - Orvel"));
    EXPECT_EQ(w.chipNumber(), 0);
    EXPECT_EQ(w.lstOrvel->selectedRow(), -1);
    EXPECT_EQ(w.statusText(), std::string("Orvelを3個発見しました。"));
    EXPECT_TRUE(w.isVisible());
}

TEST_F(StartUp, NegativeCountIsShownWithItsSignAndNothingIsListed)
{
    lib().chipCount = -1;
    Tavrinmain& w = startProgram();
    EXPECT_EQ(w.statusText(), std::string("Orvelを-1個発見しました。"));
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
    EXPECT_EQ(s.hdrDword, std::string("   +3 +2 +1 +0"));
    EXPECT_EQ(s.hdrWord, std::string("    +1    +0  "));
}

TEST_F(StartUp, GridShowsSeventeenZeroRowsBeforeAnyChipIsSelected)
{
    Tavrinmain& w = startProgram();
    const AppState& s = app();
    for (int j = 0; j < 17; ++j)
        EXPECT_EQ(s.dumpRows[j], std::string("00 00 00 00")) << "row " << j;
    EXPECT_TRUE(s.dumpRows[17].empty());
    // Black digits on every data row, green addresses in column 0.
    for (int row = 1; row <= 17; ++row)
    {
        EXPECT_TRUE(cellHasColour(w.picDump, 3 * s.cellWidth, row * s.cellHeight, 11 * s.cellWidth,
                                  s.cellHeight, kBlack))
            << "row " << row;
        EXPECT_TRUE(cellHasColour(w.picDump, 0, row * s.cellHeight, 2 * s.cellWidth, s.cellHeight, kGreen))
            << "row " << row;
    }
    EXPECT_FALSE(driver::shownInItsPage(w.picDump2));
    EXPECT_EQ(w.SSTab1->tabCaption(0), std::string("レジスタ"));
    EXPECT_EQ(w.SSTab1->tabCaption(1), std::string());
}

TEST_F(StartUp, CellIsTheDumpFontsDigitAndSeventeenRowsFitTheBox)
{
    Tavrinmain& w = startProgram();
    const AppState& s = app();
    // 11.25 pt is 225 twips high; a half-width digit is about half of that.
    EXPECT_EQ(s.cellHeight, 225);
    EXPECT_GE(s.cellWidth, 100);
    EXPECT_LE(s.cellWidth, 125);
    const double boxHeightTwips = w.picDump->pixelHeight() * w.picDump->twipsPerPixelY();
    EXPECT_LE(18 * s.cellHeight, boxHeightTwips);
    // The last data column ends inside the box.
    EXPECT_LE(14 * s.cellWidth, w.picDump->pixelWidth() * w.picDump->twipsPerPixelX());
}

class MainWindowLayout : public AppFixture
{
};

TEST_F(MainWindowLayout, ClientAreaAndControlsSitAtTheirTwips)
{
    Tavrinmain& w = startProgram();
    auto px = [&](int twips) { return driver::px(w.form(), twips); };
    using driver::Rect;
    EXPECT_EQ(driver::clientRect(w.form()), (Rect{0, 0, px(6390), px(5820)}));
    // The dump box sits on its tab's page, which covers the whole tab control.
    EXPECT_EQ(driver::geometry(w.picDump), (Rect{px(120), px(480), px(1815), px(4095)}));
    EXPECT_EQ(driver::inClient(w.form(), w.picDump),
              (Rect{px(2160 + 120), px(480 + 480), px(1815), px(4095)}));
    EXPECT_EQ(driver::geometry(w.SSTab1), (Rect{px(2160), px(480), px(2055), px(4695)}));
    EXPECT_EQ(driver::geometry(w.StatusBar1), (Rect{0, px(5445), px(6390), px(375)}));
    EXPECT_EQ(driver::geometry(w.btnEnd), (Rect{px(4560), px(4920), px(1575), px(375)}));
    EXPECT_EQ(driver::inClient(w.form(), w.btnIntSts),
              (Rect{px(4440 + 240), px(1680 + 1320), px(1335), px(375)}));
    EXPECT_EQ(w.btnEnd->text(), std::string("終了"));
    EXPECT_EQ(w.form().caption(), std::string("Tavrin"));
}

TEST_F(MainWindowLayout, EditMenuRunsNothing)
{
    Tavrinmain& w = startProgram();
    const size_t before = lib().calls.size();
    const std::string status = w.statusText();
    driver::chooseMenu(w.menuEdit);
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
    driver::click(w.btnEnd);
    EXPECT_EQ(exitCalls(), (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {0}}, {"PciCloseDevice", {}}}));
    EXPECT_EQ(endCount, 1);
    EXPECT_EQ(lastEndCode, 0);
}

TEST_F(ExitSequence, FileMenuExitClosesTheOpenInterruptsChip)
{
    Tavrinmain& w = startProgram();
    app().intrHandle = 2;
    before = lib().calls.size();
    driver::chooseMenu(w.menuF_End);
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
    driver::closeBox(w.form());
    EXPECT_EQ(exitCalls(), (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {1}}, {"PciCloseDevice", {}}}));
    EXPECT_EQ(endCount, 1);
}

TEST_F(ExitSequence, CloseAfterEndButtonDoesNotRepeatTheSequence)
{
    Tavrinmain& w = startProgram();
    before = lib().calls.size();
    w.btnEnd_Click();
    driver::closeBox(w.form());
    EXPECT_EQ(exitCalls().size(), 3u);
    EXPECT_EQ(endCount, 1);
}
