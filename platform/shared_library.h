// Shared libraries opened while the program runs, by file name, and their functions by name.
// Per-OS implementation beside this header.
#pragma once

#include <string>

namespace zephra {

// The system's file name of a library by its base name and major version: "libmpv.so.2".
std::string sharedLibraryFileName(const std::string& baseName, int majorVersion);

// Opens the library for the rest of the process (never closed); null with the loader's message
// in `error` when it cannot be loaded.
void* openSharedLibrary(const std::string& fileName, std::string& error);

// The named function of an open library; null when the library lacks it.
void* sharedLibraryFunction(void* library, const char* name);

}  // namespace zephra
