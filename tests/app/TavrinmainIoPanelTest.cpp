#include "IoPanelTesting.h"

#include "Module2.h"
#include "numOnly.h"

using Calls = std::vector<LibCall>;

namespace
{

bool isBlank(const PictureBox* box) { return boxShare(box, kWhite) == 1.0; }

}  // namespace

// ---- Port and counter readouts ---------------------------------------------

class Readouts : public IoPanelFixture
{
protected:
    // Fills the three readouts with good reads of chip `chip`.
    void readAll(int chip, uint8_t in, uint8_t out, int32_t count)
    {
        selectChip(chip);
        lib().inport[chip] = in;
        lib().outport[chip] = out;
        lib().counter[chip] = count;
        w->btnInpRd_Click();
        w->btnOutpRd_Click();
        w->btnCntRd_Click();
    }
};

TEST_F(Readouts, InputPortShowsTwoUpperCaseDigitsAtItsPlace)
{
    selectChip(2);
    const std::pair<uint8_t, const char*> cases[] = {{0x05, "05"}, {0xA0, "A0"}, {0x00, "00"}, {0xFF, "FF"}};
    for (const auto& [value, text] : cases)
    {
        SCOPED_TRACE(text);
        lib().inport[2] = value;
        lib().calls.clear();
        driver::click(w->btnInpRd);
        EXPECT_EQ(lib().calls, (Calls{{"TavrinReadInport", {2}}}));
        EXPECT_EQ(w->picInp->picture(), readoutPicture(w->picInp, 500, std::string(text)));
        EXPECT_EQ(w->statusText(), std::string("入力ポート読み込み成功"));
    }
}

TEST_F(Readouts, CounterShowsAtLeastSixDigitsAndNegativesAsTheirBitPattern)
{
    selectChip(1);
    const std::pair<int32_t, const char*> cases[] = {
        {0, "000000"}, {0x1234, "001234"}, {0xABCDEF, "ABCDEF"}, {0x1000000, "1000000"}, {-1, "FFFFFFFF"}};
    for (const auto& [value, text] : cases)
    {
        SCOPED_TRACE(text);
        lib().counter[1] = value;
        driver::click(w->btnCntRd);
        EXPECT_EQ(w->picCnt->picture(), readoutPicture(w->picCnt, 300, std::string(text)));
        EXPECT_EQ(w->statusText(), std::string("カウンタ値読み込み成功"));
    }
    EXPECT_EQ(lib().callsTo("CadmirReadCounter").front(), (LibCall{"CadmirReadCounter", {1}}));
}

TEST_F(Readouts, OutputPortReadKeepsTheValueForTheWriteDialog)
{
    selectChip(2);
    lib().outport[2] = 0x3C;
    driver::click(w->btnOutpRd);
    EXPECT_EQ(lib().calls, (Calls{{"TavrinReadOutport", {2}}}));
    EXPECT_EQ(app().outpValue, 0x3C);
    EXPECT_EQ(w->picOutp->picture(), readoutPicture(w->picOutp, 500, std::string("3C")));
    EXPECT_EQ(w->statusText(), std::string("出力ポート読み込み成功"));
}

TEST_F(Readouts, FailedReadsKeepTheOldTextAndOnlyChangeTheStatusLine)
{
    readAll(1, 0x12, 0x34, 0x56);
    const ui::Picture inp = w->picInp->picture(), outp = w->picOutp->picture(), cnt = w->picCnt->picture();

    // A failing call may leave rubbish in its out-variable; none of it shows.
    for (const char* fn : {"TavrinReadInport", "TavrinReadOutport", "CadmirReadCounter"})
    {
        lib().setStatus(fn, 0);
        lib().outOnFailure(fn, 0x77);
    }
    driver::click(w->btnInpRd);
    EXPECT_EQ(w->statusText(), std::string("入力ポート読み込み失敗"));
    driver::click(w->btnOutpRd);
    EXPECT_EQ(w->statusText(), std::string("出力ポート読み込み失敗"));
    EXPECT_EQ(app().outpValue, 0x34);
    driver::click(w->btnCntRd);
    EXPECT_EQ(w->statusText(), std::string("カウンタ値読み込み失敗"));

    EXPECT_EQ(w->picInp->picture(), inp);
    EXPECT_EQ(w->picOutp->picture(), outp);
    EXPECT_EQ(w->picCnt->picture(), cnt);
}

