#include "delvan_fixture.h"

namespace
{

using Mode = hk::LowerReply::Mode;

class PowerTest : public DelvanTest
{
};

TEST_F(PowerTest, PowerRequestsArePassedDownWhetherHoldingOrNot)
{
    hk::ScriptLower(pdo, IRP_MJ_POWER, IRP_MN_SET_POWER, {Mode::Complete, STATUS_SUCCESS, 0});
    hk::Result holding = hk::Power(fdo, IRP_MN_SET_POWER);
    EXPECT_EQ(holding.status, STATUS_SUCCESS);

    StartPortWindow();
    hk::ScriptLower(pdo, IRP_MJ_POWER, IRP_MN_QUERY_POWER, {Mode::Complete, STATUS_DEVICE_BUSY, 0});
    hk::Result started = hk::Power(fdo, IRP_MN_QUERY_POWER);
    EXPECT_EQ(started.returned, STATUS_DEVICE_BUSY);

    EXPECT_EQ(hk::StartNextPowerIrpCalls(), 2);
    int powerCalls = 0;
    for (const auto& call : hk::LowerCalls(pdo))
    {
        if (call.major != IRP_MJ_POWER)
            continue;
        powerCalls++;
        EXPECT_TRUE(call.skipped);
        EXPECT_FALSE(call.completionRoutine);
    }
    EXPECT_EQ(powerCalls, 2);
}

TEST_F(PowerTest, PowerRequestCompletedLaterIsReturnedPending)
{
    hk::ScriptLower(pdo, IRP_MJ_POWER, IRP_MN_SET_POWER, {Mode::Pending, STATUS_SUCCESS, 0});
    hk::Result r = hk::Power(fdo, IRP_MN_SET_POWER);
    EXPECT_EQ(r.returned, STATUS_PENDING);
    EXPECT_TRUE(r.pendingReturned);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
}

TEST_F(PowerTest, SystemControlWhileHoldingIsRefusedHere)
{
    hk::Result r = hk::SystemControl(fdo);
    EXPECT_EQ(r.status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(r.returned, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(r.information, 0u);
    EXPECT_TRUE(hk::LowerCalls(pdo).empty());
}

TEST_F(PowerTest, SystemControlWhenStartedIsPassedDown)
{
    StartPortWindow();
    hk::Result r = hk::SystemControl(fdo);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    hk::LowerCall call = hk::LowerCalls(pdo).back();
    EXPECT_EQ(call.major, IRP_MJ_SYSTEM_CONTROL);
    EXPECT_TRUE(call.skipped);
    EXPECT_EQ(call.statusOnArrival, STATUS_NOT_SUPPORTED);
}

}  // namespace
