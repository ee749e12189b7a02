// The port byte driver through the kernel substitute: see driver_session.h.
#include "driver_session.h"

#include "driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // ostrak answers every control code alike, so all of them are fuzzed.
    static const fuzz::DriverUnderTest ostrak{DriverEntry, L"ostrak", {}};
    FuzzedDataProvider in(data, size);
    fuzz::DriverSession(ostrak, in).Run();
    return 0;
}
