#include "delvan_fixture.h"

namespace
{

using Kind = hk::Access::Kind;

class ByteAccessTest : public DelvanTest
{
protected:
    void SetUp() override
    {
        DelvanTest::SetUp();
        ASSERT_EQ(StartPortWindow(16).status, STATUS_SUCCESS);
    }
};

TEST_F(ByteAccessTest, EveryOffsetOfASixteenByteWindowIsServedTheLastOneIncluded)
{
    for (ULONG offset = 0; offset < 16; ++offset)
        hk::SetPort(kPortBase + offset, static_cast<UCHAR>(0xA0 + offset));
    for (ULONG offset = 0; offset < 16; ++offset)
    {
        hk::Result r = ReadByte(offset);
        ASSERT_EQ(r.status, STATUS_SUCCESS) << offset;
        EXPECT_EQ(r.information, 4u);
        EXPECT_EQ(FirstUlong(r), 0xA0 + offset);
    }
    EXPECT_EQ(hk::Accesses().size(), 16u);
}

TEST_F(ByteAccessTest, OffsetsAtOrBeyondTheWindowLengthAreRefusedUntouched)
{
    for (ULONG offset : {16u, 17u, 0x7FFFFFFFu, 0xFFFFFFFFu})
    {
        hk::Result read = ReadByte(offset);
        EXPECT_EQ(read.status, STATUS_ACCESS_VIOLATION) << offset;
        EXPECT_EQ(read.information, 0u);
        EXPECT_EQ(WriteByte(offset, 0x12).status, STATUS_ACCESS_VIOLATION) << offset;
    }
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(ByteAccessTest, ShortBuffersAreRefusedBeforeTheOffsetIsLookedAt)
{
    EXPECT_EQ(ReadByte(0, 4, 3).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(ReadByte(0, 3, 4).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(ReadByte(99, 4, 3).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(WriteByte(0, 1, 7, 4).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(WriteByte(0, 1, 8, 3).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(WriteByte(99, 1, 7, 4).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(hk::DeviceControl(fdo, IOCTL_READ_BYTE, {}, 0).status, STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(ByteAccessTest, LongerBuffersAreServed)
{
    hk::Result r = ReadByte(1, 12, 16);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 4u);
}

TEST_F(ByteAccessTest, WriteTakesOnlyTheLowByteOfTheValueAndReturnsIt)
{
    hk::Result r = WriteByte(5, 0x1A5);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 4u);
    EXPECT_EQ(r.output, (std::vector<UCHAR>{0xA5, 0x00, 0x00, 0x00}));
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{Kind::PortWrite, kPortBase + 5, 0xA5}}));
    EXPECT_EQ(hk::PortValue(kPortBase + 5), 0xA5);
}

TEST_F(ByteAccessTest, ReadByteIsZeroExtended)
{
    hk::SetPort(kPortBase + 2, 0x80);
    hk::Result r = ReadByte(2);
    EXPECT_EQ(r.output, (std::vector<UCHAR>{0x80, 0x00, 0x00, 0x00}));
}

TEST_F(ByteAccessTest, OtherControlCodesAreInvalidDeviceRequests)
{
    hk::Result r = hk::DeviceControl(
        fdo, CTL_CODE(FILE_DEVICE_UNKNOWN, 0x803, METHOD_BUFFERED, FILE_ANY_ACCESS), Ulongs({0, 1}, 8), 4);
    EXPECT_EQ(r.status, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(r.information, 0u);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(ByteAccessTest, PlainReadAndWriteSucceedWithNothingTransferred)
{
    hk::Result read = hk::Read(fdo, 10);
    EXPECT_EQ(read.status, STATUS_SUCCESS);
    EXPECT_EQ(read.information, 0u);
    hk::Result write = hk::Write(fdo, {1, 2, 3});
    EXPECT_EQ(write.status, STATUS_SUCCESS);
    EXPECT_EQ(write.information, 0u);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(ByteAccessTest, RequestsFromSeveralThreadsAreEachServed)
{
    std::vector<hk::Result> results(4 * 16);
    {
        std::vector<std::unique_ptr<hk::Thread>> threads;
        for (int t = 0; t < 4; ++t)
            threads.push_back(std::make_unique<hk::Thread>(
                [&, t]
                {
                    for (ULONG offset = 0; offset < 16; ++offset)
                        results[t * 16 + offset] = ReadByte(offset);
                }));
    }
    for (const auto& r : results)
        EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(hk::Accesses().size(), 64u);
}

class ByteAccessMemoryTest : public DelvanTest
{
};

TEST_F(ByteAccessMemoryTest, MappedWindowIsReadAndWrittenThroughRegisters)
{
    ASSERT_EQ(StartMemoryWindow(16).status, STATUS_SUCCESS);
    EXPECT_EQ(WriteByte(15, 0x3C).status, STATUS_SUCCESS);
    EXPECT_EQ(FirstUlong(ReadByte(15)), 0x3Cu);
    EXPECT_EQ(hk::PhysicalValue(kMemoryBase + 15), 0x3C);
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{Kind::RegisterWrite, kMemoryBase + 15, 0x3C},
                                                       {Kind::RegisterRead, kMemoryBase + 15, 0x3C}}));
}

TEST_F(ByteAccessMemoryTest, WindowOfLengthZeroServesNoOffset)
{
    ASSERT_EQ(StartPortWindow(0).status, STATUS_SUCCESS);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_READY);
    EXPECT_EQ(ReadByte(0xFFFFFFFF).status, STATUS_DEVICE_NOT_READY);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(ByteAccessMemoryTest, ControlRequestsBeforeAStartAreNotConnected)
{
    hk::Result r = ReadByte(0);
    EXPECT_EQ(r.status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(r.information, 0u);
    EXPECT_TRUE(hk::Accesses().empty());
}

}  // namespace