TEST_F(Readouts, FailedFirstReadLeavesTheBoxEmpty)
{
    lib().setStatus("CadmirReadCounter", 0);
    lib().outOnFailure("CadmirReadCounter", 0x1234);
    w->btnCntRd_Click();
    EXPECT_TRUE(isBlank(w->picCnt));
    EXPECT_EQ(w->statusText(), std::string("カウンタ値読み込み失敗"));
}

TEST_F(Readouts, WithNoChipSelectedChipZeroIsAskedUnchecked)
{
    lib().calls.clear();
    w->btnInpRd_Click();
    w->btnOutpRd_Click();
    w->btnCntRd_Click();
    EXPECT_EQ(lib().calls,
              (Calls{{"TavrinReadInport", {0}}, {"TavrinReadOutport", {0}}, {"CadmirReadCounter", {0}}}));
}

TEST_F(Readouts, ReadoutsSurviveAChipChange)
{
    readAll(1, 0xA0, 0x5A, 0x123456);
    selectChip(2);
    EXPECT_EQ(w->picInp->picture(), readoutPicture(w->picInp, 500, std::string("A0")));
    EXPECT_EQ(w->picOutp->picture(), readoutPicture(w->picOutp, 500, std::string("5A")));
    EXPECT_EQ(w->picCnt->picture(), readoutPicture(w->picCnt, 300, std::string("123456")));
    saveShot(w->form(), "main-io-panel");
}

// ---- Interrupt open and close ----------------------------------------------

class InterruptControl : public IoPanelFixture
{
};

TEST_F(InterruptControl, OpenInitialisesOpensAndUnmasksForTheSelectedChip)
{
    selectChip(2);
    driver::click(w->btnIntOpen);
    EXPECT_EQ(
        lib().calls,
        (Calls{{"TavrinInitCadmir", {2, 0, 0}}, {"TavrinOpenIntr", {2, 100}}, {"TavrinUnmaskIntr", {}}}));
    EXPECT_EQ(app().intrHandle, 2);
    EXPECT_EQ(w->statusText(), std::string("割り込みオープン成功"));
}

TEST_F(InterruptControl, CountsAboveTheSignedRangePassTheirSixteenBitPattern)
{
    selectChip(1);
    for (const char* count : {"40000", "65535", "0"})
    {
        SCOPED_TRACE(count);
        w->txtPls->setText(std::string(count));
        lib().calls.clear();
        w->btnIntOpen_Click();
        ASSERT_EQ(lib().callsTo("TavrinOpenIntr").size(), 1u);
        EXPECT_EQ(lib().callsTo("TavrinOpenIntr")[0].args, (std::vector<int64_t>{1, std::stoll(count)}));
    }
}

TEST_F(InterruptControl, FailedOpenStillUnmasksAndKeepsTheEarlierChip)
{
    selectChip(1);
    w->btnIntOpen_Click();
    selectChip(2);
    lib().setStatus("TavrinOpenIntr", 0);
    driver::click(w->btnIntOpen);
    EXPECT_EQ(lib().names(),
              (std::vector<std::string>{"TavrinInitCadmir", "TavrinOpenIntr", "TavrinUnmaskIntr"}));
    EXPECT_EQ(w->statusText(), std::string("割り込みオープン失敗"));
    EXPECT_EQ(app().intrHandle, 1);

    lib().calls.clear();
    driver::click(w->btnIntClose);
    EXPECT_EQ(lib().calls, (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {1}}}));
    EXPECT_EQ(app().intrHandle, 0);
}

