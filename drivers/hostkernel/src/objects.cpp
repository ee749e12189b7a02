// Drivers, device objects, names, symbolic links, device interfaces, pool and
// counted strings.
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "internal.h"

namespace hk::detail
{

Kernel& K()
{
    static Kernel kernel;
    return kernel;
}

void FaultLocked(const std::string& message)
{
    std::fprintf(stderr, "hostkernel fault: %s\n", message.c_str());
    K().faults.push_back(message);
}

bool TakeFailure(Op op, NTSTATUS* status)
{
    auto it = K().failNext.find(op);
    if (it == K().failNext.end())
        return false;
    *status = it->second;
    K().failNext.erase(it);
    return true;
}

std::wstring ToWide(PCUNICODE_STRING s)
{
    if (s == nullptr || s->Buffer == nullptr)
        return {};
    return std::wstring(s->Buffer, s->Length / sizeof(WCHAR));
}

std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s)
        out += (c < 0x80) ? static_cast<char>(c) : '?';
    return out;
}

void* AllocatePoolLocked(size_t bytes)
{
    void* p = std::calloc(1, bytes == 0 ? 1 : bytes);
    K().pool[p] = bytes;
    return p;
}

static void FreePoolLocked(void* p)
{
    auto it = K().pool.find(p);
    if (it == K().pool.end())
    {
        FaultLocked("pool freed that is not allocated (freed twice?)");
        return;
    }
    K().pool.erase(it);
    std::free(p);
}

static std::string DeviceLabel(PDEVICE_OBJECT device)
{
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(device));
    return text;
}

static void FreeDriverObject(PDRIVER_OBJECT driver)
{
    delete[] driver->DriverName.Buffer;
    delete driver->DriverExtension;
    delete driver;
}

static void FreeDeviceBlock(PDEVICE_OBJECT device) { std::free(device); }

DeviceInfo* LiveDeviceLocked(PDEVICE_OBJECT device)
{
    auto it = K().devices.find(device);
    return it == K().devices.end() || it->second.deleted ? nullptr : &it->second;
}

void ReferenceDeviceLocked(PDEVICE_OBJECT device) { K().devices.at(device).references++; }

void DereferenceDeviceLocked(PDEVICE_OBJECT device)
{
    auto it = K().devices.find(device);
    if (--it->second.references == 0 && it->second.deleted)
    {
        K().devices.erase(it);
        FreeDeviceBlock(device);
    }
}

void ResetObjects()
{
    Kernel& k = K();
    for (auto& [device, info] : k.devices)
        FreeDeviceBlock(device);
    k.devices.clear();
    for (PDRIVER_OBJECT driver : k.drivers)
        FreeDriverObject(driver);
    k.drivers.clear();
    k.bus = nullptr;
    k.nextPdoIndex = 0;
    k.names.clear();
    k.links.clear();
    k.linkDeletions.clear();
    k.interfaces.clear();
    for (auto& [p, size] : k.pool)
        std::free(p);
    k.pool.clear();
    k.failNext.clear();
    k.attachNone = false;
}

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP irp)
{
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

static PDRIVER_OBJECT NewDriverObjectLocked(const std::wstring& service)
{
    auto* driver = new DRIVER_OBJECT{};
    driver->Type = 4;
    driver->Size = sizeof(DRIVER_OBJECT);
    driver->DriverExtension = new DRIVER_EXTENSION{};
    driver->DriverExtension->DriverObject = driver;
    std::wstring name = L"\\Driver\\" + service;
    auto* buffer = new WCHAR[name.size() + 1];
    std::wmemcpy(buffer, name.c_str(), name.size() + 1);
    driver->DriverName.Buffer = buffer;
    driver->DriverName.Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    driver->DriverName.MaximumLength = static_cast<USHORT>(driver->DriverName.Length + sizeof(WCHAR));
    for (auto& handler : driver->MajorFunction)
        handler = InvalidDeviceRequest;
    K().drivers.insert(driver);
    return driver;
}

static NTSTATUS CreateDeviceLocked(PDRIVER_OBJECT driver, ULONG extensionSize, const std::wstring& name,
                                   DEVICE_TYPE type, ULONG characteristics, BOOLEAN exclusive,
                                   PDEVICE_OBJECT* result)
{
    Kernel& k = K();
    if (!name.empty() && k.names.count(name))
        return STATUS_OBJECT_NAME_COLLISION;
    auto* device = static_cast<PDEVICE_OBJECT>(std::calloc(1, sizeof(DEVICE_OBJECT) + extensionSize));
    device->Type = 3;
    device->Size = static_cast<USHORT>(sizeof(DEVICE_OBJECT) + extensionSize);
    device->DriverObject = driver;
    device->Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
    device->Characteristics = characteristics;
    device->DeviceType = type;
    device->StackSize = 1;
    device->DeviceExtension =
        extensionSize ? reinterpret_cast<UCHAR*>(device) + sizeof(DEVICE_OBJECT) : nullptr;
    device->NextDevice = driver->DeviceObject;
    driver->DeviceObject = device;
    DeviceInfo info;
    info.name = name;
    info.extensionSize = extensionSize;
    k.devices[device] = info;
    if (!name.empty())
        k.names[name] = device;
    *result = device;
    return STATUS_SUCCESS;
}

}  // namespace hk::detail

