#include "IoPanelTesting.h"

#include "Module2.h"
#include "numOnly.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

using Calls = std::vector<LibCall>;

namespace
{

bool isBlank(const PictureBox* box)
{
    return cellShare(box, 0, 0, box->width() * box->twipsPerPixelX(), box->height() * box->twipsPerPixelY(),
                     kWhite) == 1.0;
}

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
        QTest::mouseClick(w->btnInpRd, Qt::LeftButton);
        EXPECT_EQ(lib().calls, (Calls{{"TavrinReadInport", {2}}}));
        EXPECT_EQ(w->picInp->image(), readoutPicture(w->picInp, 500, QString::fromLatin1(text)));
        EXPECT_EQ(w->statusText(), QStringLiteral("入力ポート読み込み成功"));
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
        QTest::mouseClick(w->btnCntRd, Qt::LeftButton);
        EXPECT_EQ(w->picCnt->image(), readoutPicture(w->picCnt, 300, QString::fromLatin1(text)));
        EXPECT_EQ(w->statusText(), QStringLiteral("カウンタ値読み込み成功"));
    }
    EXPECT_EQ(lib().callsTo("CadmirReadCounter").front(), (LibCall{"CadmirReadCounter", {1}}));
}

TEST_F(Readouts, OutputPortReadKeepsTheValueForTheWriteDialog)
{
    selectChip(2);
    lib().outport[2] = 0x3C;
    QTest::mouseClick(w->btnOutpRd, Qt::LeftButton);
    EXPECT_EQ(lib().calls, (Calls{{"TavrinReadOutport", {2}}}));
    EXPECT_EQ(app().outpValue, 0x3C);
    EXPECT_EQ(w->picOutp->image(), readoutPicture(w->picOutp, 500, QStringLiteral("3C")));
    EXPECT_EQ(w->statusText(), QStringLiteral("出力ポート読み込み成功"));
}

TEST_F(Readouts, FailedReadsKeepTheOldTextAndOnlyChangeTheStatusLine)
{
    readAll(1, 0x12, 0x34, 0x56);
    const QImage inp = w->picInp->image(), outp = w->picOutp->image(), cnt = w->picCnt->image();

    // A failing call may leave rubbish in its out-variable; none of it shows.
    for (const char* fn : {"TavrinReadInport", "TavrinReadOutport", "CadmirReadCounter"})
    {
        lib().setStatus(fn, 0);
        lib().outOnFailure(fn, 0x77);
    }
    QTest::mouseClick(w->btnInpRd, Qt::LeftButton);
    EXPECT_EQ(w->statusText(), QStringLiteral("入力ポート読み込み失敗"));
    QTest::mouseClick(w->btnOutpRd, Qt::LeftButton);
    EXPECT_EQ(w->statusText(), QStringLiteral("出力ポート読み込み失敗"));
    EXPECT_EQ(app().outpValue, 0x34);
    QTest::mouseClick(w->btnCntRd, Qt::LeftButton);
    EXPECT_EQ(w->statusText(), QStringLiteral("カウンタ値読み込み失敗"));

    EXPECT_EQ(w->picInp->image(), inp);
    EXPECT_EQ(w->picOutp->image(), outp);
    EXPECT_EQ(w->picCnt->image(), cnt);
}

TEST_F(Readouts, FailedFirstReadLeavesTheBoxEmpty)
{
    lib().setStatus("CadmirReadCounter", 0);
    lib().outOnFailure("CadmirReadCounter", 0x1234);
    w->btnCntRd_Click();
    EXPECT_TRUE(isBlank(w->picCnt));
    EXPECT_EQ(w->statusText(), QStringLiteral("カウンタ値読み込み失敗"));
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
    EXPECT_EQ(w->picInp->image(), readoutPicture(w->picInp, 500, QStringLiteral("A0")));
    EXPECT_EQ(w->picOutp->image(), readoutPicture(w->picOutp, 500, QStringLiteral("5A")));
    EXPECT_EQ(w->picCnt->image(), readoutPicture(w->picCnt, 300, QStringLiteral("123456")));
    saveShot(w, "main-io-panel");
}

