// The Qt text box's classic events: what reaches onKeyPress, onGotFocus and
// onLostFocus, and the digits-only rule on every road text takes in.
#include "ui/qt/TextBox.h"

#include <QApplication>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

using ui::qt::TextBox;

// The events a text box delivers to its form.
class QtTextBoxEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(200, 60);
        box = new TextBox(&window);
        other = new TextBox(&window);
        other->move(0, 30);
        box->setDigitsOnly(true);
        box->onKeyPress = [this](int& key)
        {
            seen.push_back(key);
            if (handler)
                handler(key);
        };
        box->onGotFocus = [this] { ++gotFocus; };
        box->onLostFocus = [this] { ++lostFocus; };
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
    }
    QWidget window;
    TextBox* box = nullptr;
    TextBox* other = nullptr;
    std::function<void(int&)> handler;
    std::vector<int> seen;
    int gotFocus = 0;
    int lostFocus = 0;
};

TEST_F(QtTextBoxEvents, EveryTypedCharacterReachesTheHandlerWhichMaySwallowOrReplaceIt)
{
    handler = [](int& key)
    {
        if (key == 'x')
            key = 0;
        else if (key == 'y')
            key = '7';
    };
    QTest::keyClicks(box, QStringLiteral("1x2y"));
    EXPECT_EQ(seen, (std::vector<int>{'1', 'x', '2', 'y'}));
    EXPECT_EQ(box->text(), std::string("127"));
}

TEST_F(QtTextBoxEvents, KeysWithoutACharacterAndShortcutsGoStraightToTheBox)
{
    box->setText(std::string("123"));
    QTest::keyClick(box, Qt::Key_Home);
    // Delete carries U+007F in its text, as the platform delivers it.
    QTest::sendKeyEvent(QTest::Click, box, Qt::Key_Delete, QString(QChar(0x7F)), {});
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(box->text(), std::string("23"));
    EXPECT_EQ(box->selectedText(), QStringLiteral("23"));
}

TEST_F(QtTextBoxEvents, TextSetByTheProgramIsHeldToDigitsToo)
{
    box->setText(std::string("1e3"));
    EXPECT_EQ(box->text(), std::string("13"));
}

TEST_F(QtTextBoxEvents, FocusMovesByTheUserAreReportedWindowSwitchesAreNot)
{
    other->setFocus();
    gotFocus = lostFocus = 0;
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(gotFocus, 1);
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(&window);
    EXPECT_EQ(lostFocus, 0);
    EXPECT_EQ(gotFocus, 1);
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(lostFocus, 1);
}
