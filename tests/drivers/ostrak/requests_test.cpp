// Open, close, read, write and device control as a caller sees them.
#include "ostrak_test.h"

#include <memory>
#include <vector>

namespace
{

// What the hostkernel leaves in a caller's buffer the driver did not fill.
constexpr UCHAR kUntouched = 0xCC;

const ULONG kAnyControlCode = CTL_CODE(0x8000, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS);

}  // namespace

using RequestsTest = OstrakTest;

TEST_F(RequestsTest, EveryRequestBeforeAStartFailsNotReadyAndTouchesNothing)
{
    hk::SetPort(kPort, 0x5A);

    const std::vector<hk::Result> results = {
        hk::Create(device_),        hk::Read(device_, 1),
        hk::Write(device_, {0xA5}), hk::DeviceControl(device_, kAnyControlCode, {1, 2, 3, 4}, 4),
        hk::Close(device_),
    };

    for (const hk::Result& result : results)
    {
        EXPECT_EQ(result.status, STATUS_DEVICE_NOT_READY);
        EXPECT_EQ(result.returned, STATUS_DEVICE_NOT_READY);
        EXPECT_EQ(result.information, 0u);
    }
    EXPECT_EQ(results[1].output, std::vector<UCHAR>{kUntouched});
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(RequestsTest, StartedDeviceOpensClosesAndAnswersControlsWithoutWork)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);

    const hk::Result open = hk::Create(device_);
    const hk::Result control = hk::DeviceControl(device_, kAnyControlCode, {1, 2, 3, 4}, 4);
    const hk::Result close = hk::Close(device_);

    for (const hk::Result& result : {open, control, close})
    {
        EXPECT_EQ(result.status, STATUS_SUCCESS);
        EXPECT_EQ(result.information, 0u);
    }
    EXPECT_EQ(control.output, std::vector<UCHAR>(4, kUntouched));
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(RequestsTest, ReadReturnsTheByteAtThePortAndReportsOne)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    hk::SetPort(kPort, 0x5A);

    const hk::Result result = hk::Read(device_, 1, /*offset=*/0x40);

    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_EQ(result.returned, STATUS_SUCCESS);
    EXPECT_EQ(result.information, 1u);
    EXPECT_EQ(result.output, std::vector<UCHAR>{0x5A});
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{hk::Access::Kind::PortRead, kPort, 0x5A}}));
}

TEST_F(RequestsTest, ReadOfLength100TransfersExactlyOneByte)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    hk::SetPort(kPort, 0x3C);

    const hk::Result result = hk::Read(device_, 100);

    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_EQ(result.information, 1u);
    std::vector<UCHAR> expected(100, kUntouched);
    expected[0] = 0x3C;
    EXPECT_EQ(result.output, expected);
    EXPECT_EQ(hk::Accesses().size(), 1u);
}

TEST_F(RequestsTest, WriteSendsOnlyTheFirstByteToThePort)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);

    const hk::Result result = hk::Write(device_, {0xA5, 0x11, 0x22}, /*offset=*/7);

    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_EQ(result.information, 1u);
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{hk::Access::Kind::PortWrite, kPort, 0xA5}}));
    EXPECT_EQ(hk::PortValue(kPort), 0xA5);
}

TEST_F(RequestsTest, ZeroLengthReadOrWriteIsRefusedAndTouchesNoPort)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);

    const hk::Result read = hk::Read(device_, 0);
    const hk::Result write = hk::Write(device_, {});

    for (const hk::Result& result : {read, write})
    {
        EXPECT_EQ(result.status, STATUS_INVALID_PARAMETER);
        EXPECT_EQ(result.information, 0u);
    }
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(RequestsTest, StartWithoutPortLeavesReadAndWriteNotReadyAndPortZeroUntouched)
{
    StartResources resources;
    resources.raw.Interrupt(5, 5);
    resources.translated.Interrupt(5, 0x51);
    ASSERT_EQ(Start(resources).status, STATUS_SUCCESS);

    const hk::Result open = hk::Create(device_);
    const hk::Result read = hk::Read(device_, 1);
    const hk::Result write = hk::Write(device_, {0xA5});

    EXPECT_EQ(open.status, STATUS_SUCCESS);
    for (const hk::Result& result : {read, write})
    {
        EXPECT_EQ(result.status, STATUS_DEVICE_NOT_READY);
        EXPECT_EQ(result.information, 0u);
    }
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(RequestsTest, ReadsFromSeveralThreadsEachGetTheByte)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    hk::SetPort(kPort, 0x77);

    std::vector<hk::Result> results(4);
    {
        std::vector<std::unique_ptr<hk::Thread>> readers;
        for (hk::Result& result : results)
        {
            readers.push_back(
                std::make_unique<hk::Thread>([this, &result] { result = hk::Read(device_, 1); }));
        }
    }  // every reader is joined here

    for (const hk::Result& result : results)
    {
        EXPECT_EQ(result.status, STATUS_SUCCESS);
        EXPECT_EQ(result.output, std::vector<UCHAR>{0x77});
    }
    EXPECT_EQ(hk::Accesses().size(), results.size());
}
