// Filling the caller's QVDP_Error. A function that fails fills the record;
// one that succeeds leaves it alone, so callers clear it before each call.
#pragma once

#include "qvdp_types.h"

#include <algorithm>
#include <string_view>

namespace qv {

void clearError(QVDP_Error *e);
// Copies text into e->text, cut to fit the 260-byte field.
void setErrorText(QVDP_Error *e, std::string_view text);
void setConduitError(QVDP_Error *e, int32_t code);
void setFileError(QVDP_Error *e, int32_t code, std::string_view path, uint32_t osError);
void setSystemError(QVDP_Error *e, int32_t code, uint32_t osError);
void setSyncError(QVDP_Error *e, int32_t code, int32_t syncError);
void setConversionError(QVDP_Error *e, std::string_view messageOrPath);

}  // namespace qv
