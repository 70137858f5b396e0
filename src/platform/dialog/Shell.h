#pragma once

#include <string>

namespace plovik {

// Opens a folder or a document with the desktop's default application, without waiting for it.
// Failures are not reported: a desktop without a handler simply opens nothing.
void ShellOpen(const std::string& path);

}  // namespace plovik
