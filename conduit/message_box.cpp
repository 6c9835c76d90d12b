#include "message_box.h"

#include <cstdio>

namespace conduit {

void showErrorBox(std::string_view text) noexcept {
    std::fprintf(stderr, "Error: %.*s\n", int(text.size()), text.data());
    std::fflush(stderr);
}

}  // namespace conduit
