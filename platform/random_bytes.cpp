#include "random_bytes.h"

#include <cerrno>
#include <random>
#include <sys/random.h>

namespace platform {

void randomBytes(uint8_t *out, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::getrandom(out, size, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // No getrandom (very old kernel): fall back to the library's source.
            std::random_device device;
            for (; size > 0; --size) *out++ = uint8_t(device());
            return;
        }
        out += n;
        size -= std::size_t(n);
    }
}

}  // namespace platform