TEST_F(InterruptControl, OpeningAgainReplacesTheOpenChip)
{
    selectChip(1);
    w->btnIntOpen_Click();
    selectChip(2);
    w->btnIntOpen_Click();
    EXPECT_EQ(app().intrHandle, 2);
    EXPECT_EQ(lib().count("TavrinOpenIntr"), 1);
}

TEST_F(InterruptControl, CloseWithNothingOpenStillMasksAndClosesZero)
{
    for (int16_t status : {1, 0})
    {
        SCOPED_TRACE(status);
        lib().setStatus("TavrinCloseIntr", status);
        lib().calls.clear();
        driver::click(w->btnIntClose);
        EXPECT_EQ(lib().calls, (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {0}}}));
        EXPECT_EQ(w->statusText(),
                  status ? std::string("割り込みクローズ成功") : std::string("割り込みクローズ失敗"));
        EXPECT_EQ(app().intrHandle, 0);
    }
}

TEST_F(InterruptControl, CloseUsesTheOpenChipAndAFailedCloseKeepsIt)
{
    selectChip(2);
    w->btnIntOpen_Click();
    selectChip(1);
    lib().setStatus("TavrinCloseIntr", 0);
    w->btnIntClose_Click();
    EXPECT_EQ(lib().callsTo("TavrinCloseIntr"), (Calls{{"TavrinCloseIntr", {2}}}));
    EXPECT_EQ(app().intrHandle, 2);
    EXPECT_EQ(w->statusText(), std::string("割り込みクローズ失敗"));

    lib().setStatus("TavrinCloseIntr", 1);
    w->btnIntClose_Click();
    EXPECT_EQ(app().intrHandle, 0);
    EXPECT_EQ(w->statusText(), std::string("割り込みクローズ成功"));
}

TEST_F(InterruptControl, OpenWithAnEmptiedBoxSaysTheRangeAndCallsNothing)
{
    selectChip(1);
    app().pulseCount = 250;
    w->txtPls->clear();
    ModalWatch watch;
    w->btnIntOpen_Click();
    ASSERT_EQ(watch.boxes.size(), 1u);
    EXPECT_EQ(watch.boxes[0].text, std::string("65535までの値を入力して下さい．"));
    EXPECT_TRUE(lib().calls.empty());
    EXPECT_EQ(w->txtPls->text(), std::string("250"));
    EXPECT_EQ(app().intrHandle, 0);
}

// ---- Pulse-count box -------------------------------------------------------

class PulseCountBox : public IoPanelFixture
{
protected:
    // A user's click into the box. The window manager would give the window
    // back its activation when a message box closes; offscreen, the test does.
    void enterBox()
    {
        driver::activate(w->form());
        driver::click(w->txtPls);
        ASSERT_TRUE(driver::hasFocus(w->txtPls));
    }
    // A user's Tab out of the box.
    void leaveBox() { driver::key(w->txtPls, driver::Key::Tab); }
    void retype(const char* text)
    {
        driver::selectAllText(w->txtPls);
        driver::key(w->txtPls, driver::Key::Backspace);
        driver::type(w->txtPls, std::string(text));
    }
};

TEST_F(PulseCountBox, StartsAtOneHundred) { EXPECT_EQ(w->txtPls->text(), std::string("100")); }

