#include "devctl/Loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace Module1::loader
{

namespace
{

// The folder of the running program, with its closing slash; empty when the
// system does not say. Links are resolved, so /usr/bin/tavrin finds the
// library in the program's private folder.
std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    const std::string program(path, size_t(length));
    return program.substr(0, program.rfind('/') + 1);
}

}  // namespace

// A bare name is the library beside the program, opened by its full path: a
// library of that name elsewhere (LD_LIBRARY_PATH, the working folder) is never
// taken instead. Only when the program's folder is unknown does dlopen search.
void* open(const std::string& name, std::string& error)
{
    const std::string file =
        name.find('/') == std::string::npos ? programFolder() + "lib" + name + ".so" : name;
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
