#include "devctl/Module1.h"

#include "../UiHelpers.h"

#include <QCoreApplication>
#include <QString>
#include <gtest/gtest.h>

namespace
{

QString lastFatal;
int fatalCount = 0;
void recordFatal(const QString& m)
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
    static QString binDir() { return QCoreApplication::applicationDirPath(); }
};

TEST_F(LibraryBinding, MissingLibraryIsReportedByNameAndTheCallFails)
{
    Module1::useLibrary(QStringLiteral("lumbra_not_installed"));
    EXPECT_EQ(Module1::lib.PciOpenDevice(), 0);
    EXPECT_EQ(fatalCount, 1);
    EXPECT_TRUE(lastFatal.contains(QStringLiteral("lumbra_not_installed"))) << lastFatal.toStdString();
}

TEST_F(LibraryBinding, MissingFunctionIsReportedByNameWithoutACall)
{
    // This library exports PciOpenDevice only.
    Module1::useLibrary(binDir() + QStringLiteral("/liblumbra_partial.so"));
    EXPECT_GT(Module1::lib.PciOpenDevice(), 6);
    EXPECT_EQ(fatalCount, 0);
    int32_t v = 0x55;
    EXPECT_EQ(Module1::lib.PciReadConfigReg(1, 0, &v), 0);
    EXPECT_EQ(fatalCount, 1);
    EXPECT_TRUE(lastFatal.contains(QStringLiteral("PciReadConfigReg"))) << lastFatal.toStdString();
    EXPECT_EQ(v, 0x55);
}

TEST_F(LibraryBinding, FunctionIsResolvedOnceThenCalledDirectly)
{
    Module1::useLibrary(binDir() + QStringLiteral("/liblumbra_partial.so"));
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
    Module1::useLibrary(QStringLiteral("lumbra_not_installed"));
    MessageBoxSeen seen;
    answerNextMessageBox(QMessageBox::Ok, &seen);
    EXPECT_EQ(Module1::lib.PciFindDevice(), 0);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, QStringLiteral("tavrin"));
    EXPECT_TRUE(seen.text.contains(QStringLiteral("lumbra_not_installed")));
    EXPECT_EQ(lastExit, Module1::kBindFailureExitCode);
    EXPECT_NE(lastExit, 0);
}
