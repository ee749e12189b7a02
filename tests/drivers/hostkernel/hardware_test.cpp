#include "probe_fixture.h"

namespace
{

using Kind = hk::Access::Kind;

class Hardware : public hk::KernelTest
{
protected:
    static PHYSICAL_ADDRESS At(LONGLONG address)
    {
        PHYSICAL_ADDRESS a;
        a.QuadPart = address;
        return a;
    }
};

TEST_F(Hardware, PortAccessesReachThePortSpaceAndAreLoggedInOrder)
{
    hk::SetPort(0x301, 0x42);
    WRITE_PORT_UCHAR(reinterpret_cast<PUCHAR>(0x300), 0x7E);
    EXPECT_EQ(READ_PORT_UCHAR(reinterpret_cast<PUCHAR>(0x301)), 0x42);
    EXPECT_EQ(READ_PORT_UCHAR(reinterpret_cast<PUCHAR>(0x302)), 0xFF);
    EXPECT_EQ(hk::PortValue(0x300), 0x7E);
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{Kind::PortWrite, 0x300, 0x7E},
                                                       {Kind::PortRead, 0x301, 0x42},
                                                       {Kind::PortRead, 0x302, 0xFF}}));
}

TEST_F(Hardware, PortBeyondTheIoSpaceIsAFault)
{
    READ_PORT_UCHAR(reinterpret_cast<PUCHAR>(0x10000));
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(Hardware, RegisterAccessesGoThroughTheMappingToPhysicalMemory)
{
    hk::SetPhysical(0xFEB00005, 0x99);
    auto* base = static_cast<volatile UCHAR*>(MmMapIoSpace(At(0xFEB00000), 16, MmNonCached));
    ASSERT_NE(base, nullptr);
    WRITE_REGISTER_UCHAR(base + 3, 0x11);
    EXPECT_EQ(READ_REGISTER_UCHAR(base + 5), 0x99);
    EXPECT_EQ(hk::PhysicalValue(0xFEB00003), 0x11);
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{Kind::RegisterWrite, 0xFEB00003, 0x11},
                                                       {Kind::RegisterRead, 0xFEB00005, 0x99}}));
    ASSERT_EQ(hk::Mappings().size(), 1u);
    MmUnmapIoSpace(const_cast<UCHAR*>(base), 16);
    EXPECT_TRUE(hk::Mappings().empty());
    EXPECT_EQ(hk::MapCalls(), 1);
    EXPECT_EQ(hk::UnmapCalls(), 1);
}

TEST_F(Hardware, AccessAfterUnmapOrPastTheMappingIsCaughtAndTouchesNothing)
{
    auto* base = static_cast<volatile UCHAR*>(MmMapIoSpace(At(0xFEB00000), 16, MmNonCached));
    WRITE_REGISTER_UCHAR(base + 16, 1);
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
    MmUnmapIoSpace(const_cast<UCHAR*>(base), 16);
    READ_REGISTER_UCHAR(base);
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
    EXPECT_TRUE(hk::Accesses().empty());
    EXPECT_EQ(hk::PhysicalValue(0xFEB00010), 0xFF);
}

TEST_F(Hardware, MappingCanBeMadeToFailOnce)
{
    hk::FailNext(hk::Op::MapIoSpace);
    EXPECT_EQ(MmMapIoSpace(At(0xFEB00000), 16, MmNonCached), nullptr);
    PVOID base = MmMapIoSpace(At(0xFEB00000), 16, MmNonCached);
    EXPECT_NE(base, nullptr);
    MmUnmapIoSpace(base, 16);
}

TEST_F(Hardware, UnmapWithAnotherLengthIsAFault)
{
    PVOID base = MmMapIoSpace(At(0xFEB00000), 16, MmNonCached);
    MmUnmapIoSpace(base, 8);
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
}

TEST_F(Hardware, HeldAccessOvertakenByAnUnmapIsCaught)
{
    auto* base = static_cast<volatile UCHAR*>(MmMapIoSpace(At(0xFEB00000), 16, MmNonCached));
    hk::HoldAccesses();
    hk::Thread reader([&] { READ_REGISTER_UCHAR(base + 1); });
    ASSERT_TRUE(hk::WaitForHeldAccesses(1));
    MmUnmapIoSpace(const_cast<UCHAR*>(base), 16);
    hk::ReleaseAccesses();
    reader.Join();
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
}

TEST(ResourceLayout, PartialDescriptorIsTwentyBytesAsOnX64)
{
    EXPECT_EQ(sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR), 20u);
    EXPECT_EQ(offsetof(CM_PARTIAL_RESOURCE_DESCRIPTOR, u), 4u);
    EXPECT_EQ(offsetof(CM_PARTIAL_RESOURCE_LIST, PartialDescriptors), 8u);
    EXPECT_EQ(offsetof(CM_FULL_RESOURCE_DESCRIPTOR, PartialResourceList), 8u);
    EXPECT_EQ(offsetof(CM_RESOURCE_LIST, List), 4u);
}

TEST(ResourceLayout, BuiltListHoldsTheDescriptorsInOrderAtTheirRealStride)
{
    hk::ResourceList list;
    list.Interrupt(5, 0x35).Port(0xE000, 16, CM_RESOURCE_PORT_MEMORY).Port(0xD000, 8);
    PCM_RESOURCE_LIST l = list.Get();
    ASSERT_EQ(l->Count, 1u);
    const CM_PARTIAL_RESOURCE_LIST& partial = l->List[0].PartialResourceList;
    ASSERT_EQ(partial.Count, 3u);
    const auto* bytes = reinterpret_cast<const UCHAR*>(partial.PartialDescriptors);
    EXPECT_EQ(bytes[0], CmResourceTypeInterrupt);
    EXPECT_EQ(bytes[20], CmResourceTypePort);
    EXPECT_EQ(bytes[40], CmResourceTypePort);
    const auto* second = reinterpret_cast<const CM_PARTIAL_RESOURCE_DESCRIPTOR*>(bytes + 20);
    // Packed members are copied out before comparing: the descriptor is only
    // 4-byte aligned, as in the kernel.
    LONGLONG start = second->u.Port.Start.QuadPart;
    ULONG length = second->u.Port.Length;
    EXPECT_EQ(start, 0xE000);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(second->Flags, CM_RESOURCE_PORT_MEMORY);
    EXPECT_EQ(list.Size(), 4u + 8u + 8u + 3 * 20u);
    EXPECT_EQ(hk::ResourceList::NoFullDescriptor().Get()->Count, 0u);
}

}  // namespace
