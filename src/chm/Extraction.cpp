#include "chm/Extraction.h"

#include <array>
#include <map>

#include "chm/ChmFile.h"
#include "chm/SectionStream.h"
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

// A stored file that extraction will most likely ask for; the sink's renaming can still make it
// skip one (then it is let go unasked) or ask for another (then that is fetched on its own).
bool likelyWritten(const ChmEntry& entry) {
    if (entry.name.size() < 2 || entry.name.front() != '/' || entry.isFolder() || entry.length == 0)
        return false;
    const std::string_view relative = std::string_view(entry.name).substr(1);
    return !listed(kSkippedFileNames, relative) &&
           !listed(kSkippedDirectoryNames, parentOf(relative));
}

// The files of every compressed section, read by decoding each section once in its own order
// while extraction asks in directory order; see SectionStream.
class StreamedSections {
public:
    StreamedSections(ChmFile& chm, std::size_t holdLimit) : chm_(chm) {
        std::map<std::size_t, std::vector<SectionStream::Object>> wanted;
        for (std::size_t i = 0; i < chm.entries.size(); ++i) {
            const ChmEntry& e = chm.entries[i];
            if (e.section < chm.sections.size() && chm.sections[e.section].compressed &&
                likelyWritten(e))
                wanted[e.section].push_back({e.offset, e.length, i});
        }
        for (auto& [index, objects] : wanted) {
            const ChmSection& section = chm.sections[index];
            if (section.decodeAttempted && !section.decoded)
                continue;  // known not to decode: retrieveEntry says so for each file
            if (auto reader = SectionReader::open(chm, index))
                streams_.emplace(index, std::make_unique<SectionStream>(
                                            chm, std::move(reader), std::move(objects), holdLimit));
        }
    }

    // 0 with the bytes of entry `index`, or -1 when they cannot be had whole.
    int fetch(std::size_t index, ObjectBytes& out) {
        const ChmEntry& entry = chm_.entries[index];
        const auto stream = streams_.find(entry.section);
        if (stream != streams_.end()) {
            switch (stream->second->fetch(index, out)) {
                case SectionStream::Fetch::Ready:
                    return 0;
                case SectionStream::Fetch::Failed:
                    return -1;
                case SectionStream::Fetch::Elsewhere:
                    break;
            }
        }
        return retrieveEntry(chm_, entry, out);
    }

private:
    ChmFile& chm_;
    std::map<std::size_t, std::unique_ptr<SectionStream>> streams_;
};

}  // namespace

ExtractionSummary extractChm(const std::string& chmPath, const std::string& outputFolder,
                             ExtractionSink& sink, std::size_t holdLimit) {
    ExtractionSummary summary;
    std::unique_ptr<ChmFile> chm = openChm(chmPath, summary.outcome);
    if (!chm)
        return summary;
    sink.opened(*chm);
    OutputFolder out(outputFolder);
    StreamedSections sections(*chm, holdLimit);
    ObjectBytes bytes;

    for (std::size_t index = 0; index < chm->entries.size(); ++index) {
        const ChmEntry& entry = chm->entries[index];
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
        else if (sections.fetch(index, bytes) != 0)
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
