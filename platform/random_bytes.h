// Random bytes from the kernel, for GUIDs and unique names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

void randomBytes(uint8_t *out, std::size_t size);

}  // namespace platform
