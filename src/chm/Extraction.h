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

    // With the job's convertCharset on: the help's ANSI code page and what was made UTF-8.
    int codePage = 0;                // 0 when nothing was converted
    std::size_t namesConverted = 0;  // stored names that were not UTF-8
    std::size_t pagesConverted = 0;
    std::size_t sitemapsConverted = 0;
    std::size_t filesWithUndecodableBytes = 0;
};

// The extraction stage: unpacks every stored file of job.chmPath into job.outputFolder, logs one
// line per file, and records the pages, the table of contents and the keyword index in the job.
// False when the CHM cannot be opened (nothing is logged or written then). When a stop is
// requested at the checkpoint of an entry, returns at once with job.stopped() set.
//
// With job.convertCharset on, text is made UTF-8 on its way to the disk, so that every later
// stage reads UTF-8: names that are not UTF-8 are decoded with the help's ANSI code page (unless
// the decoded name is another stored name already), and pages and sitemaps are converted as
// Utf8Converter says. A file with bytes that did not decode is named in the log.
bool extractChm(BuildJob& job);
bool extractChm(BuildJob& job, ExtractionSummary& summary);

// Creates the folder `relativeFolder` below `outputFolder` with every missing folder on its way.
// False when given no path, or one that would leave the output folder, or when the folder does
// not exist afterwards.
bool makeDirectories(const std::string& outputFolder, std::string_view relativeFolder);

}  // namespace plovik
