#include "RandomDraw.h"

#include <sys/random.h>

#include <cerrno>
#include <system_error>

namespace RandomDraw {

uint16_t uint16()
{
    uint16_t value = 0;
    ssize_t got = -1;
    while ((got = getrandom(&value, sizeof value, 0)) < 0 && errno == EINTR) {
    }
    if (got != sizeof value)
        throw std::system_error(errno, std::generic_category(), "getrandom");
    return value;
}

} // namespace RandomDraw
