#include "chm/Extraction.h"

#include "build/BuildJob.h"

namespace plovik {

// Placeholder until the container reader lands: a CHM that cannot be opened.
bool extractChm(BuildJob&) { return false; }

}  // namespace plovik