using namespace hk::detail;

// ---------------------------------------------------------------------------
// Kernel routines

extern "C"
{

    NTSTATUS IoCreateDevice(PDRIVER_OBJECT DriverObject, ULONG DeviceExtensionSize,
                            PUNICODE_STRING DeviceName, DEVICE_TYPE DeviceType, ULONG DeviceCharacteristics,
                            BOOLEAN Exclusive, PDEVICE_OBJECT* DeviceObject)
    {
        std::lock_guard lock(K().m);
        *DeviceObject = nullptr;
        NTSTATUS status;
        if (TakeFailure(hk::Op::CreateDevice, &status))
            return status;
        if (!K().drivers.count(DriverObject))
        {
            FaultLocked("IoCreateDevice with an unknown driver object");
            return STATUS_INVALID_PARAMETER;
        }
        return CreateDeviceLocked(DriverObject, DeviceExtensionSize, ToWide(DeviceName), DeviceType,
                                  DeviceCharacteristics, Exclusive, DeviceObject);
    }

    VOID IoDeleteDevice(PDEVICE_OBJECT DeviceObject)
    {
        std::lock_guard lock(K().m);
        Kernel& k = K();
        DeviceInfo* info = LiveDeviceLocked(DeviceObject);
        if (info == nullptr)
        {
            FaultLocked("IoDeleteDevice of a device that does not exist (deleted twice?)");
            return;
        }
        if (info->attachedTo != nullptr)
            FaultLocked("device " + DeviceLabel(DeviceObject) + " deleted while still attached");
        if (DeviceObject->AttachedDevice != nullptr)
            FaultLocked("device " + DeviceLabel(DeviceObject) +
                        " deleted while another device is attached to it");
        if (!info->name.empty())
            k.names.erase(info->name);
        PDEVICE_OBJECT* link = &DeviceObject->DriverObject->DeviceObject;
        while (*link != nullptr && *link != DeviceObject)
            link = &(*link)->NextDevice;
        if (*link == DeviceObject)
            *link = DeviceObject->NextDevice;
        info->deleted = true;
        ReferenceDeviceLocked(DeviceObject);
        DereferenceDeviceLocked(DeviceObject);
    }

    PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT SourceDevice, PDEVICE_OBJECT TargetDevice)
    {
        std::lock_guard lock(K().m);
        Kernel& k = K();
        if (k.attachNone)
        {
            k.attachNone = false;
            return nullptr;
        }
        if (!LiveDeviceLocked(SourceDevice) || !LiveDeviceLocked(TargetDevice))
        {
            FaultLocked("IoAttachDeviceToDeviceStack with a device that does not exist");
            return nullptr;
        }
        PDEVICE_OBJECT top = TargetDevice;
        while (top->AttachedDevice != nullptr)
            top = top->AttachedDevice;
        top->AttachedDevice = SourceDevice;
        SourceDevice->StackSize = static_cast<CCHAR>(top->StackSize + 1);
        k.devices[SourceDevice].attachedTo = top;
        return top;
    }

    VOID IoDetachDevice(PDEVICE_OBJECT TargetDevice)
    {
        std::lock_guard lock(K().m);
        Kernel& k = K();
        if (!LiveDeviceLocked(TargetDevice) || TargetDevice->AttachedDevice == nullptr)
        {
            FaultLocked("IoDetachDevice of a device nothing is attached to");
            return;
        }
        k.devices[TargetDevice->AttachedDevice].attachedTo = nullptr;
        TargetDevice->AttachedDevice = nullptr;
    }

    NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING SymbolicLinkName, PUNICODE_STRING DeviceName)
    {
        std::lock_guard lock(K().m);
        NTSTATUS status;
        if (TakeFailure(hk::Op::CreateSymbolicLink, &status))
            return status;
        std::wstring link = ToWide(SymbolicLinkName);
        if (K().links.count(link))
            return STATUS_OBJECT_NAME_COLLISION;
        K().links[link] = ToWide(DeviceName);
        return STATUS_SUCCESS;
    }

    NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING SymbolicLinkName)
    {
        std::lock_guard lock(K().m);
        std::wstring link = ToWide(SymbolicLinkName);
        K().linkDeletions[link]++;
        return K().links.erase(link) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
    }

    NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT PhysicalDeviceObject, const GUID* InterfaceClassGuid,
                                       PUNICODE_STRING ReferenceString, PUNICODE_STRING SymbolicLinkName)
    {
        std::lock_guard lock(K().m);
        Kernel& k = K();
        NTSTATUS status;
        if (TakeFailure(hk::Op::RegisterDeviceInterface, &status))
            return status;
        DeviceInfo* device = LiveDeviceLocked(PhysicalDeviceObject);
        if (device == nullptr || !device->pdo)
        {
            FaultLocked("IoRegisterDeviceInterface with something that is not a physical device object");
            return STATUS_INVALID_DEVICE_REQUEST;
        }
        const GUID& g = *InterfaceClassGuid;
        wchar_t guidText[64];
        std::swprintf(guidText, 64, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                      g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                      g.Data4[6], g.Data4[7]);
        std::wstring name = L"\\??\\HK#PDO#" + std::to_wstring(device->pdoIndex) + L"#" + guidText;
        std::wstring reference = ToWide(ReferenceString);
        if (!reference.empty())
            name += L"\\" + reference;

        bool known = false;
        for (const auto& i : k.interfaces)
            known = known || i.name == name;
        if (!known)
        {
            hk::Interface entry;
            entry.pdo = PhysicalDeviceObject;
            entry.guid = g;
            entry.name = name;
            k.interfaces.push_back(entry);
        }
        auto* buffer = static_cast<PWSTR>(AllocatePoolLocked((name.size() + 1) * sizeof(WCHAR)));
        std::wmemcpy(buffer, name.c_str(), name.size() + 1);
        SymbolicLinkName->Buffer = buffer;
        SymbolicLinkName->Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
        SymbolicLinkName->MaximumLength = static_cast<USHORT>(SymbolicLinkName->Length + sizeof(WCHAR));
        return STATUS_SUCCESS;
    }

    NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING SymbolicLinkName, BOOLEAN Enable)
    {
        std::lock_guard lock(K().m);
        NTSTATUS status;
        if (TakeFailure(hk::Op::SetDeviceInterfaceState, &status))
            return status;
        std::wstring name = ToWide(SymbolicLinkName);
        for (auto& i : K().interfaces)
        {
            if (i.name != name)
                continue;
            bool enable = Enable != FALSE;
            if (i.enabled == enable)
                return enable ? STATUS_OBJECT_NAME_EXISTS : STATUS_SUCCESS;
            i.enabled = enable;
            i.stateChanges++;
            return STATUS_SUCCESS;
        }
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }

    VOID RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString)
    {
        DestinationString->Buffer = const_cast<PWSTR>(SourceString);
        size_t length = SourceString ? std::wcslen(SourceString) * sizeof(WCHAR) : 0;
        DestinationString->Length = static_cast<USHORT>(length);
        DestinationString->MaximumLength = static_cast<USHORT>(SourceString ? length + sizeof(WCHAR) : 0);
    }

    VOID RtlFreeUnicodeString(PUNICODE_STRING UnicodeString)
    {
        if (UnicodeString->Buffer != nullptr)
        {
            std::lock_guard lock(K().m);
            FreePoolLocked(UnicodeString->Buffer);
        }
        UnicodeString->Buffer = nullptr;
        UnicodeString->Length = 0;
        UnicodeString->MaximumLength = 0;
    }

    PVOID ExAllocatePoolWithTag(POOL_TYPE, SIZE_T NumberOfBytes, ULONG)
    {
        std::lock_guard lock(K().m);
        NTSTATUS status;
        if (TakeFailure(hk::Op::AllocatePool, &status))
            return nullptr;
        return AllocatePoolLocked(NumberOfBytes);
    }

    VOID ExFreePoolWithTag(PVOID P, ULONG) { ExFreePool(P); }

    VOID ExFreePool(PVOID P)
    {
        std::lock_guard lock(K().m);
        FreePoolLocked(P);
    }

}  // extern "C"

