// The export table of liblumbra.so, as the program's loader finds it by name. (On
// Windows the export test reads lumbra.dll's table and the binding test loads it.)
#include <dlfcn.h>

#include "SimulatedBoards.h"

TEST_F(SimulatedBoards, ExportsEveryContractFunctionByName)
{
    void* library = dlopen("liblumbra.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr) << dlerror();
#define EXPECT_EXPORTED(ret, name, params, args) EXPECT_NE(dlsym(library, #name), nullptr) << #name;
    LUMBRA_FUNCTIONS(EXPECT_EXPORTED)
#undef EXPECT_EXPORTED
    EXPECT_NE(dlsym(library, "LumbraSimAdvancePulses"), nullptr);
    EXPECT_NE(dlsym(library, "LumbraSimReset"), nullptr);
    // The simulator's own classes stay private to the library.
    EXPECT_EQ(dlsym(library, "_ZN6lumbra9Simulator13PciOpenDeviceEv"), nullptr);
    dlclose(library);
}
