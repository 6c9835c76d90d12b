// The two-call convention by which every text leaves the plug-in: a null
// size answers 1; otherwise *size gets the length with the terminator; a
// null buffer then answers 2 (the caller is asking for the length);
// otherwise the text is copied and 0 answered.
#pragma once

#include "status_codes.h"

#include <cstdint>
#include <cstring>

namespace qvplugin {

inline int32_t answerText(const char *text, char *buffer, uint32_t *size) {
    if (!size) return qv::kBadParameters;
    const uint32_t needed = uint32_t(std::strlen(text) + 1);
    *size = needed;
    if (!buffer) return qv::kBufferTooSmall;
    std::memcpy(buffer, text, needed);
    return qv::kOk;
}

}  // namespace qvplugin