// ---- Interrupt open and close ----------------------------------------------

class InterruptControl : public IoPanelFixture
{
};

TEST_F(InterruptControl, OpenInitialisesOpensAndUnmasksForTheSelectedChip)
{
    selectChip(2);
    QTest::mouseClick(w->btnIntOpen, Qt::LeftButton);
    EXPECT_EQ(
        lib().calls,
        (Calls{{"TavrinInitCadmir", {2, 0, 0}}, {"TavrinOpenIntr", {2, 100}}, {"TavrinUnmaskIntr", {}}}));
    EXPECT_EQ(app().intrHandle, 2);
    EXPECT_EQ(w->statusText(), QStringLiteral("割り込みオープン成功"));
}

TEST_F(InterruptControl, CountsAboveTheSignedRangePassTheirSixteenBitPattern)
{
    selectChip(1);
    for (const char* count : {"40000", "65535", "0"})
    {
        SCOPED_TRACE(count);
        w->txtPls->setText(QString::fromLatin1(count));
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
    QTest::mouseClick(w->btnIntOpen, Qt::LeftButton);
    EXPECT_EQ(lib().names(),
              (std::vector<std::string>{"TavrinInitCadmir", "TavrinOpenIntr", "TavrinUnmaskIntr"}));
    EXPECT_EQ(w->statusText(), QStringLiteral("割り込みオープン失敗"));
    EXPECT_EQ(app().intrHandle, 1);

    lib().calls.clear();
    QTest::mouseClick(w->btnIntClose, Qt::LeftButton);
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
        QTest::mouseClick(w->btnIntClose, Qt::LeftButton);
        EXPECT_EQ(lib().calls, (Calls{{"TavrinMaskIntr", {}}, {"TavrinCloseIntr", {0}}}));
        EXPECT_EQ(w->statusText(),
                  status ? QStringLiteral("割り込みクローズ成功") : QStringLiteral("割り込みクローズ失敗"));
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
    EXPECT_EQ(w->statusText(), QStringLiteral("割り込みクローズ失敗"));

    lib().setStatus("TavrinCloseIntr", 1);
    w->btnIntClose_Click();
    EXPECT_EQ(app().intrHandle, 0);
    EXPECT_EQ(w->statusText(), QStringLiteral("割り込みクローズ成功"));
}

TEST_F(InterruptControl, OpenWithAnEmptiedBoxSaysTheRangeAndCallsNothing)
{
    selectChip(1);
    app().pulseCount = 250;
    w->txtPls->clear();
    ModalWatch watch;
    w->btnIntOpen_Click();
    ASSERT_EQ(watch.boxes.size(), 1u);
    EXPECT_EQ(watch.boxes[0].text, QStringLiteral("65535までの値を入力して下さい．"));
    EXPECT_TRUE(lib().calls.empty());
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("250"));
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
        QApplication::setActiveWindow(w);
        QTest::mouseClick(w->txtPls, Qt::LeftButton);
        ASSERT_TRUE(w->txtPls->hasFocus());
    }
    // A user's Tab out of the box.
    void leaveBox() { QTest::keyClick(w->txtPls, Qt::Key_Tab); }
    void retype(const char* text)
    {
        w->txtPls->selectAll();
        QTest::keyClick(w->txtPls, Qt::Key_Backspace);
        QTest::keyClicks(w->txtPls, QString::fromLatin1(text));
    }
};

TEST_F(PulseCountBox, UsesTheFixedFontAndStartsAtOneHundred)
{
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("100"));
    EXPECT_DOUBLE_EQ(w->txtPls->font().pointSizeF(), 14.25);
    const QFontMetricsF fm(w->txtPls->font());
    EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QStringLiteral("1")), fm.horizontalAdvance(QStringLiteral("8")));
}

