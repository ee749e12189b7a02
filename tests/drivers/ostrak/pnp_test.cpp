// The Plug and Play requests other than start: what each changes and what the
// drivers below see of it.
#include "ostrak_test.h"

#include <vector>

using PnpTest = OstrakTest;

TEST_F(PnpTest, QueryStopIsRefusedAndNotPassedDown)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);

    const hk::Result result = hk::Pnp(device_, IRP_MN_QUERY_STOP_DEVICE);

    EXPECT_EQ(result.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(result.returned, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(hk::LowerCalls(pdo_).size(), 1u);  // the start only
    EXPECT_TRUE(Serves());
}

TEST_F(PnpTest, StopIsPassedDownAndLeavesTheDeviceServingItsPort)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    hk::SetPort(kPort, 0x42);

    const hk::Result stop = hk::Pnp(device_, IRP_MN_STOP_DEVICE);
    const hk::Result read = hk::Read(device_, 1);

    EXPECT_EQ(stop.status, STATUS_SUCCESS);
    EXPECT_EQ(read.status, STATUS_SUCCESS);
    EXPECT_EQ(read.output, std::vector<UCHAR>{0x42});
}

// The kernel sends these with STATUS_NOT_SUPPORTED in them; the driver sets
// success before passing them down, so the bus driver sees it has agreed.
TEST_F(PnpTest, AgreedStateChangesArePassedDownAsSuccess)
{
    const UCHAR minors[] = {IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_CANCEL_REMOVE_DEVICE, IRP_MN_STOP_DEVICE,
                            IRP_MN_CANCEL_STOP_DEVICE};
    for (UCHAR minor : minors)
    {
        hk::ScriptLower(pdo_, IRP_MJ_PNP, minor, {hk::LowerReply::Mode::Complete, STATUS_DEVICE_BUSY});
        EXPECT_EQ(hk::Pnp(device_, minor).status, STATUS_DEVICE_BUSY) << int{minor};
    }

    const std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
    ASSERT_EQ(calls.size(), std::size(minors));
    for (size_t i = 0; i < calls.size(); ++i)
    {
        EXPECT_EQ(calls[i].minor, minors[i]);
        EXPECT_TRUE(calls[i].skipped);
        EXPECT_EQ(calls[i].statusOnArrival, STATUS_SUCCESS);
    }
}

TEST_F(PnpTest, OtherRequestsArePassedDownWithTheirStatusUntouched)
{
    const hk::Result result = hk::Pnp(device_, IRP_MN_QUERY_CAPABILITIES);

    EXPECT_EQ(result.status, STATUS_NOT_SUPPORTED);
    const std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].skipped);
    EXPECT_EQ(calls[0].statusOnArrival, STATUS_NOT_SUPPORTED);
}

TEST_F(PnpTest, RemovalDeletesLinkDetachesAndDeletesTheDevice)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);

    const hk::Result result = hk::Pnp(device_, IRP_MN_REMOVE_DEVICE);

    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_FALSE(hk::DeviceExists(device_));
    EXPECT_EQ(hk::TopOfStack(pdo_), pdo_);
    EXPECT_EQ(hk::SymbolicLinks().count(kDosLink), 0u);
    EXPECT_EQ(hk::SymbolicLinkDeletions(kDosLink), 1);
    const std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].minor, IRP_MN_REMOVE_DEVICE);
    EXPECT_EQ(calls[1].statusOnArrival, STATUS_SUCCESS);
}

TEST_F(PnpTest, SurpriseRemovalStopsServiceAndRemovalThenDeletesTheLinkOnce)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);

    const hk::Result surprise = hk::Pnp(device_, IRP_MN_SURPRISE_REMOVAL);

    EXPECT_EQ(surprise.status, STATUS_SUCCESS);
    EXPECT_EQ(StateOf(ExtensionOf(device_)), PnpStateRemoved);
    EXPECT_EQ(hk::LowerCalls(pdo_).back().statusOnArrival, STATUS_SUCCESS);
    EXPECT_EQ(hk::SymbolicLinks().count(kDosLink), 0u);
    EXPECT_EQ(hk::Read(device_, 1).status, STATUS_DEVICE_NOT_READY);
    EXPECT_EQ(hk::Create(device_).status, STATUS_DEVICE_NOT_READY);

    const hk::Result removal = hk::Pnp(device_, IRP_MN_REMOVE_DEVICE);

    EXPECT_EQ(removal.status, STATUS_SUCCESS);
    EXPECT_FALSE(hk::DeviceExists(device_));
    EXPECT_EQ(hk::SymbolicLinkDeletions(kDosLink), 1);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(PnpTest, StartAfterSurpriseRemovalFailsDeletePending)
{
    ASSERT_EQ(hk::Pnp(device_, IRP_MN_SURPRISE_REMOVAL).status, STATUS_SUCCESS);

    EXPECT_EQ(StartAtPort().status, STATUS_DELETE_PENDING);
    EXPECT_EQ(hk::Read(device_, 1).status, STATUS_DEVICE_NOT_READY);
}

