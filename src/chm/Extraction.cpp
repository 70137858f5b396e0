#include "chm/Extraction.h"

#include <array>
#include <optional>
#include <unordered_set>

#include "build/BuildJob.h"
#include "chm/ChmFile.h"
#include "chm/OutputFolder.h"
#include "chm/SystemLanguage.h"
#include "pages/CodePage.h"
#include "pages/Utf8Converter.h"
#include "platform/AsciiCase.h"

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

// From the last '.' to the end; empty when there is no '.'.
std::string_view extensionOf(std::string_view relative) {
    const std::size_t dot = relative.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : relative.substr(dot);
}

enum class FileKind { Other, Page, Sitemap };

FileKind kindOf(std::string_view relative) {
    const std::string_view ext = extensionOf(relative);
    if (equalsIgnoreAsciiCase(ext, ".hhk") || equalsIgnoreAsciiCase(ext, ".hhc"))
        return FileKind::Sitemap;
    if (equalsIgnoreAsciiCase(ext, ".html") || equalsIgnoreAsciiCase(ext, ".htm"))
        return FileKind::Page;
    return FileKind::Other;
}

void noteWrittenFile(BuildJob& job, std::string_view relative) {
    job.fileList.emplace_back(relative);
    const std::string_view ext = extensionOf(relative);
    if (equalsIgnoreAsciiCase(ext, ".hhk")) {
        job.indexFileName = relative;
    } else if (equalsIgnoreAsciiCase(ext, ".hhc")) {
        job.contentsFileName = relative;
    } else if (equalsIgnoreAsciiCase(ext, ".html") || equalsIgnoreAsciiCase(ext, ".htm")) {
        job.pageList.emplace_back(relative);
    }
}

// The UTF-8 side of an extraction: the help's code page, and the names and contents made UTF-8.
class TextToUtf8 {
public:
    TextToUtf8(ChmFile& chm, ExtractionSummary& summary)
        : chm_(chm),
          summary_(summary),
          converter_(ansiCodePageOf(systemLanguageOf(chm).value_or(0))) {
        summary_.codePage = converter_.codePage();
    }

    // The entry's name as it is written: decoded when it was not UTF-8, unless the decoded name
    // is stored as well (the two would be one file).
    std::string_view name(std::string_view stored) {
        if (!converter_.convertName(stored, name_).converted)
            return stored;
        if (storedNames_.empty())
            for (const ChmEntry& entry : chm_.entries)
                storedNames_.insert(entry.name);
        if (storedNames_.count(name_))
            return stored;
        ++summary_.namesConverted;
        return name_;
    }

    // The bytes to write for a file of that kind; `undecodable` says how many did not decode.
    std::string_view content(FileKind kind, std::string_view bytes, std::size_t& undecodable) {
        undecodable = 0;
        if (kind == FileKind::Other)
            return bytes;
        const TextConversion result = kind == FileKind::Page
                                          ? converter_.convertPage(bytes, content_)
                                          : converter_.convertSitemap(bytes, content_);
        if (!result.converted)
            return bytes;
        ++(kind == FileKind::Page ? summary_.pagesConverted : summary_.sitemapsConverted);
        undecodable = result.undecodable;
        if (undecodable > 0)
            ++summary_.filesWithUndecodableBytes;
        return content_;
    }

private:
    ChmFile& chm_;
    ExtractionSummary& summary_;
    Utf8Converter converter_;
    std::unordered_set<std::string_view> storedNames_;  // views into chm_.entries
    std::string name_;
    std::string content_;
};

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
    std::optional<TextToUtf8> utf8;
    if (job.convertCharset)
        utf8.emplace(*chm, summary);

    for (const ChmEntry& entry : chm->entries) {
        if (job.checkStop()) {
            summary.stopped = true;
            return true;
        }
        if (entry.name.size() < 2 || entry.name.front() != '/')
            continue;  // "::" objects, "/" and ""
        const std::string_view name = utf8 ? utf8->name(entry.name) : entry.name;
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
        std::size_t undecodable = 0;
        const bool ok =
            isSafeRelativeName(relative) && retrieveEntry(*chm, entry, bytes) == 0 &&
            out.writeFile(relative, utf8 ? utf8->content(kindOf(relative), bytes.bytes, undecodable)
                                         : bytes.bytes);
        if (ok) {
            noteWrittenFile(job, relative);
            ++summary.written;
        } else {
            ++summary.failed;
        }
        job.log(ok ? "ok" : "failed", 1);
        if (ok && undecodable > 0) {
            line.assign("\r\n   ")
                .append(relative)
                .append(": ")
                .append(std::to_string(undecodable))
                .append(undecodable == 1 ? " byte" : " bytes")
                .append(" could not be decoded (now U+FFFD)");
            job.log(line, 0);
        }
    }
    return true;
}

}  // namespace plovik
