#include "chm/Extraction.h"

#include <array>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "chm/ChmFile.h"
#include "chm/SectionReader.h"
#include "platform/OutputFolder.h"
#include "text/AsciiCase.h"
#include "text/PathSegments.h"

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

// What becomes of one directory entry, worked out before anything is written. Kept small: a
// help may have a great many entries, and each has one.
struct Planned {
    enum class Kind : std::uint8_t {
        Nothing,   // the compiler's own, a name without "/", or "/" itself
        Folder,    // made in its turn
        File,      // fetched and written in its turn
        Refused,   // told in its turn and never written
        Streamed,  // written as its section is decoded, waiting under a temporary name
    };
    Kind kind = Kind::Nothing;
    std::string name;  // as written, with its leading "/"
};

// Why the file `relative` is never written, or empty when it may be.
std::string refusalOf(std::string_view relative, ExtractionSink& sink) {
    if (!isSafeRelativeName(relative))
        return "its name would leave the output folder";
    // Files wait under such names for their turn; one of the help's own could take the place of
    // another's bytes.
    if (fileNameOf(relative).rfind(OutputFolder::kTemporaryPrefix, 0) == 0)
        return "its name is of the kind files are written under until they are complete";
    return sink.refusal(relative);
}

std::vector<Planned> planEntries(const ChmFile& chm, ExtractionSink& sink) {
    std::vector<Planned> plan(chm.entries.size());
    for (std::size_t index = 0; index < chm.entries.size(); ++index) {
        const ChmEntry& entry = chm.entries[index];
        Planned& p = plan[index];
        if (entry.name.size() < 2 || entry.name.front() != '/')
            continue;  // "::" objects, "/" and ""
        const std::string_view name = sink.nameFor(entry.name);
        if (name.size() < 2 || name.front() != '/')
            continue;
        if (entry.isFolder()) {
            const std::string_view folder = name.substr(1, name.size() - 2);
            if (folder.empty() || listed(kSkippedDirectoryNames, folder))
                continue;
            p.kind = Planned::Kind::Folder;
            p.name.assign(name);
            continue;
        }
        const std::string_view relative = name.substr(1);
        if (listed(kSkippedFileNames, relative) ||
            listed(kSkippedDirectoryNames, parentOf(relative))) {
            continue;
        }
        p.name.assign(name);
        p.kind = refusalOf(relative, sink).empty() ? Planned::Kind::File : Planned::Kind::Refused;
    }
    return plan;
}

std::string unreadable(const ChmEntry& entry) {
    return "its " + std::to_string(entry.length) + " bytes at offset " +
           std::to_string(entry.offset) + " of section " + std::to_string(entry.section) +
           " cannot be read whole";
}

// Writes the files of the compressed sections as they are decoded and tells every entry in
// directory order as soon as it and all before it are done: the sink hears, and the folder
// holds, what writing one file after another would have given at each point.
class InOrderExtraction : public SectionObjectSink {
public:
    InOrderExtraction(ChmFile& chm, OutputFolder& out, ExtractionSink& sink,
                      ExtractionSummary& summary)
        : chm_(chm), out_(out), sink_(sink), summary_(summary), plan_(planEntries(chm, sink)) {}

    void run() {
        std::map<std::size_t, std::vector<SectionObject>> bySection;
        for (std::size_t index = 0; index < plan_.size(); ++index) {
            const ChmEntry& entry = chm_.entries[index];
            if (plan_[index].kind != Planned::Kind::File || entry.length == 0 ||
                entry.section >= chm_.sections.size() || !chm_.sections[entry.section].compressed)
                continue;
            const ChmSection& section = chm_.sections[entry.section];
            if (section.decodeAttempted && !section.decoded)
                continue;  // known not to decode: retrieveEntry says so for each file
            bySection[entry.section].push_back({entry.offset, entry.length, index});
            plan_[index].kind = Planned::Kind::Streamed;
        }
        for (auto& [index, objects] : bySection) {
            auto reader = SectionReader::open(chm_, index);
            if (!reader) {
                // Then each file is fetched in its turn, and says why it is lost.
                for (const SectionObject& object : objects)
                    plan_[object.tag].kind = Planned::Kind::File;
                tell();
                continue;
            }
            if (!deliverSectionObjects(*reader, std::move(objects), *this))
                break;
            tell();
        }
        tell();
        // Files staged beyond a stop never take their names.
        for (const auto& [index, answer] : answers_) {
            if (answer.outcome)
                out_.discard(answer.staged);
        }
    }