TEST_F(PulseCountBox, LettersMinusAndDotHaveNoEffectWhileDigitsAndBackspaceWork)
{
    w->txtPls->clear();
    QTest::keyClicks(w->txtPls, QStringLiteral("1a-2.Z 3+,"));
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("123"));
    EXPECT_EQ(app().keyFilterBox, w->txtPls);
    QTest::keyClick(w->txtPls, Qt::Key_Backspace);
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("12"));
    QTest::keyClick(w->txtPls, Qt::Key_Minus);
    QTest::keyClick(w->txtPls, Qt::Key_Period);
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("12"));
}

// Editing keys as a real keyboard sends them, with the control character the
// platform puts in their text: they edit the box and never reach the filter.
TEST_F(PulseCountBox, EditingKeysWithTheirControlCharactersEditTheBox)
{
    const auto press = [this](Qt::Key k, const char* text, Qt::KeyboardModifiers m = {})
    { QTest::sendKeyEvent(QTest::Click, w->txtPls, k, QString::fromLatin1(text), m); };
    enterBox();
    QTest::keyClick(w->txtPls, Qt::Key_End);
    QTest::keyClicks(w->txtPls, QStringLiteral("5"));
    ASSERT_EQ(w->txtPls->text(), QStringLiteral("1005"));
    QTest::keyClick(w->txtPls, Qt::Key_Home);
    press(Qt::Key_Delete, "\x7f");
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("005"));
    press(Qt::Key_Z, "\x1a", Qt::ControlModifier);
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("1005"));
    press(Qt::Key_A, "\x01", Qt::ControlModifier);
    press(Qt::Key_X, "\x18", Qt::ControlModifier);
    EXPECT_EQ(w->txtPls->text(), QString());
    press(Qt::Key_V, "\x16", Qt::ControlModifier);
    QTest::keyClick(w->txtPls, Qt::Key_Left);
    press(Qt::Key_Backspace, "\b");
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("105"));
    QTest::keyClick(w->txtPls, Qt::Key_Home);
    press(Qt::Key_Delete, "\x7f");
    lib().calls.clear();
    QTest::mouseClick(w->btnIntOpen, Qt::LeftButton);
    EXPECT_EQ(lib().callsTo("TavrinOpenIntr"), (Calls{{"TavrinOpenIntr", {0, 5}}}));
}

TEST_F(PulseCountBox, PastedDroppedAndComposedTextKeepsOnlyItsDigits)
{
    w->txtPls->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("4a-2.5"));
    QTest::keyClick(w->txtPls, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("425"));

    w->txtPls->clear();
    QMimeData dragged;
    dragged.setText(QStringLiteral("-1x6"));
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(w->txtPls, &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(w->txtPls, &drop);
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("16"));

    w->txtPls->clear();
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("7ー８9"));
    QCoreApplication::sendEvent(w->txtPls, &composed);
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("79"));
}

TEST_F(PulseCountBox, GettingTheFocusRemembersTheCount)
{
    w->txtPls->setText(QStringLiteral("321"));
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
        EXPECT_EQ(w->txtPls->text(), QString::fromLatin1(count));
    }
}

TEST_F(PulseCountBox, LeavingAboveTheRangeSaysSoAndPutsBackTheCountItHadOnEntry)
{
    w->txtPls->setText(QStringLiteral("250"));
    enterBox();
    retype("65536");
    ModalWatch watch;
    leaveBox();
    ASSERT_EQ(watch.boxes.size(), 1u);
    const MessageBoxSeen& seen = watch.boxes[0];
    EXPECT_EQ(seen.text, QStringLiteral("65535までの値を入力して下さい．"));
    EXPECT_EQ(seen.title, QStringLiteral("tavrin"));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(w->txtPls->text(), QStringLiteral("250"));
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
        EXPECT_EQ(watch.boxes[0].text, QStringLiteral("65535までの値を入力して下さい．"));
        EXPECT_EQ(w->txtPls->text(), QStringLiteral("100"));
    }
}

TEST_F(PulseCountBox, SwitchingWindowsIsNotLeavingTheBox)
{
    enterBox();
    retype("");
    ModalWatch watch;
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(w);
    EXPECT_EQ(watch.windows, 0);
    EXPECT_TRUE(w->txtPls->text().isEmpty());
    EXPECT_EQ(app().pulseCount, 100);
}

