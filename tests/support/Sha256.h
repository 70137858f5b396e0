#pragma once

#include <string>
#include <string_view>

namespace plovik::test {

// The SHA-256 digest of the bytes as 64 lower-case hex digits, as sha256sum prints it.
std::string sha256Hex(std::string_view bytes);

}  // namespace plovik::test
