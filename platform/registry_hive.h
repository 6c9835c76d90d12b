// One registry hive in memory and its text form (REGEDIT4), used by the
// registry module. Keys and values keep the case of their first writing and
// are found without regard to case; subkeys enumerate in Windows order
// (sorted by their upper-case names), values in the order they were made.
#pragma once

#include "registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::hive {

struct Value {
    std::string name;  // "" is the key's default value ("@" in the file)
    ValueType type = ValueType::String;  // any number a file names with hex(N)
    std::string data;  // raw bytes: strings without their NUL, DWORDs as 4 little-endian bytes
};

struct Key {
    std::string name;
    std::vector<Value> values;
    std::vector<std::unique_ptr<Key>> subkeys;  // sorted by upper-case name

    Key *findSubkey(std::string_view name) const;
    Key &subkey(std::string_view name);  // found or made
    bool removeSubkey(std::string_view name);
    Value *findValue(std::string_view name);
    const Value *findValue(std::string_view name) const;
    void setValue(std::string_view name, ValueType type, std::string data);
    bool removeValue(std::string_view name);
};

bool sameName(std::string_view a, std::string_view b);

// Windows' own limits on a key. They also bound the recursion that writes and
// frees a tree, and the length of the paths a written hive repeats: a section
// deeper than kMaxKeyDepth levels below the hive is not read.
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxKeyNameLength = 255;

// A name a key may have: not empty, at most kMaxKeyNameLength characters,
// no "\", no control characters.
bool validKeyName(std::string_view name);
// A name a value may have: no line breaks or NUL (the file keeps one value a line).
bool validValueName(std::string_view name);

struct ParseOutcome {
    bool ok = false;       // false: not a registry file at all (nothing was read)
    std::string error;     // why not
    int skippedLines = 0;  // lines that could not be understood and were left out
};

// Reads `text` into `root`, the hive called `rootName` ("HKEY_LOCAL_MACHINE").
// Sections of other hives and lines that cannot be understood are skipped.
ParseOutcome parse(std::string_view text, std::string_view rootName, Key &root);

// The REGEDIT4 text of the hive: every key (also empty ones) in its own section.
std::string format(const Key &root, std::string_view rootName);

}  // namespace platform::hive
