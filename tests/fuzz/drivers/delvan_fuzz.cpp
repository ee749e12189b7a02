// The register window driver through the kernel substitute: see driver_session.h.
#include "driver_session.h"

#include "driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz::DriverUnderTest delvan{DriverEntry, L"delvan", {IOCTL_READ_BYTE, IOCTL_WRITE_BYTE}};
    FuzzedDataProvider in(data, size);
    fuzz::DriverSession(delvan, in).Run();
    return 0;
}
