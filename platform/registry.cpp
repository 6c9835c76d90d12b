#include "registry.h"

#include "file_lock.h"
#include "home.h"
#include "registry_hive.h"
#include "temp_files.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

// Hives are small; a file larger than this is not one of ours.
constexpr std::uintmax_t kMaxHiveBytes = 64u << 20;

fs::path hivePath(Hive hive) { return registryFolder() / (std::string(Registry::hiveName(hive)) + ".reg"); }

struct LoadedHive {
    hive::Key root;
    bool ok = false;
    std::string problem;
};

LoadedHive load(Hive hive) {
    LoadedHive loaded;
    fs::path path = hivePath(hive);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        loaded.ok = !fs::exists(path, ec);  // a missing hive is an empty one
        if (!loaded.ok) loaded.problem = "cannot read " + path.string();
        return loaded;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < 0 || std::uintmax_t(size) > kMaxHiveBytes) {
        loaded.problem = path.string() + " is too large to be a registry hive";
        return loaded;
    }
    std::string text(std::size_t(size), '\0');
    if (!in.read(text.data(), size)) {
        loaded.problem = "cannot read " + path.string();
        return loaded;
    }
    hive::ParseOutcome outcome = hive::parse(text, Registry::hiveName(hive), loaded.root);
    loaded.ok = outcome.ok;
    if (!outcome.ok) {
        loaded.root = hive::Key();
        loaded.problem = path.string() + ": " + outcome.error;
    }
    return loaded;
}

// The levels of a key path; nullopt when one is not a valid key name or
// there are more than a hive holds.
std::optional<std::vector<std::string_view>> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        std::size_t slash = path.find('\\');
        std::string_view part = path.substr(0, slash);
        bool last = slash == std::string_view::npos || slash + 1 == path.size();
        if (!hive::validKeyName(part) || parts.size() == hive::kMaxKeyDepth) return std::nullopt;
        parts.push_back(part);
        if (last) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

template <typename KeyT>
KeyT *findKey(KeyT &root, std::string_view path) {
    auto parts = splitPath(path);
    if (!parts) return nullptr;
    KeyT *key = &root;
    for (std::string_view part : *parts) {
        key = key->findSubkey(part);
        if (!key) return nullptr;
    }
    return key;
}

hive::Key *makeKey(hive::Key &root, std::string_view path) {
    auto parts = splitPath(path);
    if (!parts) return nullptr;
    hive::Key *key = &root;
    for (std::string_view part : *parts) key = &key->subkey(part);
    return key;
}

fs::path lockPath(Hive hive) {
    fs::path path = hivePath(hive);
    path += ".lock";
    return path;
}

// Runs `change` on the freshly read hive under its lock and writes the hive
// back when the change reports that it changed something.
enum class Change { None, Made, Failed };
bool modify(Hive hive, const std::function<Change(hive::Key &)> &change, bool okWithoutChange = true) {
    FileLock lock(lockPath(hive));
    if (!lock.held()) return false;
    LoadedHive loaded = load(hive);
    if (!loaded.ok) return false;
    Change result = change(loaded.root);
    if (result == Change::Failed) return false;
    if (result == Change::None) return okWithoutChange;
    std::error_code ec;
    return writeFileAtomically(hivePath(hive), hive::format(loaded.root, Registry::hiveName(hive)), ec);
}

bool writeValue(Hive hive, std::string_view keyPath, std::string_view valueName, ValueType type, std::string data) {
    if (!hive::validValueName(valueName)) return false;
    return modify(hive, [&](hive::Key &root) {
        hive::Key *key = makeKey(root, keyPath);
        if (!key) return Change::Failed;
        key->setValue(valueName, type, std::move(data));
        return Change::Made;
    });
}

const hive::Value *findValue(const LoadedHive &loaded, std::string_view keyPath, std::string_view valueName) {
    const hive::Key *key = findKey(loaded.root, keyPath);
    return key ? key->findValue(valueName) : nullptr;
}

}  // namespace