// ---------------------------------------------------------------------------
// Test control

namespace hk
{

void Reset()
{
    std::lock_guard lock(K().m);
    ResetIo();
    ResetObjects();
    ResetHardware();
    K().faults.clear();
}

std::vector<std::string> TakeFaults()
{
    std::lock_guard lock(K().m);
    std::vector<std::string> faults;
    faults.swap(K().faults);
    return faults;
}

void Fault(const std::string& message)
{
    std::lock_guard lock(K().m);
    FaultLocked(message);
}

}  // namespace hk

extern "C" VOID HkAssertionFailed(const char* Expression, const char* File, int Line)
{
    hk::Fault(std::string("NT_ASSERT(") + Expression + ") failed at " + File + ":" + std::to_string(Line));
}

namespace hk
{

PDRIVER_OBJECT LoadDriver(PDRIVER_INITIALIZE entry, const wchar_t* serviceName, NTSTATUS* entryStatus)
{
    PDRIVER_OBJECT driver;
    {
        std::lock_guard lock(K().m);
        driver = NewDriverObjectLocked(serviceName);
    }
    std::wstring path =
        std::wstring(L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\") + serviceName;
    UNICODE_STRING registryPath;
    RtlInitUnicodeString(&registryPath, path.c_str());
    NTSTATUS status = entry(driver, &registryPath);
    if (entryStatus != nullptr)
        *entryStatus = status;
    return driver;
}

void UnloadDriver(PDRIVER_OBJECT driver)
{
    {
        std::lock_guard lock(K().m);
        if (!K().drivers.count(driver))
        {
            FaultLocked("UnloadDriver of a driver that is not loaded");
            return;
        }
        if (driver->DeviceObject != nullptr)
            FaultLocked("driver unloaded while it still owns device objects");
    }
    if (driver->DriverUnload != nullptr)
        driver->DriverUnload(driver);
    std::lock_guard lock(K().m);
    if (driver->DeviceObject == nullptr)
    {
        K().drivers.erase(driver);
        FreeDriverObject(driver);
    }
}

PDEVICE_OBJECT CreatePdo()
{
    std::lock_guard lock(K().m);
    Kernel& k = K();
    if (k.bus == nullptr)
    {
        k.bus = NewDriverObjectLocked(L"hkbus");
        for (auto& handler : k.bus->MajorFunction)
            handler = BusDispatch;
    }
    PDEVICE_OBJECT pdo = nullptr;
    unsigned index = k.nextPdoIndex++;
    CreateDeviceLocked(k.bus, 0, L"\\Device\\HkPdo" + std::to_wstring(index), FILE_DEVICE_UNKNOWN, 0, FALSE,
                       &pdo);
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    k.devices[pdo].pdo = true;
    k.devices[pdo].pdoIndex = index;
    return pdo;
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    NTSTATUS status = driver->DriverExtension->AddDevice(driver, pdo);
    std::lock_guard lock(K().m);
    if (NT_SUCCESS(status))
    {
        PDEVICE_OBJECT top = pdo;
        while (top->AttachedDevice != nullptr)
            top = top->AttachedDevice;
        if (top != pdo && (top->Flags & DO_DEVICE_INITIALIZING))
            FaultLocked("AddDevice succeeded but left DO_DEVICE_INITIALIZING set");
    }
    return status;
}

PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT pdo)
{
    std::lock_guard lock(K().m);
    PDEVICE_OBJECT top = pdo;
    while (top->AttachedDevice != nullptr)
        top = top->AttachedDevice;
    return top;
}

PDEVICE_OBJECT AttachedTo(PDEVICE_OBJECT device)
{
    std::lock_guard lock(K().m);
    DeviceInfo* info = LiveDeviceLocked(device);
    return info == nullptr ? nullptr : info->attachedTo;
}

bool DeviceExists(PDEVICE_OBJECT device)
{
    std::lock_guard lock(K().m);
    return LiveDeviceLocked(device) != nullptr;
}

size_t DeviceCount()
{
    std::lock_guard lock(K().m);
    size_t live = 0;
    for (const auto& [device, info] : K().devices)
        live += info.deleted ? 0 : 1;
    return live;
}

std::wstring DeviceName(PDEVICE_OBJECT device)
{
    std::lock_guard lock(K().m);
    DeviceInfo* info = LiveDeviceLocked(device);
    return info == nullptr ? std::wstring() : info->name;
}

ULONG DeviceExtensionSize(PDEVICE_OBJECT device)
{
    std::lock_guard lock(K().m);
    DeviceInfo* info = LiveDeviceLocked(device);
    return info == nullptr ? 0 : info->extensionSize;
}

void FailNext(Op op, NTSTATUS status)
{
    std::lock_guard lock(K().m);
    K().failNext[op] = status;
}

void AttachReturnsNone()
{
    std::lock_guard lock(K().m);
    K().attachNone = true;
}

std::map<std::wstring, std::wstring> SymbolicLinks()
{
    std::lock_guard lock(K().m);
    return K().links;
}

int SymbolicLinkDeletions(const std::wstring& link)
{
    std::lock_guard lock(K().m);
    auto it = K().linkDeletions.find(link);
    return it == K().linkDeletions.end() ? 0 : it->second;
}

std::vector<Interface> Interfaces()
{
    std::lock_guard lock(K().m);
    return K().interfaces;
}

size_t OutstandingPoolAllocations()
{
    std::lock_guard lock(K().m);
    return K().pool.size();
}

}  // namespace hk
