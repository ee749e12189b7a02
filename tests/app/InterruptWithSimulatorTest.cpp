#include "IoPanelTesting.h"
#include "SimulatorFixture.h"

#include "devctl/Module1.h"
#include "frmIntrStat.h"

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
    std::optional<std::string> interruptsShown(Tavrinmain& w)
    {
        std::optional<std::string> shown;
        ModalWatch watch(ui::Answer::Ok,
                         [&](driver::Modal& m)
                         {
                             if (auto* form = ownerOf<frmIntrStat>(m))
                             {
                                 shown = form->lblNum->text();
                                 pulsesShown = form->lblPls->text();
                                 handleShown = form->lblHan->text();
                                 driver::click(form->btnOK);
                             }
                         });
        driver::click(w.btnIntSts);
        return shown;
    }

    std::string pulsesShown;
    std::string handleShown;
};

TEST_F(InterruptWithSimulator, InterruptCountRisesWhilePulsesComeInAndStopsAfterClose)
{
    ASSERT_TRUE(start::Main());
    Tavrinmain& w = Tavrinmain::instance();
    ASSERT_TRUE(driver::waitShown(w.form()));
    clickRow(w.lstOrvel, 0);
    ASSERT_EQ(w.chipNumber(), 1);

    w.txtPls->setText(std::string("5"));
    driver::click(w.btnIntOpen);
    ASSERT_EQ(w.statusText(), std::string("割り込みオープン成功"));
    EXPECT_EQ(app().intrHandle, 1);
    EXPECT_EQ(interruptsShown(w), std::string("0"));
    EXPECT_EQ(pulsesShown, std::string("5"));
    EXPECT_EQ(handleShown, std::string("0x00000001"));

    ASSERT_EQ(advancePulses(1, 12), 1);
    EXPECT_EQ(interruptsShown(w), std::string("2"));
    driver::click(w.btnCntRd);
    EXPECT_EQ(w.statusText(), std::string("カウンタ値読み込み成功"));
    EXPECT_EQ(w.picCnt->picture(), readoutPicture(w.picCnt, 300, std::string("00000C")));

    ASSERT_EQ(advancePulses(1, 3), 1);
    EXPECT_EQ(interruptsShown(w), std::string("3"));

    driver::click(w.btnIntClose);
    EXPECT_EQ(w.statusText(), std::string("割り込みクローズ成功"));
    EXPECT_EQ(app().intrHandle, 0);
    EXPECT_FALSE(interruptsShown(w));

    // Closing again finds nothing open in the library.
    driver::click(w.btnIntClose);
    EXPECT_EQ(w.statusText(), std::string("割り込みクローズ失敗"));
}