const char *Registry::hiveName(Hive hive) {
    switch (hive) {
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    }
    return "HKEY_LOCAL_MACHINE";
}

bool Registry::keyExists(Hive hive, std::string_view keyPath) {
    LoadedHive loaded = load(hive);
    return findKey(loaded.root, keyPath) != nullptr;
}

bool Registry::createKey(Hive hive, std::string_view keyPath) {
    return modify(hive, [&](hive::Key &root) {
        if (findKey(root, keyPath)) return Change::None;
        return makeKey(root, keyPath) ? Change::Made : Change::Failed;
    });
}

bool Registry::deleteKey(Hive hive, std::string_view keyPath) {
    return modify(
        hive,
        [&](hive::Key &root) {
            auto parts = splitPath(keyPath);
            if (!parts || parts->empty()) return Change::Failed;  // the hive's root stays
            std::string_view leaf = parts->back();
            std::string_view parentPath = keyPath.substr(0, std::size_t(leaf.data() - keyPath.data()));
            hive::Key *parent = findKey(root, parentPath);
            if (!parent || !parent->removeSubkey(leaf)) return Change::None;
            return Change::Made;
        },
        false);
}

std::optional<std::string> Registry::readString(Hive hive, std::string_view keyPath, std::string_view valueName) {
    LoadedHive loaded = load(hive);
    const hive::Value *v = findValue(loaded, keyPath, valueName);
    if (!v || (v->type != ValueType::String && v->type != ValueType::ExpandString)) return std::nullopt;
    return v->data;
}

std::optional<uint32_t> Registry::readDword(Hive hive, std::string_view keyPath, std::string_view valueName) {
    LoadedHive loaded = load(hive);
    const hive::Value *v = findValue(loaded, keyPath, valueName);
    if (!v || v->type != ValueType::Dword || v->data.size() != 4) return std::nullopt;
    uint32_t d = 0;
    for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v->data[i]);
    return d;
}

std::optional<std::string> Registry::readBinary(Hive hive, std::string_view keyPath, std::string_view valueName) {
    LoadedHive loaded = load(hive);
    const hive::Value *v = findValue(loaded, keyPath, valueName);
    if (!v) return std::nullopt;
    return v->data;
}

std::optional<ValueType> Registry::valueType(Hive hive, std::string_view keyPath, std::string_view valueName) {
    LoadedHive loaded = load(hive);
    const hive::Value *v = findValue(loaded, keyPath, valueName);
    if (!v) return std::nullopt;
    return v->type;
}

bool Registry::writeString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view text) {
    return writeValue(hive, keyPath, valueName, ValueType::String, std::string(text));
}

bool Registry::writeDword(Hive hive, std::string_view keyPath, std::string_view valueName, uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = char(uint8_t(value >> (8 * i)));
    return writeValue(hive, keyPath, valueName, ValueType::Dword, std::move(data));
}

bool Registry::writeBinary(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view bytes) {
    return writeValue(hive, keyPath, valueName, ValueType::Binary, std::string(bytes));
}

bool Registry::deleteValue(Hive hive, std::string_view keyPath, std::string_view valueName) {
    return modify(
        hive,
        [&](hive::Key &root) {
            hive::Key *key = findKey(root, keyPath);
            return key && key->removeValue(valueName) ? Change::Made : Change::None;
        },
        false);
}

std::vector<std::string> Registry::subkeys(Hive hive, std::string_view keyPath) {
    LoadedHive loaded = load(hive);
    std::vector<std::string> names;
    if (const hive::Key *key = findKey(loaded.root, keyPath))
        for (const auto &child : key->subkeys) names.push_back(child->name);
    return names;
}

std::vector<std::string> Registry::valueNames(Hive hive, std::string_view keyPath) {
    LoadedHive loaded = load(hive);
    std::vector<std::string> names;
    if (const hive::Key *key = findKey(loaded.root, keyPath))
        for (const hive::Value &v : key->values) names.push_back(v.name);
    return names;
}

std::string Registry::hiveProblem(Hive hive) { return load(hive).problem; }

}  // namespace platform
