#include "AppFixture.h"

#include "UiHelpers.h"

int AppFixture::endCount = 0;
int AppFixture::lastEndCode = -1;

void AppFixture::SetUp()
{
    start::resetForTest();
    FakeLumbra::get().install();
    endCount = 0;
    lastEndCode = -1;
    start::setEndFunction(
        [](int code)
        {
            ++endCount;
            lastEndCode = code;
        });
}

void AppFixture::TearDown()
{
    driver::cancelModalWatchers();
    start::resetForTest();
    start::setEndFunction(nullptr);
}

Tavrinmain& AppFixture::startProgram()
{
    EXPECT_TRUE(start::Main());
    Tavrinmain& w = Tavrinmain::instance();
    EXPECT_TRUE(driver::waitShown(w.form()));
    return w;
}

void AppFixture::clickChip(int row)
{
    const ui::ListBox* list = Tavrinmain::instance().lstOrvel;
    ASSERT_LT(row, list->count());
    const driver::TwipsPoint p = driver::rowCentre(list, row);
    driver::click(list, p.x, p.y);
}
