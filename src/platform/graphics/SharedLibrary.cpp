#include "SharedLibrary.h"

#include "platform/Errors.h"

#include <dlfcn.h>

TSharedLibrary::TSharedLibrary(std::string soname, std::string pictures, std::string package)
    : Soname(std::move(soname)), Pictures(std::move(pictures)), Package(std::move(package))
{
}

void* TSharedLibrary::Address(const char* name)
{
    // dlerror() is one state for the whole process: read it under the same lock as the call.
    std::lock_guard<std::mutex> guard(Lock);
    if (!Handle) {
        Handle = dlopen(Soname.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!Handle) {
            const char* why = dlerror();
            throw MissingLibraryError(Pictures, why ? why : Soname + ": cannot be opened", Package);
        }
    }
    dlerror();
    void* address = dlsym(Handle, name);
    if (!address) {
        const char* why = dlerror();
        throw MissingLibraryError(Pictures, why ? why : Soname + ": no " + name, Package);
    }
    return address;
}
