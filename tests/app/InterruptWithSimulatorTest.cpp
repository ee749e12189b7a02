#include "IoPanelTesting.h"
#include "SimulatorFixture.h"

#include "devctl/Module1.h"
#include "frmIntrStat.h"

#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <optional>

// The interrupt panel against the simulated board library, bound by name as
// the installed program binds it. The simulated clock is stopped, so pulses
// come only when the test sends them.
// The interrupt panel against the simulated board.
class InterruptWithSimulator : public SimulatorFixture
{
protected:
    // The interrupt count the status dialog shows, or nothing when it does not open.
    std::optional<QString> interruptsShown(Tavrinmain& w)
    {
        std::optional<QString> shown;
        ModalWatch watch(QMessageBox::Ok,
                         [&](QWidget* m)
                         {
                             if (auto* form = qobject_cast<frmIntrStat*>(m))
                             {
                                 shown = form->lblNum->text();
                                 pulsesShown = form->lblPls->text();
                                 handleShown = form->lblHan->text();
                                 QTest::mouseClick(form->btnOK, Qt::LeftButton);
                             }
                         });
        QTest::mouseClick(w.btnIntSts, Qt::LeftButton);
        return shown;
    }

    QString pulsesShown;
    QString handleShown;
};

TEST_F(InterruptWithSimulator, InterruptCountRisesWhilePulsesComeInAndStopsAfterClose)
{
    ASSERT_TRUE(start::Main());
    Tavrinmain& w = Tavrinmain::instance();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QListWidget* list = w.lstOrvel;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(w.chipNumber(), 1);

    w.txtPls->setText(QStringLiteral("5"));
    QTest::mouseClick(w.btnIntOpen, Qt::LeftButton);
    ASSERT_EQ(w.statusText(), QStringLiteral("割り込みオープン成功"));
    EXPECT_EQ(app().intrHandle, 1);
    EXPECT_EQ(interruptsShown(w), QStringLiteral("0"));
    EXPECT_EQ(pulsesShown, QStringLiteral("5"));
    EXPECT_EQ(handleShown, QStringLiteral("0x00000001"));

    ASSERT_EQ(advancePulses(1, 12), 1);
    EXPECT_EQ(interruptsShown(w), QStringLiteral("2"));
    QTest::mouseClick(w.btnCntRd, Qt::LeftButton);
    EXPECT_EQ(w.statusText(), QStringLiteral("カウンタ値読み込み成功"));
    EXPECT_EQ(w.picCnt->image(), readoutPicture(w.picCnt, 300, QStringLiteral("00000C")));

    ASSERT_EQ(advancePulses(1, 3), 1);
    EXPECT_EQ(interruptsShown(w), QStringLiteral("3"));

    QTest::mouseClick(w.btnIntClose, Qt::LeftButton);
    EXPECT_EQ(w.statusText(), QStringLiteral("割り込みクローズ成功"));
    EXPECT_EQ(app().intrHandle, 0);
    EXPECT_FALSE(interruptsShown(w));

    // Closing again finds nothing open in the library.
    QTest::mouseClick(w.btnIntClose, Qt::LeftButton);
    EXPECT_EQ(w.statusText(), QStringLiteral("割り込みクローズ失敗"));
}
