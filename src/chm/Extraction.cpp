#include "chm/Extraction.h"

#include <array>

#include "build/BuildJob.h"
#include "chm/ChmFile.h"
#include "chm/OutputFolder.h"

namespace plovik {
namespace {

// The help compiler's own objects, which are no part of the site. Compared without regard to
// ASCII letter case: folders by their name, files by their whole name less the leading "/".
constexpr std::array<std::string_view, 2> kSkippedDirectoryNames = {"$WWAssociativeLinks",
                                                                    "$WWKeywordLinks"};
constexpr std::array<std::string_view, 17> kSkippedFileNames = {
    "#IVB",    "#BSSC",   "#IDXHDR", "#ITBITS",  "#STRINGS",   "#SYSTEM",
    "#TOPICS", "#URLSTR", "#URLTBL", "#Windows", "$FIftiMain", "$OBJINST",
    "#TOCIDX", "BTree",   "Data",    "Map",      "Property"};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view name) {
    for (std::string_view item : list) {
        if (equalsIgnoringCase(item, name))
            return true;
    }
    return false;
}

// The text before the last slash or backslash; empty when there is none.
std::string_view parentOf(std::string_view relative) {
    const std::size_t cut = relative.find_last_of("/\\");
    return cut == std::string_view::npos ? std::string_view{} : relative.substr(0, cut);
}

// From the last '.' to the end; empty when there is no '.'.
std::string_view extensionOf(std::string_view relative) {
    const std::size_t dot = relative.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : relative.substr(dot);
}

void noteWrittenFile(BuildJob& job, std::string_view relative) {
    job.fileList.emplace_back(relative);
    const std::string_view ext = extensionOf(relative);
    if (equalsIgnoringCase(ext, ".hhk")) {
        job.indexFileName = relative;
    } else if (equalsIgnoringCase(ext, ".hhc")) {
        job.contentsFileName = relative;
    } else if (equalsIgnoringCase(ext, ".html") || equalsIgnoringCase(ext, ".htm")) {
        job.pageList.emplace_back(relative);
    }
}

}  // namespace

bool makeDirectories(const std::string& outputFolder, std::string_view relativeFolder) {
    if (relativeFolder.empty())
        return false;
    OutputFolder out(outputFolder);
    return out.makeFolders(relativeFolder);
}

bool extractChm(BuildJob& job) {
    ExtractionSummary summary;
    return extractChm(job, summary);
}

bool extractChm(BuildJob& job, ExtractionSummary& summary) {
    summary = ExtractionSummary{};
    std::unique_ptr<ChmFile> chm = openChm(job.chmPath, &summary.whyNot);
    if (!chm)
        return false;
    summary.opened = true;
    OutputFolder out(job.outputFolder);
    ObjectBytes bytes;
    std::string line;

    for (const ChmEntry& entry : chm->entries) {
        if (job.checkStop()) {
            summary.stopped = true;
            return true;
        }
        const std::string_view name = entry.name;
        if (name.size() < 2 || name.front() != '/')
            continue;  // "::" objects, "/" and ""
        if (entry.isFolder()) {
            const std::string_view folder = name.substr(1, name.size() - 2);
            if (folder.empty() || listed(kSkippedDirectoryNames, folder))
                continue;
            out.makeFolders(folder);  // folders are not logged; a bad one fails its files
            continue;
        }
        const std::string_view relative = name.substr(1);
        if (listed(kSkippedFileNames, relative) ||
            listed(kSkippedDirectoryNames, parentOf(relative))) {
            continue;
        }

        line.assign("\r\n   extract:").append(name).append("......");
        job.log(line, 0);
        // A name that would leave the output folder is never written; an object whose bytes
        // cannot be had whole leaves no file.
        const bool ok = isSafeRelativeName(relative) && retrieveEntry(*chm, entry, bytes) == 0 &&
                        out.writeFile(relative, bytes.bytes);
        if (ok) {
            noteWrittenFile(job, relative);
            ++summary.written;
        } else {
            ++summary.failed;
        }
        job.log(ok ? "ok" : "failed", 1);
    }
    return true;
}

}  // namespace plovik
