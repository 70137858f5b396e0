#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

class BuildJob;

// What one extraction did, for callers that report more than the log (the command line).
struct ExtractionSummary {
    bool opened = false;
    std::string whyNot;       // why the CHM could not be opened
    std::size_t written = 0;  // files written
    std::size_t failed = 0;   // files logged "failed"
    bool stopped = false;     // a stop request ended the extraction early
};

// The extraction stage: unpacks every stored file of job.chmPath into job.outputFolder, logs one
// line per file, and records the pages, the table of contents and the keyword index in the job.
// False when the CHM cannot be opened (nothing is logged or written then). When a stop is
// requested at the checkpoint of an entry, returns at once with job.stopped() set.
bool extractChm(BuildJob& job);
bool extractChm(BuildJob& job, ExtractionSummary& summary);

// Creates the folder `relativeFolder` below `outputFolder` with every missing folder on its way.
// False when given no path, or one that would leave the output folder, or when the folder does
// not exist afterwards.
bool makeDirectories(const std::string& outputFolder, std::string_view relativeFolder);

}  // namespace plovik
