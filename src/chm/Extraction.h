#pragma once

#include <string>

namespace plovik {

class BuildJob;

// The extraction stage: unpacks every stored file of job.chmPath into job.outputFolder, logs one
// line per file, and records the pages, the table of contents and the keyword index in the job.
// False when the CHM cannot be opened (nothing is logged or written then). When a stop is
// requested at the checkpoint of an entry, returns at once with job.stopped() set.
bool extractChm(BuildJob& job);

}  // namespace plovik