    bool stopRequested() override { return summary_.stopped; }

    void objectReady(const SectionObject& object, std::string_view bytes) override {
        const std::string_view relative = std::string_view(plan_[object.tag].name).substr(1);
        Answer& answer = answers_[object.tag];
        answer.outcome =
            out_.stage(relative, sink_.transform(relative, bytes, answer.note), answer.staged);
        tell();
    }

    void objectFailed(const SectionObject& object, const LzxResult& why) override {
        (void)why;
        answers_[object.tag].outcome = Outcome::itemFailed(unreadable(chm_.entries[object.tag]));
        tell();
    }

private:
    // A streamed file whose bytes have come (or cannot), until its turn.
    struct Answer {
        Outcome outcome;  // whether it could be staged
        TransformNote note;
        OutputFolder::Staged staged;
    };

    // Tells the entries whose turn has come, up to one whose bytes are yet to come.
    void tell() {
        for (; next_ < plan_.size() && !summary_.stopped; ++next_) {
            Planned& p = plan_[next_];
            if (p.kind == Planned::Kind::Streamed && !answers_.count(next_))
                return;
            if (sink_.stopRequested()) {
                summary_.stopped = true;
                return;
            }
            tellEntry(next_, p);
        }
    }

    void tellEntry(std::size_t index, Planned& p) {
        const std::string_view relative =
            p.name.empty() ? std::string_view() : std::string_view(p.name).substr(1);
        Outcome outcome;
        TransformNote note;
        switch (p.kind) {
            case Planned::Kind::Nothing:
                return;
            case Planned::Kind::Folder:
                out_.makeFolders(relative);  // folders are not told; a bad one fails its files
                return;
            case Planned::Kind::Refused:
                sink_.entryStarted(p.name);
                outcome = Outcome::itemFailed(refusalOf(relative, sink_));
                break;
            case Planned::Kind::Streamed: {
                sink_.entryStarted(p.name);
                const auto answer = answers_.find(index);
                outcome = answer->second.outcome ? out_.commit(answer->second.staged)
                                                 : std::move(answer->second.outcome);
                note = answer->second.note;
                answers_.erase(answer);
                break;
            }
            case Planned::Kind::File:
                sink_.entryStarted(p.name);
                // An object whose bytes cannot be had whole leaves no file.
                if (retrieveEntry(chm_, chm_.entries[index], bytes_) != 0)
                    outcome = Outcome::itemFailed(unreadable(chm_.entries[index]));
                else
                    outcome = out_.write(relative, sink_.transform(relative, bytes_.bytes, note));
                break;
        }
        ++(outcome ? summary_.written : summary_.failed);
        sink_.entryFinished(relative, outcome, note);
        p = Planned{};  // told; its name goes
    }

    ChmFile& chm_;
    OutputFolder& out_;
    ExtractionSink& sink_;
    ExtractionSummary& summary_;
    std::vector<Planned> plan_;
    std::unordered_map<std::size_t, Answer> answers_;  // by entry
    std::size_t next_ = 0;                             // the entry whose turn it is
    ObjectBytes bytes_;
};

}  // namespace

ExtractionSummary extractChm(const std::string& chmPath, const std::string& outputFolder,
                             ExtractionSink& sink) {
    ExtractionSummary summary;
    std::unique_ptr<ChmFile> chm = openChm(chmPath, summary.outcome);
    if (!chm)
        return summary;
    sink.opened(*chm);
    OutputFolder out(outputFolder);
    InOrderExtraction(*chm, out, sink, summary).run();
    return summary;
}

}  // namespace plovik
