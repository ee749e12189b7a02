#include "numOnly.h"
#include "start.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

int filtered(int key, int16_t allowDot)
{
    numOnly::filterNumKey(key, allowDot);
    return key;
}

}  // namespace

// The key filter on its own, against a box standing in for the caller's.
class FilterNumKey : public ::testing::Test
{
protected:
    void SetUp() override { app().keyFilterBox = &box; }
    void TearDown() override { app().keyFilterBox = nullptr; }
    QLineEdit box;
};

TEST_F(FilterNumKey, DigitsAndBackspacePassWhateverTheDotRule)
{
    for (int allowDot : {0, 1})
        for (int key : std::initializer_list<int>{'0', '5', '9', 8})
            EXPECT_EQ(filtered(key, int16_t(allowDot)), key) << key;
}

TEST_F(FilterNumKey, MinusLettersAndOtherCharactersAreSwallowed)
{
    for (int allowDot : {0, 1})
        for (int key : std::initializer_list<int>{'-', '+', 'a', 'Z', ' ', ',', '/', ':', 13, 27, 0xFF11})
            EXPECT_EQ(filtered(key, int16_t(allowDot)), 0) << key;
}

TEST_F(FilterNumKey, OneDotPassesOnlyWhenAllowedAndNoneIsThereYet)
{
    box.setText(QStringLiteral("12"));
    EXPECT_EQ(filtered('.', 0), 0);
    EXPECT_EQ(filtered('.', 1), '.');
    box.setText(QStringLiteral("1.2"));
    EXPECT_EQ(filtered('.', 1), 0);
    EXPECT_EQ(filtered('3', 1), '3');
}

TEST_F(FilterNumKey, WithoutABoxTheTextCountsAsEmpty)
{
    app().keyFilterBox = nullptr;
    EXPECT_EQ(filtered('.', 1), '.');
    EXPECT_EQ(filtered('x', 1), 0);
}

// The events a line edit delivers to its form through NumBoxEvents.
class NumBoxEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(200, 60);
        box = new QLineEdit(&window);
        other = new QLineEdit(&window);
        other->move(0, 30);
        events = new numOnly::NumBoxEvents(box);
        QObject::connect(events, &numOnly::NumBoxEvents::keyPress,
                         [this](int& key)
                         {
                             seen.push_back(key);
                             if (handler)
                                 handler(key);
                         });
        QObject::connect(events, &numOnly::NumBoxEvents::gotFocus, [this] { ++gotFocus; });
        QObject::connect(events, &numOnly::NumBoxEvents::lostFocus, [this] { ++lostFocus; });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
    }
    QWidget window;
    QLineEdit* box = nullptr;
    QLineEdit* other = nullptr;
    numOnly::NumBoxEvents* events = nullptr;
    std::function<void(int&)> handler;
    std::vector<int> seen;
    int gotFocus = 0;
    int lostFocus = 0;
};

TEST_F(NumBoxEvents, EveryTypedCharacterReachesTheHandlerWhichMaySwallowOrReplaceIt)
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
    EXPECT_EQ(box->text(), QStringLiteral("127"));
}

TEST_F(NumBoxEvents, KeysWithoutACharacterAndShortcutsGoStraightToTheBox)
{
    box->setText(QStringLiteral("123"));
    QTest::keyClick(box, Qt::Key_Home);
    // Delete carries U+007F in its text, as the platform delivers it.
    QTest::sendKeyEvent(QTest::Click, box, Qt::Key_Delete, QString(QChar(0x7F)), {});
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(box->text(), QStringLiteral("23"));
    EXPECT_EQ(box->selectedText(), QStringLiteral("23"));
}

TEST_F(NumBoxEvents, TextSetByTheProgramIsHeldToDigitsToo)
{
    box->setText(QStringLiteral("1e3"));
    EXPECT_EQ(box->text(), QStringLiteral("13"));
}

TEST_F(NumBoxEvents, FocusMovesByTheUserAreReportedWindowSwitchesAreNot)
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
