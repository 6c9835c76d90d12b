#include "dynamic_library.h"

#include <dlfcn.h>
#include <utility>

namespace desktop {

DynamicLibrary::~DynamicLibrary() { release(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary &&other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary &DynamicLibrary::operator=(DynamicLibrary &&other) noexcept {
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

bool DynamicLibrary::load(const std::string &path, std::string &error) {
    release();
    if (path.empty()) {
        error = "no library file named";
        return false;
    }
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = dlerror();
        error = why ? why : "cannot be loaded";
        return false;
    }
    return true;
}

void DynamicLibrary::release() {
    if (handle_) dlclose(std::exchange(handle_, nullptr));
}

void *DynamicLibrary::entry(const char *name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

}  // namespace desktop
