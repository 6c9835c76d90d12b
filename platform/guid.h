// GUIDs as CoCreateGuid makes them: 16 bytes in memory order (Data1 u32,
// Data2 u16 and Data3 u16 little-endian, then Data4's 8 bytes), random
// version 4 with the RFC 4122 variant. The byte array is the same type as
// qv::Guid, so records take it as it is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

using GuidBytes = std::array<uint8_t, 16>;

GuidBytes createGuid();

// "{89D62F82-D9AB-49C9-AC66-7977DB89DB2B}": upper-case, braces, the first
// three groups read as little-endian numbers.
std::string formatGuid(const GuidBytes &guid);
// The inverse of formatGuid (either case; braces required); nullopt when malformed.
std::optional<GuidBytes> parseGuid(std::string_view text);

}  // namespace platform
