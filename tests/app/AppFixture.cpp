#include "AppFixture.h"

#include "UiHelpers.h"

#include <QListWidget>
#include <QTest>

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
    cancelModalWatchers();
    start::resetForTest();
    start::setEndFunction(nullptr);
}

Tavrinmain& AppFixture::startProgram()
{
    EXPECT_TRUE(start::Main());
    Tavrinmain& w = Tavrinmain::instance();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    return w;
}

void AppFixture::clickChip(int row)
{
    QListWidget* list = Tavrinmain::instance().lstOrvel;
    QListWidgetItem* item = list->item(row);
    ASSERT_NE(item, nullptr);
    const QRect r = list->visualItemRect(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}
