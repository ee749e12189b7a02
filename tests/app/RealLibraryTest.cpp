#include "Tavrinmain.h"
#include "devctl/Module1.h"
#include "SimulatorFixture.h"
#include "UiHelpers.h"
#include "start.h"

#include <gtest/gtest.h>

// Start-up against the simulated board library, found by name beside the
// test program exactly as the installed program finds it.
class RealLibrary : public SimulatorFixture
{
};

TEST_F(RealLibrary, StartUpListsTheSimulatedChips)
{
    ASSERT_TRUE(start::Main());
    Tavrinmain& w = Tavrinmain::instance();
    EXPECT_EQ(w.lstOrvel->count(), 2);
    EXPECT_EQ(w.statusText(), std::string("Orvelを2個発見しました。"));
    ASSERT_TRUE(driver::waitShown(w.form()));
    saveShot(w.form(), "main-startup");
}

TEST_F(RealLibrary, ConfigurationReadShowsTheBoardsIdentity)
{
    ASSERT_TRUE(start::Main());
    Tavrinmain& w = Tavrinmain::instance();
    driver::selectRow(w.lstOrvel, 0);
    EXPECT_EQ(w.statusText(), std::string("コンフィグレジスタ読み込み成功"));
    // Register 0 holds device ID above vendor ID.
    EXPECT_EQ(app().dumpRows[0], std::string("0B 17 7A 5E"));
}