TEST_F(PulseCountBox, LettersMinusAndDotHaveNoEffectWhileDigitsBackspaceAndDeleteWork)
{
    w->txtPls->clear();
    driver::type(w->txtPls, std::string("1a-2.Z 3+,"));
    EXPECT_EQ(w->txtPls->text(), std::string("123"));
    EXPECT_EQ(app().keyFilterBox, w->txtPls);
    driver::key(w->txtPls, driver::Key::Backspace);
    EXPECT_EQ(w->txtPls->text(), std::string("12"));
    driver::key(w->txtPls, driver::Key::Minus);
    driver::key(w->txtPls, driver::Key::Period);
    EXPECT_EQ(w->txtPls->text(), std::string("12"));
    driver::key(w->txtPls, driver::Key::Home);
    driver::key(w->txtPls, driver::Key::Delete);
    EXPECT_EQ(w->txtPls->text(), std::string("2"));
}

TEST_F(PulseCountBox, GettingTheFocusRemembersTheCount)
{
    w->txtPls->setText(std::string("321"));
    enterBox();
    EXPECT_EQ(app().pulseCount, 321);
}

TEST_F(PulseCountBox, LeavingWithTheRangeLimitsKeepsThem)
{
    for (const char* count : {"65535", "0"})
    {
        SCOPED_TRACE(count);
        enterBox();
        retype(count);
        ModalWatch watch;
        leaveBox();
        EXPECT_EQ(watch.windows, 0);
        EXPECT_EQ(w->txtPls->text(), std::string(count));
    }
}

TEST_F(PulseCountBox, LeavingAboveTheRangeSaysSoAndPutsBackTheCountItHadOnEntry)
{
    w->txtPls->setText(std::string("250"));
    enterBox();
    retype("65536");
    ModalWatch watch;
    leaveBox();
    ASSERT_EQ(watch.boxes.size(), 1u);
    const MessageBoxSeen& seen = watch.boxes[0];
    EXPECT_EQ(seen.text, std::string("65535までの値を入力して下さい．"));
    EXPECT_EQ(seen.title, std::string("tavrin"));
    EXPECT_EQ(seen.buttons, ui::Buttons::Ok);
    EXPECT_EQ(seen.icon, ui::Icon::None);
    EXPECT_EQ(w->txtPls->text(), std::string("250"));
    EXPECT_EQ(app().pulseCount, 250);
}

TEST_F(PulseCountBox, LeavingEmptyOrWithAHugeNumberIsRefusedTheSameWay)
{
    for (const char* entry : {"", "99999999999999999999999"})
    {
        SCOPED_TRACE(entry);
        enterBox();
        retype(entry);
        ModalWatch watch;
        leaveBox();
        ASSERT_EQ(watch.boxes.size(), 1u);
        EXPECT_EQ(watch.boxes[0].text, std::string("65535までの値を入力して下さい．"));
        EXPECT_EQ(w->txtPls->text(), std::string("100"));
    }
}

TEST_F(PulseCountBox, SwitchingWindowsIsNotLeavingTheBox)
{
    enterBox();
    retype("");
    ModalWatch watch;
    driver::switchAwayAndBack(w->form());
    EXPECT_EQ(watch.windows, 0);
    EXPECT_TRUE(w->txtPls->text().empty());
    EXPECT_EQ(app().pulseCount, 100);
}

TEST_F(PulseCountBox, OpeningAfterAnAcceptedEntryUsesTheTypedCount)
{
    selectChip(1);
    enterBox();
    retype("1234");
    driver::click(w->btnIntOpen);
    EXPECT_EQ(lib().callsTo("TavrinOpenIntr"), (Calls{{"TavrinOpenIntr", {1, 1234}}}));
}

// ---- Interrupt status button -----------------------------------------------

class InterruptStatusButton : public IoPanelFixture
{
};

TEST_F(InterruptStatusButton, DoesNothingWhileNoInterruptIsOpen)
{
    lib().calls.clear();
    ModalWatch watch;
    driver::click(w->btnIntSts);
    EXPECT_EQ(watch.windows, 0);
    EXPECT_TRUE(lib().calls.empty());
}

// ---- EEPROM initialisation -------------------------------------------------

class EepromInit : public IoPanelFixture
{
protected:
    void SetUp() override
    {
        IoPanelFixture::SetUp();
        for (int a = 0; a <= 63; ++a)
            lib().eep[2][a] = 0xC000 + a;
    }
};

