#pragma once

#include "FakeLumbra.h"
#include "Tavrinmain.h"
#include "driver/TestDriver.h"
#include "start.h"

#include <gtest/gtest.h>

// Every program test starts the program afresh against the scripted fake;
// leaving the program is recorded instead of ending the test process.
class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the entry routine with the fake as it stands and returns the window.
    Tavrinmain& startProgram();
    FakeLumbra& lib() { return FakeLumbra::get(); }
    // Selects row `row` of the device list with a real click.
    void clickChip(int row);

    static int endCount;
    static int lastEndCode;
};