TEST_F(PnpTest, PowerIsPassedDownAfterStartingTheNextPowerRequest)
{
    hk::ScriptLower(pdo_, IRP_MJ_POWER, IRP_MN_SET_POWER,
                    {hk::LowerReply::Mode::Complete, STATUS_DEVICE_BUSY});

    const hk::Result result = hk::Power(device_, IRP_MN_SET_POWER);

    EXPECT_EQ(result.status, STATUS_DEVICE_BUSY);
    EXPECT_EQ(hk::StartNextPowerIrpCalls(), 1);
    const std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].skipped);
}

TEST_F(PnpTest, AfterSurpriseRemovalPowerIsSetAsBeforeButQueriesAreRefused)
{
    // The stack stays until the removal, and the system's sleep and resume
    // pass through it: a set-power request must go down as ever.
    ASSERT_EQ(hk::Pnp(device_, IRP_MN_SURPRISE_REMOVAL).status, STATUS_SUCCESS);
    hk::ScriptLower(pdo_, IRP_MJ_POWER, IRP_MN_SET_POWER, {hk::LowerReply::Mode::Pending, STATUS_SUCCESS});
    const size_t lowerCalls = hk::LowerCalls(pdo_).size();

    const hk::Result device =
        hk::Power(device_, IRP_MN_SET_POWER, DevicePowerState, POWER_STATE{.DeviceState = PowerDeviceD3});
    const hk::Result system = hk::Power(device_, IRP_MN_SET_POWER, SystemPowerState,
                                        POWER_STATE{.SystemState = PowerSystemSleeping3});
    const hk::Result query = hk::Power(device_, IRP_MN_QUERY_POWER, SystemPowerState,
                                       POWER_STATE{.SystemState = PowerSystemSleeping3});

    for (const hk::Result& set : {device, system})
    {
        EXPECT_EQ(set.returned, STATUS_PENDING);
        EXPECT_EQ(set.status, STATUS_SUCCESS);
    }
    EXPECT_EQ(query.status, STATUS_DELETE_PENDING);
    EXPECT_EQ(query.information, 0u);
    EXPECT_EQ(hk::StartNextPowerIrpCalls(), 3);
    const std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
    ASSERT_EQ(calls.size(), lowerCalls + 2);
    for (size_t i = lowerCalls; i < calls.size(); ++i)
    {
        EXPECT_EQ(calls[i].minor, IRP_MN_SET_POWER);
        EXPECT_TRUE(calls[i].skipped);
    }
}

TEST_F(PnpTest, SystemControlIsPassedDownUntouchedInEveryState)
{
    hk::ScriptLower(pdo_, IRP_MJ_SYSTEM_CONTROL, hk::AnyMinor,
                    {hk::LowerReply::Mode::Complete, STATUS_DEVICE_BUSY});

    const hk::Result beforeStart = hk::SystemControl(device_);
    ASSERT_EQ(hk::Pnp(device_, IRP_MN_SURPRISE_REMOVAL).status, STATUS_SUCCESS);
    const hk::Result afterSurpriseRemoval = hk::SystemControl(device_);

    EXPECT_EQ(beforeStart.status, STATUS_DEVICE_BUSY);
    EXPECT_EQ(afterSurpriseRemoval.status, STATUS_DEVICE_BUSY);
    std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
    ASSERT_EQ(calls.size(), 3u);
    for (const hk::LowerCall& call : {calls[0], calls[2]})
    {
        EXPECT_EQ(call.major, IRP_MJ_SYSTEM_CONTROL);
        EXPECT_TRUE(call.skipped);
        EXPECT_EQ(call.statusOnArrival, STATUS_NOT_SUPPORTED);
    }
}
