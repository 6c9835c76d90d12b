// Looking formats up in a plug-in's format table: by id, by handheld
// database type, by a desktop file's extension, and the first conversion of
// a format in a conversion table.
#include "QVDPCommon.h"
#include "status_codes.h"

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

namespace {

const QVDP_Format *findById(int32_t id, const QVDP_Format *table) {
    if (!table) return nullptr;
    for (const QVDP_Format *row = table; row->id != 0; ++row)
        if (row->id == id) return row;
    return nullptr;
}

int32_t lookUp(int32_t id, const QVDP_Format *table, const QVDP_Format **out) {
    const QVDP_Format *row = findById(id, table);
    if (out) *out = row;
    return row ? qv::kOk : qv::kFormatNotRecognized;
}

// The extension of a desktop path's file name, with its dot, in upper case;
// empty when the name has no ".".
std::string upperExtension(std::string_view path) {
    std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string extension(name.substr(dot));
    for (char &c : extension) c = char(std::toupper(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

QV_EXPORT int32_t QVGetFormat(int32_t id, const QVDP_Format *table, const QVDP_Format **out) {
    return lookUp(id, table, out);
}

QV_EXPORT int32_t QVGetHHFormat(int32_t id, const QVDP_Format *table, const QVDP_Format **out) {
    return lookUp(id, table, out);
}

QV_EXPORT int32_t QVGetHHType(int32_t id, const QVDP_Format *table) {
    const QVDP_Format *row = findById(id, table);
    return row ? int32_t(row->type) : -1;
}

QV_EXPORT const QVDP_Format *QVGetFormatFromHHType(uint32_t type, const QVDP_Format *table) {
    if (!table) return nullptr;
    for (const QVDP_Format *row = table; row->id != 0; ++row)
        if (row->type == type) return row;
    return nullptr;
}

QV_EXPORT int32_t QVGetFirstConversion(const QVDP_Conversion *table, int32_t id) {
    if (!table) return -1;
    for (const QVDP_Conversion *pair = table; pair->from != 0; ++pair)
        if (pair->from == id) return pair->to;
    return -1;
}

QV_EXPORT int32_t QVRecognizeFileType(const QVDP_Format *table, const char *path, const QVDP_Format **out) {
    if (out) *out = nullptr;
    if (!table || !path) return qv::kFormatNotRecognized;
    std::string extension = upperExtension(path);
    if (extension.empty()) return qv::kFormatNotRecognized;
    for (const QVDP_Format *row = table; row->id != 0; ++row) {
        if (!row->extensions) continue;
        std::string_view list(row->extensions);
        // An occurrence counts when the list goes on with ";" or ends there.
        for (std::size_t at = list.find(extension); at != std::string_view::npos; at = list.find(extension, at + 1)) {
            std::size_t after = at + extension.size();
            if (after != list.size() && list[after] != ';') continue;
            if (out) *out = row;
            if (!row->recognizer || row->recognizer(path)) return qv::kOk;
            // Refused by the recognizer: go on after the next ";" of this list.
            std::size_t next = list.find(';', after);
            if (next == std::string_view::npos) break;
            at = next;
        }
    }
    return qv::kFormatNotRecognized;
}