TEST_F(PulseCountBox, OpeningAfterAnAcceptedEntryUsesTheTypedCount)
{
    selectChip(1);
    enterBox();
    retype("1234");
    QTest::mouseClick(w->btnIntOpen, Qt::LeftButton);
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
    QTest::mouseClick(w->btnIntSts, Qt::LeftButton);
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
    ModalWatch watch(QMessageBox::Cancel);
    QTest::mouseClick(w->btnEepInit, Qt::LeftButton);
    ASSERT_EQ(watch.boxes.size(), 1u);
    const MessageBoxSeen& seen = watch.boxes[0];
    EXPECT_EQ(seen.text, QStringLiteral("EEPROMを初期化しても良いですか？"));
    EXPECT_EQ(seen.title, QStringLiteral("tavrin"));
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Ok);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

TEST_F(EepromInit, CancelOrClosingTheQuestionChangesNothing)
{
    selectChip(2);
    const QString status = w->statusText();
    const QImage dump = w->picDump->image();
    for (auto answer : {QMessageBox::Cancel, QMessageBox::NoButton})
    {
        ModalWatch watch(answer);
        w->btnEepInit_Click();
        EXPECT_EQ(watch.boxes.size(), 1u);
    }
    EXPECT_TRUE(lib().calls.empty());
    EXPECT_EQ(w->statusText(), status);
    EXPECT_EQ(w->picDump->image(), dump);
}

TEST_F(EepromInit, SuccessReReadsTheEepromAndSaysSo)
{
    selectChip(2);
    ModalWatch watch(QMessageBox::Ok);
    w->btnEepInit_Click();
    ASSERT_FALSE(lib().calls.empty());
    EXPECT_EQ(lib().calls.front(), (LibCall{"TavrinInitEep", {2}}));
    EXPECT_EQ(lib().count("OrvelReadEep"), 64);
    EXPECT_EQ(w->statusText(), QStringLiteral("EEPROM初期化成功"));
    EXPECT_EQ(app().dumpKind, 2);
    EXPECT_EQ(app().dumpRows[0], QStringLiteral("C0 01 C0 00"));
    EXPECT_EQ(app().dumpRows2[15], QStringLiteral("C0 3F C0 3E"));
}

TEST_F(EepromInit, SuccessTextReplacesAFailedReRead)
{
    selectChip(2);
    lib().failCall("OrvelReadEep", 5);
    ModalWatch watch(QMessageBox::Ok);
    w->btnEepInit_Click();
    EXPECT_EQ(lib().count("OrvelReadEep"), 6);
    EXPECT_EQ(w->statusText(), QStringLiteral("EEPROM初期化成功"));
}

TEST_F(EepromInit, FailureSaysSoAndDoesNotRedrawTheDump)
{
    selectChip(2);
    const QImage dump = w->picDump->image();
    lib().setStatus("TavrinInitEep", 0);
    ModalWatch watch(QMessageBox::Ok);
    w->btnEepInit_Click();
    EXPECT_EQ(lib().calls, (Calls{{"TavrinInitEep", {2}}}));
    EXPECT_EQ(w->statusText(), QStringLiteral("EEPROM初期化失敗"));
    EXPECT_EQ(w->picDump->image(), dump);
    EXPECT_EQ(app().dumpKind, 0);
}

TEST_F(EepromInit, TheChipIsTheOneSelectedWhenTheButtonWasPressed)
{
    selectChip(2);
    ModalWatch watch(QMessageBox::Ok, [this](QWidget*) { w->lstOrvel->setCurrentRow(0); });
    QTest::mouseClick(w->btnEepInit, Qt::LeftButton);
    // Picking chip 1 while the question is open reads chip 1; the EEPROM
    // initialisation still goes to chip 2.
    EXPECT_EQ(lib().callsTo("TavrinInitEep"), (Calls{{"TavrinInitEep", {2}}}));
}
