// Resource lists laid out byte for byte as the kernel hands them to a start
// request, so drivers walk them with the real header types.
#include <algorithm>

#include "internal.h"

namespace hk
{

static CM_PARTIAL_RESOURCE_DESCRIPTOR Blank(UCHAR type, USHORT flags)
{
    CM_PARTIAL_RESOURCE_DESCRIPTOR d;
    std::memset(&d, 0, sizeof d);
    d.Type = type;
    d.ShareDisposition = CmResourceShareDeviceExclusive;
    d.Flags = flags;
    return d;
}

ResourceList& ResourceList::Port(ULONGLONG start, ULONG length, USHORT flags)
{
    CM_PARTIAL_RESOURCE_DESCRIPTOR d = Blank(CmResourceTypePort, flags);
    d.u.Port.Start.QuadPart = static_cast<LONGLONG>(start);
    d.u.Port.Length = length;
    return Descriptor(d);
}

ResourceList& ResourceList::Memory(ULONGLONG start, ULONG length, USHORT flags)
{
    CM_PARTIAL_RESOURCE_DESCRIPTOR d = Blank(CmResourceTypeMemory, flags);
    d.u.Memory.Start.QuadPart = static_cast<LONGLONG>(start);
    d.u.Memory.Length = length;
    return Descriptor(d);
}

ResourceList& ResourceList::Interrupt(ULONG level, ULONG vector, KAFFINITY affinity, USHORT flags)
{
    CM_PARTIAL_RESOURCE_DESCRIPTOR d = Blank(CmResourceTypeInterrupt, flags);
    d.ShareDisposition = CmResourceShareShared;
    d.u.Interrupt.Level = level;
    d.u.Interrupt.Vector = vector;
    d.u.Interrupt.Affinity = affinity;
    return Descriptor(d);
}

ResourceList& ResourceList::DevicePrivate(ULONG d0, ULONG d1, ULONG d2)
{
    CM_PARTIAL_RESOURCE_DESCRIPTOR d = Blank(CmResourceTypeDevicePrivate, 0);
    d.u.DevicePrivate.Data[0] = d0;
    d.u.DevicePrivate.Data[1] = d1;
    d.u.DevicePrivate.Data[2] = d2;
    return Descriptor(d);
}

ResourceList& ResourceList::Descriptor(const CM_PARTIAL_RESOURCE_DESCRIPTOR& descriptor)
{
    partials_.push_back(descriptor);
    storage_.clear();
    return *this;
}

ResourceList ResourceList::NoFullDescriptor()
{
    ResourceList list;
    list.noFull_ = true;
    return list;
}

size_t ResourceList::Size() const
{
    if (noFull_)
        return sizeof(ULONG);
    size_t partials = partials_.size();
    return offsetof(CM_RESOURCE_LIST, List) + offsetof(CM_FULL_RESOURCE_DESCRIPTOR, PartialResourceList) +
           offsetof(CM_PARTIAL_RESOURCE_LIST, PartialDescriptors) +
           partials * sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR);
}

PCM_RESOURCE_LIST ResourceList::Get()
{
    // Exactly the laid-out size (the types align to 4 bytes), so a walk past the
    // last descriptor runs off the allocation.
    storage_.assign(std::max(Size(), sizeof(CM_RESOURCE_LIST)) / sizeof(uint32_t), 0);
    auto* list = reinterpret_cast<PCM_RESOURCE_LIST>(storage_.data());
    if (noFull_)
        return list;
    list->Count = 1;
    CM_FULL_RESOURCE_DESCRIPTOR& full = list->List[0];
    full.InterfaceType = PCIBus;
    full.BusNumber = 0;
    full.PartialResourceList.Version = 1;
    full.PartialResourceList.Revision = 1;
    full.PartialResourceList.Count = static_cast<ULONG>(partials_.size());
    auto* bytes = reinterpret_cast<UCHAR*>(full.PartialResourceList.PartialDescriptors);
    for (size_t i = 0; i < partials_.size(); ++i)
        std::memcpy(bytes + i * sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR), &partials_[i], sizeof partials_[i]);
    return list;
}

}  // namespace hk
