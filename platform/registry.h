// The registry: keys and values with Windows semantics, kept in the machine
// folder as one REGEDIT4 text file per hive (registry/HKEY_LOCAL_MACHINE.reg,
// HKEY_CURRENT_USER.reg, HKEY_CLASSES_ROOT.reg).
//
// Key paths use "\" between levels ("Software\Tarvoc\QVPalmConduit\Plugins");
// a trailing "\" is allowed. Key and value names are matched without regard to
// case and keep the case they were first written with. The empty value name
// is the key's default value ("@" in the file). Subkeys enumerate sorted by
// name as on Windows, values in the order they were made.
//
// Every call reads the hive afresh, so changes made by other processes are
// seen at once. Changes are serialised between processes with a lock file and
// written through a temporary file and a rename. A hive file that is not a
// registry file reads as empty and refuses changes (hiveProblem says why);
// single lines that cannot be understood are skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class Hive { LocalMachine, CurrentUser, ClassesRoot };

enum class ValueType : uint32_t {
    String = 1,        // REG_SZ
    ExpandString = 2,  // REG_EXPAND_SZ
    Binary = 3,        // REG_BINARY
    Dword = 4,         // REG_DWORD
    MultiString = 7,   // REG_MULTI_SZ
};

class Registry {
public:
    static constexpr std::string_view kDefaultValue = "";

    // "HKEY_LOCAL_MACHINE" and so on.
    static const char *hiveName(Hive hive);

    static bool keyExists(Hive hive, std::string_view keyPath);
    // Creates the key and every missing level above it; true when it exists afterwards.
    static bool createKey(Hive hive, std::string_view keyPath);
    // Deletes the key with all its subkeys and values; false when it did not exist.
    static bool deleteKey(Hive hive, std::string_view keyPath);

    // Reading answers nullopt when the key or value is missing or has another type.
    // readString reads REG_SZ and REG_EXPAND_SZ values (unexpanded).
    static std::optional<std::string> readString(Hive hive, std::string_view keyPath, std::string_view valueName);
    static std::optional<uint32_t> readDword(Hive hive, std::string_view keyPath, std::string_view valueName);
    // The raw bytes of a value of any type.
    static std::optional<std::string> readBinary(Hive hive, std::string_view keyPath, std::string_view valueName);
    static std::optional<ValueType> valueType(Hive hive, std::string_view keyPath, std::string_view valueName);

    // Writing creates the key when it is missing and replaces a value of any type.
    static bool writeString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view text);
    static bool writeDword(Hive hive, std::string_view keyPath, std::string_view valueName, uint32_t value);
    static bool writeBinary(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view bytes);
    // False when the value did not exist.
    static bool deleteValue(Hive hive, std::string_view keyPath, std::string_view valueName);

    // Names of the direct subkeys / of the values ("" for the default value);
    // empty when the key is missing.
    static std::vector<std::string> subkeys(Hive hive, std::string_view keyPath);
    static std::vector<std::string> valueNames(Hive hive, std::string_view keyPath);

    // Empty when the hive file is readable, otherwise what is wrong with it.
    static std::string hiveProblem(Hive hive);
};

}  // namespace platform
