#pragma once

#include <string>

// The system's loader, as Module1 uses it: open a library by name, find a
// function in it. The one file that implements it is the platform's.
namespace Module1::loader
{

// A library name without a folder ("lumbra") is the platform's file name for
// it, looked for where the platform looks for the program's own libraries; a
// name with a folder is that file. nullptr on failure, with the system's reason
// in `error`. A library once opened stays loaded for the life of the process.
void* open(const std::string& name, std::string& error);

// The function `name` of an opened library, nullptr when it has none.
void* symbol(void* library, const char* name);

}  // namespace Module1::loader
