#include "numOnly.h"
#include "start.h"

#include "ui/Controls.h"

#include <gtest/gtest.h>

namespace
{

int filtered(int key, int16_t allowDot)
{
    numOnly::filterNumKey(key, allowDot);
    return key;
}

// A text box that only holds its text, standing in for the caller's.
class TextHolder : public ui::TextBox
{
public:
    void setVisible(bool) override {}
    bool isVisible() const override { return true; }
    void setFocus() override {}
    void setTakesFocus(bool) override {}
    void setText(const std::string& text) override { text_ = text; }
    std::string text() const override { return text_; }
    void setDigitsOnly(bool) override {}

private:
    std::string text_;
};

}  // namespace

// The key filter on its own, against a box standing in for the caller's.
class FilterNumKey : public ::testing::Test
{
protected:
    void SetUp() override { app().keyFilterBox = &box; }
    void TearDown() override { app().keyFilterBox = nullptr; }
    TextHolder box;
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
    box.setText(std::string("12"));
    EXPECT_EQ(filtered('.', 0), 0);
    EXPECT_EQ(filtered('.', 1), '.');
    box.setText(std::string("1.2"));
    EXPECT_EQ(filtered('.', 1), 0);
    EXPECT_EQ(filtered('3', 1), '3');
}

TEST_F(FilterNumKey, WithoutABoxTheTextCountsAsEmpty)
{
    app().keyFilterBox = nullptr;
    EXPECT_EQ(filtered('.', 1), '.');
    EXPECT_EQ(filtered('x', 1), 0);
}
