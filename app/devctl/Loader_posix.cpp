#include "devctl/Loader.h"

#include <dlfcn.h>

namespace Module1::loader
{

// Called from the program itself, dlopen searches the program's own run path
// (beside the program, $ORIGIN) for a bare file name.
void* open(const std::string& name, std::string& error)
{
    const std::string file = name.find('/') == std::string::npos ? "lib" + name + ".so" : name;
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        const char* why = dlerror();
        error = why ? why : file;
    }
    return library;
}

void* symbol(void* library, const char* name) { return dlsym(library, name); }

}  // namespace Module1::loader
