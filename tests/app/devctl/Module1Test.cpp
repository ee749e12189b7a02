#include "devctl/Module1.h"

#include "../UiHelpers.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

std::string lastFatal;
int fatalCount = 0;
void recordFatal(const std::string& m)
{
    ++fatalCount;
    lastFatal = m;
}

int lastExit = -1;
void recordExit(int code) { lastExit = code; }

}  // namespace

class LibraryBinding : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fatalCount = 0;
        lastFatal.clear();
        lastExit = -1;
        Module1::setFatalHandler(recordFatal);
    }
    void TearDown() override
    {
        Module1::setFatalHandler(nullptr);
        Module1::setExitFunction(nullptr);
        Module1::useLibrary();
    }
};

TEST_F(LibraryBinding, MissingLibraryIsReportedByNameAndTheCallFails)
{
    Module1::useLibrary(std::string("lumbra_not_installed"));
    EXPECT_EQ(Module1::lib.PciOpenDevice(), 0);
    EXPECT_EQ(fatalCount, 1);
    EXPECT_TRUE(lastFatal.find(std::string("lumbra_not_installed")) != std::string::npos) << lastFatal;
}

TEST_F(LibraryBinding, MissingFunctionIsReportedByNameWithoutACall)
{
    // This library, beside the test program, exports PciOpenDevice only.
    Module1::useLibrary(std::string("lumbra_partial"));
    EXPECT_GT(Module1::lib.PciOpenDevice(), 6);
    EXPECT_EQ(fatalCount, 0);
    int32_t v = 0x55;
    EXPECT_EQ(Module1::lib.PciReadConfigReg(1, 0, &v), 0);
    EXPECT_EQ(fatalCount, 1);
    EXPECT_TRUE(lastFatal.find(std::string("PciReadConfigReg")) != std::string::npos) << lastFatal;
    EXPECT_EQ(v, 0x55);
}

TEST_F(LibraryBinding, FunctionIsResolvedOnceThenCalledDirectly)
{
    Module1::useLibrary(std::string("lumbra_partial"));
    const auto resolver = Module1::lib.PciOpenDevice;
    const int16_t first = Module1::lib.PciOpenDevice();
    const auto bound = Module1::lib.PciOpenDevice;
    EXPECT_NE(bound, resolver);
    EXPECT_EQ(Module1::lib.PciOpenDevice(), first + 1);
    EXPECT_EQ(Module1::lib.PciOpenDevice, bound);
}

TEST_F(LibraryBinding, DefaultFailureTellsTheUserThenEndsWithNonZeroCode)
{
    Module1::setFatalHandler(nullptr);
    Module1::setExitFunction(recordExit);
    Module1::useLibrary(std::string("lumbra_not_installed"));
    driver::MessageBoxSeen seen;
    driver::answerNextMessageBox(ui::Answer::Ok, &seen);
    EXPECT_EQ(Module1::lib.PciFindDevice(), 0);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, std::string("tavrin"));
    EXPECT_TRUE(seen.text.find("lumbra_not_installed") != std::string::npos);
    EXPECT_EQ(lastExit, Module1::kBindFailureExitCode);
    EXPECT_NE(lastExit, 0);
}
