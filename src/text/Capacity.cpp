#include "text/Capacity.h"

#include "text/Utf8.h"

namespace plovik {

std::string cutToCapacity(std::string_view text, std::size_t capacity) {
    return cutUtf8(text, capacity);
}

}  // namespace plovik
