#include "error_record.h"

#include "status_codes.h"

#include <cstring>

namespace qv {

void clearError(QVDP_Error *e) {
    if (e) std::memset(e, 0, sizeof *e);
}

void setErrorText(QVDP_Error *e, std::string_view text) {
    if (!e) return;
    size_t n = std::min(text.size(), sizeof e->text - 1);
    std::memcpy(e->text, text.data(), n);
    e->text[n] = '\0';
}

void setConduitError(QVDP_Error *e, int32_t code) {
    if (!e) return;
    e->kind = QVDP_KIND_CONDUIT;
    e->code = code;
}

void setFileError(QVDP_Error *e, int32_t code, std::string_view path, uint32_t osError) {
    if (!e) return;
    e->kind = QVDP_KIND_FILE;
    e->code = code;
    e->win32Error = osError;
    setErrorText(e, path);
}

void setSystemError(QVDP_Error *e, int32_t code, uint32_t osError) {
    if (!e) return;
    e->kind = QVDP_KIND_SYSTEM;
    e->code = code;
    e->win32Error = osError;
}

void setSyncError(QVDP_Error *e, int32_t code, int32_t syncError) {
    if (!e) return;
    e->kind = QVDP_KIND_SYNC;
    e->code = code;
    e->syncError = syncError;
}

void setConversionError(QVDP_Error *e, std::string_view messageOrPath) {
    if (!e) return;
    e->kind = QVDP_KIND_CONVERSION;
    e->code = kConversionError;
    setErrorText(e, messageOrPath);
}

}  // namespace qv
