// Simulated I/O port space and physical memory, reached through port
// instructions and mapped register addresses, with a log of every access.
#include <cstdio>

#include "internal.h"

using namespace hk::detail;

namespace
{

constexpr UCHAR kFloatingBus = 0xFF;

// Every access passes here first; a held access waits with the lock released,
// so the rest of the kernel, an unmap included, goes on meanwhile.
void GateLocked(std::unique_lock<std::mutex>& lock)
{
    Kernel& k = K();
    if (!k.holdAccesses)
        return;
    auto self = k.held.insert(std::this_thread::get_id());
    k.cv.notify_all();
    k.cv.wait(lock, [&] { return !k.holdAccesses; });
    k.held.erase(self);
}

const hk::Mapping* FindMappingLocked(const volatile UCHAR* address)
{
    auto a = reinterpret_cast<uintptr_t>(address);
    auto it = K().mappings.upper_bound(a);
    if (it == K().mappings.begin())
        return nullptr;
    --it;
    if (a - it->first >= it->second.length)
        return nullptr;
    return &it->second;
}

std::string Hex(uintptr_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

bool PortInRange(PUCHAR port, const char* routine)
{
    auto p = reinterpret_cast<uintptr_t>(port);
    if (p <= 0xFFFF)
        return true;
    FaultLocked(std::string(routine) + " outside the I/O port space at " + Hex(p));
    return false;
}

UCHAR PhysicalLocked(ULONGLONG address)
{
    auto it = K().physical.find(address);
    return it == K().physical.end() ? kFloatingBus : it->second;
}

}  // namespace

namespace hk::detail
{

void ResetHardware()
{
    Kernel& k = K();
    k.ports.fill(kFloatingBus);
    k.physical.clear();
    for (auto& [base, mapping] : k.mappings)
        delete[] static_cast<UCHAR*>(mapping.base);
    k.mappings.clear();
    k.retired.clear();
    k.mapCalls = 0;
    k.unmapCalls = 0;
    k.accesses.clear();
    k.holdAccesses = false;
    k.interlockedTarget = nullptr;
    k.holdInterlocked = false;
}

}  // namespace hk::detail

extern "C"
{

    UCHAR READ_PORT_UCHAR(PUCHAR Port)
    {
        std::unique_lock lock(K().m);
        GateLocked(lock);
        if (!PortInRange(Port, "READ_PORT_UCHAR"))
            return kFloatingBus;
        auto p = reinterpret_cast<uintptr_t>(Port);
        UCHAR value = K().ports[p];
        K().accesses.push_back({hk::Access::Kind::PortRead, p, value});
        return value;
    }

    VOID WRITE_PORT_UCHAR(PUCHAR Port, UCHAR Value)
    {
        std::unique_lock lock(K().m);
        GateLocked(lock);
        if (!PortInRange(Port, "WRITE_PORT_UCHAR"))
            return;
        auto p = reinterpret_cast<uintptr_t>(Port);
        K().ports[p] = Value;
        K().accesses.push_back({hk::Access::Kind::PortWrite, p, Value});
    }

    UCHAR READ_REGISTER_UCHAR(volatile UCHAR* Register)
    {
        std::unique_lock lock(K().m);
        GateLocked(lock);
        const hk::Mapping* mapping = FindMappingLocked(Register);
        if (mapping == nullptr)
        {
            FaultLocked("READ_REGISTER_UCHAR through unmapped address " +
                        Hex(reinterpret_cast<uintptr_t>(Register)));
            return kFloatingBus;
        }
        ULONGLONG physical = mapping->physical + (reinterpret_cast<uintptr_t>(Register) -
                                                  reinterpret_cast<uintptr_t>(mapping->base));
        UCHAR value = PhysicalLocked(physical);
        K().accesses.push_back({hk::Access::Kind::RegisterRead, physical, value});
        return value;
    }

    VOID WRITE_REGISTER_UCHAR(volatile UCHAR* Register, UCHAR Value)
    {
        std::unique_lock lock(K().m);
        GateLocked(lock);
        const hk::Mapping* mapping = FindMappingLocked(Register);
        if (mapping == nullptr)
        {
            FaultLocked("WRITE_REGISTER_UCHAR through unmapped address " +
                        Hex(reinterpret_cast<uintptr_t>(Register)));
            return;
        }
        ULONGLONG physical = mapping->physical + (reinterpret_cast<uintptr_t>(Register) -
                                                  reinterpret_cast<uintptr_t>(mapping->base));
        K().physical[physical] = Value;
        K().accesses.push_back({hk::Access::Kind::RegisterWrite, physical, Value});
    }

    PVOID MmMapIoSpace(PHYSICAL_ADDRESS PhysicalAddress, SIZE_T NumberOfBytes, MEMORY_CACHING_TYPE)
    {
        std::lock_guard lock(K().m);
        NTSTATUS ignored;
        if (TakeFailure(hk::Op::MapIoSpace, &ignored))
            return nullptr;
        if (NumberOfBytes == 0)
        {
            FaultLocked("MmMapIoSpace of 0 bytes");
            return nullptr;
        }
        // Real memory behind each mapping gives every mapping its own addresses;
        // the bytes themselves live in the simulated physical memory.
        auto* base = new UCHAR[NumberOfBytes];
        hk::Mapping mapping;
        mapping.base = base;
        mapping.physical = static_cast<ULONGLONG>(PhysicalAddress.QuadPart);
        mapping.length = NumberOfBytes;
        K().mappings[reinterpret_cast<uintptr_t>(base)] = mapping;
        K().mapCalls++;
        return base;
    }

    VOID HkInterlockedGate(LONG volatile* Target)
    {
        Kernel& k = K();
        if (k.interlockedTarget.load() != Target)
            return;
        std::unique_lock lock(k.m);
        if (k.interlockedTarget.load() != Target)
            return;
        k.interlockedTarget = nullptr;
        auto self = k.held.insert(std::this_thread::get_id());
        k.cv.notify_all();
        k.cv.wait(lock, [&] { return !k.holdInterlocked; });
        k.held.erase(self);
    }

    VOID MmUnmapIoSpace(PVOID BaseAddress, SIZE_T NumberOfBytes)
    {
        std::lock_guard lock(K().m);
        auto it = K().mappings.find(reinterpret_cast<uintptr_t>(BaseAddress));
        if (it == K().mappings.end())
        {
            FaultLocked("MmUnmapIoSpace of an address that is not a mapping's base " +
                        Hex(reinterpret_cast<uintptr_t>(BaseAddress)));
            return;
        }
        if (it->second.length != NumberOfBytes)
            FaultLocked("MmUnmapIoSpace with length " + std::to_string(NumberOfBytes) + " of a mapping of " +
                        std::to_string(it->second.length) + " bytes");
        K().retired.emplace_back(static_cast<UCHAR*>(it->second.base));
        K().mappings.erase(it);
        K().unmapCalls++;
    }

}  // extern "C"

namespace hk
{

std::vector<Access> Accesses()
{
    std::lock_guard lock(K().m);
    return K().accesses;
}

void ClearAccesses()
{
    std::lock_guard lock(K().m);
    K().accesses.clear();
}

void SetPort(ULONG port, UCHAR value)
{
    std::lock_guard lock(K().m);
    K().ports.at(port) = value;
}

UCHAR PortValue(ULONG port)
{
    std::lock_guard lock(K().m);
    return K().ports.at(port);
}

void SetPhysical(ULONGLONG address, UCHAR value)
{
    std::lock_guard lock(K().m);
    K().physical[address] = value;
}

UCHAR PhysicalValue(ULONGLONG address)
{
    std::lock_guard lock(K().m);
    return PhysicalLocked(address);
}

std::vector<Mapping> Mappings()
{
    std::lock_guard lock(K().m);
    std::vector<Mapping> live;
    for (const auto& [base, mapping] : K().mappings)
        live.push_back(mapping);
    return live;
}

int MapCalls()
{
    std::lock_guard lock(K().m);
    return K().mapCalls;
}

int UnmapCalls()
{
    std::lock_guard lock(K().m);
    return K().unmapCalls;
}

void HoldAccesses()
{
    std::lock_guard lock(K().m);
    K().holdAccesses = true;
}

bool WaitForHeldAccesses(int count)
{
    std::unique_lock lock(K().m);
    K().cv.wait(lock, [&] { return static_cast<int>(K().held.size()) >= count || StalledLocked(); });
    return static_cast<int>(K().held.size()) >= count;
}

void HoldInterlocked(volatile LONG* target)
{
    std::lock_guard lock(K().m);
    K().interlockedTarget = target;
    K().holdInterlocked = true;
}

void ReleaseAccesses()
{
    std::lock_guard lock(K().m);
    K().holdAccesses = false;
    K().interlockedTarget = nullptr;
    K().holdInterlocked = false;
    K().cv.notify_all();
}

}  // namespace hk