TEST_F(EepromInit, AsksFirstWithOkAsTheDefaultAndNoIcon)
{
    selectChip(2);
    ModalWatch watch(ui::Answer::Cancel);
    driver::click(w->btnEepInit);
    ASSERT_EQ(watch.boxes.size(), 1u);
    const MessageBoxSeen& seen = watch.boxes[0];
    EXPECT_EQ(seen.text, std::string("EEPROMを初期化しても良いですか？"));
    EXPECT_EQ(seen.title, std::string("tavrin"));
    EXPECT_EQ(seen.buttons, ui::Buttons::OkCancel);
    EXPECT_EQ(seen.defaultButton, ui::Answer::Ok);
    EXPECT_EQ(seen.icon, ui::Icon::None);
}

TEST_F(EepromInit, CancelOrClosingTheQuestionChangesNothing)
{
    selectChip(2);
    const std::string status = w->statusText();
    const ui::Picture dump = w->picDump->picture();
    for (auto answer : {ui::Answer::Cancel, ui::Answer::None})
    {
        ModalWatch watch(answer);
        w->btnEepInit_Click();
        EXPECT_EQ(watch.boxes.size(), 1u);
    }
    EXPECT_TRUE(lib().calls.empty());
    EXPECT_EQ(w->statusText(), status);
    EXPECT_EQ(w->picDump->picture(), dump);
}

TEST_F(EepromInit, SuccessReReadsTheEepromAndSaysSo)
{
    selectChip(2);
    ModalWatch watch(ui::Answer::Ok);
    w->btnEepInit_Click();
    ASSERT_FALSE(lib().calls.empty());
    EXPECT_EQ(lib().calls.front(), (LibCall{"TavrinInitEep", {2}}));
    EXPECT_EQ(lib().count("OrvelReadEep"), 64);
    EXPECT_EQ(w->statusText(), std::string("EEPROM初期化成功"));
    EXPECT_EQ(app().dumpKind, 2);
    EXPECT_EQ(app().dumpRows[0], std::string("C0 01 C0 00"));
    EXPECT_EQ(app().dumpRows2[15], std::string("C0 3F C0 3E"));
}

TEST_F(EepromInit, SuccessTextReplacesAFailedReRead)
{
    selectChip(2);
    lib().failCall("OrvelReadEep", 5);
    ModalWatch watch(ui::Answer::Ok);
    w->btnEepInit_Click();
    EXPECT_EQ(lib().count("OrvelReadEep"), 6);
    EXPECT_EQ(w->statusText(), std::string("EEPROM初期化成功"));
}

TEST_F(EepromInit, FailureSaysSoAndDoesNotRedrawTheDump)
{
    selectChip(2);
    const ui::Picture dump = w->picDump->picture();
    lib().setStatus("TavrinInitEep", 0);
    ModalWatch watch(ui::Answer::Ok);
    w->btnEepInit_Click();
    EXPECT_EQ(lib().calls, (Calls{{"TavrinInitEep", {2}}}));
    EXPECT_EQ(w->statusText(), std::string("EEPROM初期化失敗"));
    EXPECT_EQ(w->picDump->picture(), dump);
    EXPECT_EQ(app().dumpKind, 0);
}

TEST_F(EepromInit, TheChipIsTheOneSelectedWhenTheButtonWasPressed)
{
    selectChip(2);
    ModalWatch watch(ui::Answer::Ok, [this](driver::Modal&) { driver::selectRow(w->lstOrvel, 0); });
    driver::click(w->btnEepInit);
    // Picking chip 1 while the question is open reads chip 1; the EEPROM
    // initialisation still goes to chip 2.
    EXPECT_EQ(lib().callsTo("TavrinInitEep"), (Calls{{"TavrinInitEep", {2}}}));
}
