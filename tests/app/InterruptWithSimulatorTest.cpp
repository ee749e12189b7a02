#include "IoPanelTesting.h"

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
class InterruptWithSimulator : public ::testing::Test {
protected:
    using AdvancePulses = int16_t (*)(int32_t chip, uint32_t pulses);
    using Reset = void (*)();

    void SetUp() override
    {
        keepEnv("LUMBRA_SIM_PULSE_HZ", "0");
        keepEnv("LUMBRA_SIM_CHIPS", "2");
        keepEnv("LUMBRA_SIM_FAIL", nullptr);
        keepEnv("LUMBRA_SIM_STATE", nullptr);
        sim_.setFileName(QStringLiteral("lumbra"));
        ASSERT_TRUE(sim_.load()) << sim_.errorString().toStdString();
        advancePulses = reinterpret_cast<AdvancePulses>(sim_.resolve("LumbraSimAdvancePulses"));
        reset_ = reinterpret_cast<Reset>(sim_.resolve("LumbraSimReset"));
        ASSERT_TRUE(advancePulses && reset_);
        reset_();
        start::resetForTest();
        Module1::useLibrary();
        start::setEndFunction([](int) {});
    }

    void TearDown() override
    {
        if (Tavrinmain::exists())
            Tavrinmain::instance().btnEnd_Click();
        start::resetForTest();
        start::setEndFunction(nullptr);
        if (reset_)
            reset_();
        for (const auto& [name, value] : savedEnv_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

    // The interrupt count the status dialog shows, or nothing when it does not open.
    std::optional<QString> interruptsShown(Tavrinmain& w)
    {
        std::optional<QString> shown;
        ModalWatch watch(QMessageBox::Ok, [&](QWidget* m) {
            if (auto* form = qobject_cast<frmIntrStat*>(m)) {
                shown = form->lblNum->text();
                pulsesShown = form->lblPls->text();
                handleShown = form->lblHan->text();
                QTest::mouseClick(form->btnOK, Qt::LeftButton);
            }
        });
        QTest::mouseClick(w.btnIntSts, Qt::LeftButton);
        return shown;
    }

    AdvancePulses advancePulses = nullptr;
    QString pulsesShown;
    QString handleShown;

private:
    void keepEnv(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        savedEnv_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

    QLibrary sim_;
    Reset reset_ = nullptr;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
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
