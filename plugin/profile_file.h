// A Windows profile (INI) file: "[section]" lines and "key=value" lines,
// names compared without regard to case. Reading takes the first match;
// writing replaces the value in place or adds the key (and the section)
// and keeps every other line as it was. Saving goes through a temporary
// file and a rename.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace qvplugin {

class ProfileFile {
public:
    // Files larger than this are refused rather than read into memory.
    static constexpr std::uintmax_t kMaxSize = 1u << 20;

    // The file's lines; a missing file gives an empty profile. False (ec
    // set) when the file exists but cannot be read or is too large.
    bool load(const std::filesystem::path &file, std::error_code &ec);
    bool save(const std::filesystem::path &file, std::error_code &ec) const;

    // The value with surrounding blanks removed, and surrounding quotes
    // when it has a pair of them; nullopt when the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    void setValue(std::string_view section, std::string_view key, std::string_view value);

private:
    // Index of the section's header line, or npos.
    size_t findSection(std::string_view section) const;
    // Index of the key's line inside the section starting at `header`, or npos.
    size_t findKey(size_t header, std::string_view key) const;
    // Index just past the section's last non-blank line.
    size_t sectionEnd(size_t header) const;

    std::vector<std::string> lines_;
};

// A profile integer as Windows reads one: optional blanks and sign, then the
// leading decimal digits ("12abc" is 12, "abc" is 0); clamped to 32 bits.
int32_t profileInteger(std::string_view text);

}  // namespace qvplugin
