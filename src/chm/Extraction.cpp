#include "chm/Extraction.h"

#include <array>

#include "chm/ChmFile.h"
#include "platform/OutputFolder.h"
#include "text/AsciiCase.h"

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

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view name) {
    for (std::string_view item : list) {
        if (equalsIgnoreAsciiCase(item, name))
            return true;
    }
    return false;
}

// The text before the last slash or backslash; empty when there is none.
std::string_view parentOf(std::string_view relative) {
    const std::size_t cut = relative.find_last_of("/\\");
    return cut == std::string_view::npos ? std::string_view{} : relative.substr(0, cut);
}

}  // namespace

ExtractionSummary extractChm(const std::string& chmPath, const std::string& outputFolder,
                             ExtractionSink& sink) {
    ExtractionSummary summary;
    std::unique_ptr<ChmFile> chm = openChm(chmPath, summary.outcome);
    if (!chm)
        return summary;
    sink.opened(*chm);
    OutputFolder out(outputFolder);
    ObjectBytes bytes;

    for (const ChmEntry& entry : chm->entries) {
        if (sink.stopRequested()) {
            summary.stopped = true;
            return summary;
        }
        if (entry.name.size() < 2 || entry.name.front() != '/')
            continue;  // "::" objects, "/" and ""
        const std::string_view name = sink.nameFor(entry.name);
        if (name.size() < 2 || name.front() != '/')
            continue;
        if (entry.isFolder()) {
            const std::string_view folder = name.substr(1, name.size() - 2);
            if (folder.empty() || listed(kSkippedDirectoryNames, folder))
                continue;
            out.makeFolders(folder);  // folders are not told; a bad one fails its files
            continue;
        }
        const std::string_view relative = name.substr(1);
        if (listed(kSkippedFileNames, relative) ||
            listed(kSkippedDirectoryNames, parentOf(relative))) {
            continue;
        }

        sink.entryStarted(name);
        // A name that would leave the output folder is never written; an object whose bytes
        // cannot be had whole leaves no file.
        Outcome outcome;
        if (!isSafeRelativeName(relative))
            outcome = Outcome::itemFailed("its name would leave the output folder");
        else if (std::string why = sink.refusal(relative); !why.empty())
            outcome = Outcome::itemFailed(std::move(why));
        else if (retrieveEntry(*chm, entry, bytes) != 0)
            outcome =
                Outcome::itemFailed("its " + std::to_string(entry.length) + " bytes at offset " +
                                    std::to_string(entry.offset) + " of section " +
                                    std::to_string(entry.section) + " cannot be read whole");
        else
            outcome = out.write(relative, sink.transform(relative, bytes.bytes));
        ++(outcome ? summary.written : summary.failed);
        sink.entryFinished(relative, outcome);
    }
    return summary;
}

}  // namespace plovik
