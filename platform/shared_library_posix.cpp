#include "platform/shared_library.h"

#include <dlfcn.h>

namespace zephra {

std::string sharedLibraryFileName(const std::string& baseName, int majorVersion) {
  return "lib" + baseName + ".so." + std::to_string(majorVersion);
}

void* openSharedLibrary(const std::string& fileName, std::string& error) {
  void* library = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* message = dlerror();
    error = message ? message : fileName;
  }
  return library;
}

void* sharedLibraryFunction(void* library, const char* name) { return dlsym(library, name); }

}  // namespace zephra
