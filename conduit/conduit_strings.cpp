#include "conduit_strings.h"

#include "status_codes.h"

#include <cstring>

namespace conduit {

namespace {

struct StringEntry {
    uint32_t id;
    const char *text;
};

// 8004 to 8008 are the HotSync action texts of the configuration dialog,
// kept with the module though no path of the conduit loads them.
constexpr StringEntry kStrings[] = {
    {kStrConduitName, "Tarvoc Palm Conduit"},
    {8004, "%s's Current Settings:"},
    {8005, "Synchronize the files."},
    {8006, "Desktop overwrites Palm organizer."},
    {8007, "Palm organizer overwrites Desktop."},
    {8008, "Do Nothing."},
    {kStrUnknownError, "Unknown error in conduit"},
    {kStrCannotLoadPlugin, "Cannot load conduit plugin"},
    {kStrCannotLoadCardPaths, "Cannot load paths database from card"},
    {kStrCannotReadCardPaths, "Cannot read paths database from card"},
    {kStrCannotSaveCardPaths, "Cannot save paths database on card"},
    {kStrCannotWriteCardPaths, "Cannot write paths database on card"},
    {kStrNotEnoughMemory, "Not enough memory"},
    {kStrCardNotPresent, "Card not present"},
};

}  // namespace

std::optional<std::string_view> loadString(uint32_t id) {
    if (id >= kStrStatusTextBase) {
        const uint32_t code = id - kStrStatusTextBase;
        if (code > uint32_t(INT32_MAX)) return std::nullopt;
        if (const char *text = qv::statusText(int32_t(code))) return std::string_view(text);
        return std::nullopt;
    }
    for (const StringEntry &e : kStrings)
        if (e.id == id) return std::string_view(e.text);
    return std::nullopt;
}

bool loadStringInto(uint32_t id, char *buffer, std::size_t bufferSize) {
    if (!buffer || bufferSize == 0) return false;
    buffer[0] = '\0';
    const auto text = loadString(id);
    if (!text || text->size() >= bufferSize) return false;
    std::memcpy(buffer, text->data(), text->size());
    buffer[text->size()] = '\0';
    return true;
}

}  // namespace conduit
