// pnpdevice: adds and removes a root-enumerated Plug and Play device the way
// an installer does, so a driver package can be taken through its whole life
// on a Windows kernel that has no bus for our board.
//
//   pnpdevice install <inf> <hardware id>   prints the new instance ID
//   pnpdevice remove  <hardware id>         removes every device with that ID
//
// Exit status: 0 done, 1 a call failed (the call and the error are printed),
// 2 wrong command line.
#include <windows.h>
#include <shellapi.h>
#include <setupapi.h>
#include <newdev.h>
#include <cfgmgr32.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace
{

int Usage()
{
    std::fprintf(stderr, "usage: pnpdevice install <inf> <hardware id>\n"
                         "       pnpdevice remove <hardware id>\n");
    return 2;
}

int Fail(const char* call)
{
    std::fprintf(stderr, "pnpdevice: %s failed (error 0x%lX)\n", call, GetLastError());
    return 1;
}

// The device list is freed on every path, so a failure in the middle does not
// leave a half-registered device behind in this process's view.
class DeviceList
{
public:
    explicit DeviceList(HDEVINFO set) : set_(set) {}
    ~DeviceList()
    {
        if (set_ != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    HDEVINFO get() const { return set_; }
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }

private:
    HDEVINFO set_;
};

int Install(const wchar_t* inf, const wchar_t* hardwareId)
{
    wchar_t infPath[MAX_PATH];
    if (GetFullPathNameW(inf, MAX_PATH, infPath, nullptr) == 0)
        return Fail("GetFullPathName");

    GUID classGuid;
    wchar_t className[MAX_CLASS_NAME];
    if (!SetupDiGetINFClassW(infPath, &classGuid, className, MAX_CLASS_NAME, nullptr))
        return Fail("SetupDiGetINFClass");

    DeviceList devices(SetupDiCreateDeviceInfoList(&classGuid, nullptr));
    if (!devices.valid())
        return Fail("SetupDiCreateDeviceInfoList");

    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoW(devices.get(), className, &classGuid, nullptr, nullptr, DICD_GENERATE_ID,
                                  &device))
        return Fail("SetupDiCreateDeviceInfo");

    // The property is a list of strings ending in an empty one.
    wchar_t ids[MAX_DEVICE_ID_LEN + 2] = {};
    std::size_t length = std::wcslen(hardwareId);
    if (length == 0 || length >= MAX_DEVICE_ID_LEN)
        return Usage();
    std::wmemcpy(ids, hardwareId, length);
    if (!SetupDiSetDeviceRegistryPropertyW(devices.get(), &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(ids),
                                           static_cast<DWORD>((length + 2) * sizeof(wchar_t))))
        return Fail("SetupDiSetDeviceRegistryProperty");

    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, devices.get(), &device))
        return Fail("SetupDiCallClassInstaller(DIF_REGISTERDEVICE)");

    wchar_t instanceId[MAX_DEVICE_ID_LEN];
    if (!SetupDiGetDeviceInstanceIdW(devices.get(), &device, instanceId, MAX_DEVICE_ID_LEN, nullptr))
        return Fail("SetupDiGetDeviceInstanceId");

    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, hardwareId, infPath, INSTALLFLAG_FORCE, &reboot))
    {
        int status = Fail("UpdateDriverForPlugAndPlayDevices");
        // Without a driver the registered node is only clutter.
        SetupDiCallClassInstaller(DIF_REMOVE, devices.get(), &device);
        return status;
    }
    // A SetupAPI that finds no matching model may still report success; the
    // device then has no service and nothing would ever load.
    DeviceList installed(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA check;
    check.cbSize = sizeof check;
    wchar_t service[256];
    if (!installed.valid() || !SetupDiOpenDeviceInfoW(installed.get(), instanceId, nullptr, 0, &check) ||
        !SetupDiGetDeviceRegistryPropertyW(installed.get(), &check, SPDRP_SERVICE, nullptr,
                                           reinterpret_cast<BYTE*>(service), sizeof service, nullptr))
    {
        std::fprintf(stderr, "pnpdevice: %ls got no driver from %ls\n", instanceId, infPath);
        SetupDiCallClassInstaller(DIF_REMOVE, devices.get(), &device);
        return 1;
    }
    std::printf("%ls%s\n", instanceId, reboot ? " (reboot required)" : "");
    return 0;
}

bool HasHardwareId(HDEVINFO set, SP_DEVINFO_DATA* device, const wchar_t* hardwareId)
{
    wchar_t ids[1024];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(ids),
                                           sizeof ids - 2 * sizeof(wchar_t), nullptr) ||
        type != REG_MULTI_SZ)
        return false;
    ids[sizeof ids / sizeof ids[0] - 2] = L'\0';
    ids[sizeof ids / sizeof ids[0] - 1] = L'\0';
    for (const wchar_t* id = ids; *id != L'\0'; id += std::wcslen(id) + 1)
    {
        if (_wcsicmp(id, hardwareId) == 0)
            return true;
    }
    return false;
}

int Remove(const wchar_t* hardwareId)
{
    DeviceList devices(SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    if (!devices.valid())
        return Fail("SetupDiGetClassDevs");

    int removed = 0;
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices.get(), index, &device); ++index)
    {
        if (!HasHardwareId(devices.get(), &device, hardwareId))
            continue;
        // Without class install parameters the removal is global, which is
        // what an uninstall means; not every SetupAPI stores such parameters.
        if (!SetupDiCallClassInstaller(DIF_REMOVE, devices.get(), &device))
            return Fail("SetupDiCallClassInstaller(DIF_REMOVE)");
        ++removed;
    }
    if (removed == 0)
    {
        std::fprintf(stderr, "pnpdevice: no device has the hardware ID %ls\n", hardwareId);
        return 1;
    }
    std::printf("removed %d\n", removed);
    return 0;
}

}  // namespace

int main()
{
    // Paths and IDs are taken as the system passed them, not through the
    // console's code page.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr)
        return Fail("CommandLineToArgvW");
    if (argc == 4 && std::wcscmp(argv[1], L"install") == 0)
        return Install(argv[2], argv[3]);
    if (argc == 3 && std::wcscmp(argv[1], L"remove") == 0)
        return Remove(argv[2]);
    return Usage();
}
