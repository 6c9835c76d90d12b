// Name parts of desktop and card paths, card path joining, the two-call
// text hand-out and GUID comparison.
#include "QVDPCommon.h"
#include "card_paths.h"
#include "text_out.h"

#include <cstring>
#include <string>

using namespace services;

namespace {

// Name or folder part around the last "/": the text after it, or the text up
// to and including it. 0 for a null or over-long path.
enum class Part { Name, Folder };

int32_t splitAtLastSlash(char *out, const char *path, Part part) {
    std::string_view text;
    if (!readText(path, kMaxPathLength, text)) {
        copyOut(out, kPathBuffer, {});
        return 0;
    }
    std::size_t slash = text.rfind('/');
    std::string_view result;
    if (part == Part::Name)
        result = slash == std::string_view::npos ? text : text.substr(slash + 1);
    else
        result = slash == std::string_view::npos ? std::string_view() : text.substr(0, slash + 1);
    return copyOut(out, kPathBuffer, result) ? 1 : 0;
}

}  // namespace

QV_EXPORT int32_t QVPGetStringVar(const char *text, char *buffer, uint32_t *size) {
    if (!size) return 1;
    std::size_t length = text ? std::strlen(text) : 0;
    uint32_t available = *size;
    *size = uint32_t(length + 1);
    if (!buffer) return 2;
    if (available < length + 1) return 2;
    std::memcpy(buffer, text ? text : "", length + 1);
    return 0;
}

QV_EXPORT int32_t GUIDsEqual(const void *a, const void *b) {
    if (!a || !b) return 0;
    return std::memcmp(a, b, 16) == 0 ? 1 : 0;
}

QV_EXPORT int32_t QVPCGetOnlyFileName(char *out, const char *path) { return splitAtLastSlash(out, path, Part::Name); }

QV_EXPORT int32_t QVPALMGetOnlyFileName(char *out, const char *path) { return splitAtLastSlash(out, path, Part::Name); }

QV_EXPORT int32_t QVPCGetOnlyFilePath(char *out, const char *path) { return splitAtLastSlash(out, path, Part::Folder); }

QV_EXPORT int32_t QVPALMGetOnlyFilePath(char *out, const char *path) {
    std::string_view text;
    if (!readText(path, kMaxPathLength, text)) {
        copyOut(out, kPathBuffer, {});
        return 0;
    }
    if (text.empty() || text.front() != '/') return copyOut(out, kPathBuffer, "/") ? 1 : 0;
    return splitAtLastSlash(out, path, Part::Folder);
}

QV_EXPORT int32_t QVMakePalmCardPath(char *out, const char *folder, const char *name) {
    std::string_view folderText, nameText;
    if (!readText(folder, kMaxPathLength, folderText) || !readText(name, kMaxPathLength, nameText)) {
        copyOut(out, kPathBuffer, {});
        return 0;
    }
    return copyOut(out, kPathBuffer, joinCardPath(folderText, nameText)) ? 1 : 0;
}
