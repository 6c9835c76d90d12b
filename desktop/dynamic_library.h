// A shared library loaded at run time (dlopen) and released when the object
// goes; entries are found by name. The desktop program binds its plug-ins,
// the record database library and the User Manager this way.
#pragma once

#include <string>

namespace desktop {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary &&other) noexcept;
    DynamicLibrary &operator=(DynamicLibrary &&other) noexcept;
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    // Loads the file (a bare name is searched as the loader searches);
    // releases what was loaded before. False with error set on failure.
    bool load(const std::string &path, std::string &error);
    void release();
    bool loaded() const { return handle_ != nullptr; }

    // The entry's address, or nullptr when the library has no such name.
    void *entry(const char *name) const;

    // Binds an entry into a function pointer of its declared type; false
    // (and fn null) when the entry is missing.
    template <typename Fn>
    bool bind(Fn &fn, const char *name) const {
        fn = reinterpret_cast<Fn>(entry(name));
        return fn != nullptr;
    }

private:
    void *handle_ = nullptr;
};

}  // namespace desktop
