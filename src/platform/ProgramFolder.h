#pragma once

#include <string>

namespace plovik {

// The folder of the running executable (symbolic links resolved), ending in '/'. Templates, the
// template catalogue and the help file are found through it.
std::string GetProgramFolder();

}  // namespace plovik
