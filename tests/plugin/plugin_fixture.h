// What the plug-in tests share: the built library loaded by path and bound by
// name, as the hosts do, and a machine folder of the test's own.
#pragma once

#include "QVDocsPlugin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace plugintest {

inline std::filesystem::path pluginPath() {
    const char *bin = std::getenv("QV_BIN_DIR");
    return std::filesystem::path(bin && *bin ? bin : QV_BIN_DIR) / "libQVDocsPlugin.so";
}

// The plug-in library, loaded once for the test program.
class Plugin {
public:
    static void *handle() {
        static void *h = dlopen(pluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        return h;
    }
    static void *symbol(const char *name) { return handle() ? dlsym(handle(), name) : nullptr; }
};

// Binds an export by name with the type of its declaration.
#define QV_BIND(name) reinterpret_cast<decltype(&name)>(::plugintest::Plugin::symbol(#name))

// A fresh PAPYRINE_HOME for one test, removed afterwards.
class TempHome {
public:
    TempHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv_plugin_XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        root_ = mkdtemp(buffer.data());
        setenv("PAPYRINE_HOME", root_.c_str(), 1);
    }
    ~TempHome() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        unsetenv("PAPYRINE_HOME");
    }
    const std::filesystem::path &root() const { return root_; }

private:
    std::filesystem::path root_;
};

inline void writeBytes(const std::filesystem::path &file, const std::vector<uint8_t> &bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> readBytes(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string readText(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A 78-byte Palm database header with the given name, type and creator.
inline std::vector<uint8_t> palmHeader(const std::string &name, const char *type, const char *creator) {
    std::vector<uint8_t> bytes(78, 0);
    std::copy(name.begin(), name.end(), bytes.begin());
    std::copy(type, type + 4, bytes.begin() + 60);
    std::copy(creator, creator + 4, bytes.begin() + 64);
    return bytes;
}

}  // namespace plugintest
