// Message boxes of the conduit. The conduit has no window of its own: a box
// is written to the host's error output as its caption and its text.
#pragma once

#include <string_view>

namespace conduit {

void showErrorBox(std::string_view text) noexcept;

}  // namespace conduit
