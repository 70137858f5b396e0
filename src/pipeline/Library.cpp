#include "pipeline/Library.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "chm/ChmFile.h"
#include "chm/SystemLanguage.h"
#include "pages/PageLinks.h"
#include "pipeline/HelpTextToUtf8.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/TextFile.h"
#include "platform/dialog/HtmlText.h"
#include "text/AsciiCase.h"
#include "text/Capacity.h"
#include "text/CodePage.h"
#include "text/JsString.h"
#include "text/PercentEscapes.h"
#include "text/Utf8Converter.h"

namespace plovik {

namespace {

std::string_view fileNameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A folder name stays short enough for any file system, whatever the CHM was called.
constexpr std::size_t kMaxFolderName = 64;

// The same file named twice, by another path or through a link, is one help.
std::string identityOf(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

// A text for the body of a JavaScript string inside a <script> element: no "</script>" or
// "<!--" can form in it.
void appendScriptString(std::string& out, std::string_view text) {
    std::string body;
    appendJsStringBody(body, text);
    for (char c : body) {
        if (c == '<')
            out += "\\u003C";
        else
            out += c;
    }
}

std::string linkToFolderPage(std::string_view folder, std::string_view page) {
    std::string link(folder);
    link += '/';
    std::size_t from = 0;
    for (std::size_t cut = page.find('/');; cut = page.find('/', from)) {
        link += linkToStoredName(page.substr(from, cut - from));
        if (cut == std::string_view::npos)
            break;
        link += '/';
        from = cut + 1;
    }
    return link;
}

}  // namespace

std::string libraryFolderName(std::string_view chmPath) {
    std::string_view name = fileNameOf(chmPath);
    if (const std::size_t dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    std::string folder;
    for (char c : name.substr(0, kMaxFolderName)) {
        const bool kept = isAsciiLetter(c) || isAsciiDigit(c) || c == '-' || c == '_' || c == '.';
        folder += kept ? c : '_';
    }
    if (!folder.empty() && folder.front() == '.')
        folder.front() = '_';
    bool named = false;
    for (char c : folder)
        named = named || isAsciiLetter(c) || isAsciiDigit(c);
    return named ? folder : "help";
}

std::vector<LibraryMember> planLibrary(const std::vector<std::string>& chmPaths) {
    std::vector<LibraryMember> members;
    std::set<std::string> seenFiles;
    // Folder names are kept apart without regard to case: a site may be copied to a file system
    // that ignores it.
    std::set<std::string> takenFolders = {asciiLowered(kLibraryPageName)};
    for (const std::string& path : chmPaths) {
        if (!seenFiles.insert(identityOf(path)).second)
            continue;
        LibraryMember member;
        member.chmPath = path;
        const std::string base = libraryFolderName(path);
        member.folder = base;
        for (int n = 2; !takenFolders.insert(asciiLowered(member.folder)).second; ++n)
            member.folder = base + "-" + std::to_string(n);
        member.title = helpTitleOf(path);
        if (member.title.empty()) {
            std::string_view stem = fileNameOf(path);
            stem = stem.substr(0, stem.find_last_of('.'));
            member.title = stem.empty() ? member.folder : std::string(stem);
        }
        members.push_back(std::move(member));
    }
    return members;
}

std::vector<std::string> storedNamesOf(const std::string& chmPath, bool convertCharset) {
    std::vector<std::string> names;
    std::unique_ptr<ChmFile> chm = openChm(chmPath);
    if (!chm)
        return names;
    std::unique_ptr<HelpTextToUtf8> utf8;
    if (convertCharset)
        utf8 = std::make_unique<HelpTextToUtf8>(*chm);
    for (const ChmEntry& entry : chm->entries) {
        if (entry.name.size() < 2 || entry.name.front() != '/' || entry.isFolder())
            continue;
        const std::string_view name = utf8 ? utf8->name(entry.name) : entry.name;
        if (name.size() >= 2 && name.front() == '/')
            names.emplace_back(name.substr(1));
    }
    return names;
}

std::string helpTitleOf(const std::string& chmPath) {
    std::unique_ptr<ChmFile> chm = openChm(chmPath);
    if (!chm)
        return {};
    const std::string title = systemTextsOf(*chm).title;
    Utf8Converter converter(ansiCodePageOf(systemLanguageOf(*chm).value_or(0)));
    std::string utf8;
    const std::string& text = converter.convertName(title, utf8).converted ? utf8 : title;
    std::string shown;
    for (char c : text)
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    return cutToCapacity(shown, kPathCapacity);
}

std::vector<LibraryHelp> libraryLinksFor(const std::vector<LibraryMember>& members,
                                         std::size_t self,
                                         const std::vector<std::vector<std::string>>& storedNames) {
    std::vector<LibraryHelp> helps;
    std::set<std::string> named;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const std::string name = asciiLowered(fileNameOf(members[k].chmPath));
        if (!named.insert(name).second || k == self)
            continue;
        helps.push_back({std::string(fileNameOf(members[k].chmPath)),
                         "../" + members[k].folder + "/",
                         k < storedNames.size() ? storedNames[k] : std::vector<std::string>{}});
    }
    return helps;
}

std::string libraryPageText(std::string_view templateText, std::string_view title,
                            const std::vector<LibraryEntry>& entries) {
    std::string helps;
    std::string data = "[";
    for (const LibraryEntry& entry : entries) {
        if (!entry.built)
            continue;
        const std::string href = linkToFolderPage(entry.member.folder, entry.entryPage);
        helps += "<li><a class=\"pk-lib-help\" href=\"" + escapeHtml(href) + "\">" +
                 escapeHtml(entry.member.title) + "</a> <span class=\"pk-lib-folder\">" +
                 escapeHtml(entry.member.folder) + "/</span></li>\n";
        if (data.size() > 1)
            data += ",\n";
        data += "{\"title\":\"";
        appendScriptString(data, entry.member.title);
        data += "\",\"folder\":\"";
        appendScriptString(data, entry.member.folder);
        data += "\",\"entry\":\"";
        appendScriptString(data, entry.entryPage);
        data += "\",\"framed\":";
        data += entry.framed ? "true" : "false";
        data += ",\"search\":";
        data += entry.searchable ? "true" : "false";
        data += '}';
    }
    data += ']';

    const std::string shownTitle = escapeHtml(title);
    const std::pair<std::string_view, const std::string*> values[] = {
        {"[#title#]", &shownTitle}, {"[#helps#]", &helps}, {"[#library_data#]", &data}};
    std::string page;
    for (std::size_t at = 0; at < templateText.size();) {
        bool replaced = false;
        for (const auto& [placeholder, value] : values) {
            if (templateText.substr(at, placeholder.size()) == placeholder) {
                page += *value;
                at += placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            page += templateText[at++];
    }
    return page;
}

LibraryOutcome buildLibrary(const std::vector<LibraryMember>& members,
                            const ProjectSettings& settings, const std::string& siteFolder,
                            std::string_view libraryTitle, const std::string& templatePath,
                            BuildJob& job, BuildHost& host,
                            const std::function<void(BuildJob&)>& wait) {
    LibraryOutcome outcome;
    // One library build per site folder, as one build per help folder.
    FolderLockAttempt lock = tryLockFolder(siteFolder);
    if (!lock) {
        host.showValidationMessage(lock.reason);
        outcome.refused = true;
        return outcome;
    }
    const bool convertCharset = settings.charset != 1;
    std::vector<std::vector<std::string>> storedNames;
    for (const LibraryMember& member : members)
        storedNames.push_back(storedNamesOf(member.chmPath, convertCharset));

    for (std::size_t k = 0; k < members.size(); ++k) {
        const LibraryMember& member = members[k];
        LibraryEntry entry;
        entry.member = member;
        ProjectSettings one = settings;
        one.chmfile = member.chmPath;
        one.outputpath = siteFolder + member.folder + "/";
        one.title = cutToCapacity(member.title, kPathCapacity);
        createFolder(one.outputpath);
        job.library = libraryLinksFor(members, k, storedNames);
        job.searchDataForLibrary = settings.version == 1 && settings.buildsearch != 0;
        const bool started = startBuild(job, one, host);
        if (!started) {
            job.library.clear();
            job.searchDataForLibrary = false;
            outcome.refused = true;
            outcome.entries.push_back(std::move(entry));
            break;
        }
        wait(job);
        job.waitForWorker();
        job.searchDataForLibrary = false;
        entry.result = job.result();
        if (job.stoppedByRequest()) {
            outcome.stopped = true;
            outcome.entries.push_back(std::move(entry));
            break;
        }
        entry.built = entry.result.grade != Grade::Fatal;
        entry.entryPage = job.entryPageName;
        entry.framed = settings.version == 0;
        entry.searchable = entry.built && settings.buildsearch != 0 &&
                           pathExists(one.outputpath + "js/searchdata.js");
        outcome.entries.push_back(std::move(entry));
    }

    bool anyBuilt = false;
    for (const LibraryEntry& entry : outcome.entries)
        anyBuilt = anyBuilt || entry.built;
    if (!anyBuilt || outcome.stopped)
        return outcome;
    const std::optional<std::string> templateText = readBinaryFile(templatePath);
    if (!templateText)
        outcome.libraryPageError = "its template " + templatePath + " cannot be read";
    else if (!writeBinaryFile(siteFolder + std::string(kLibraryPageName),
                              libraryPageText(*templateText, libraryTitle, outcome.entries)))
        outcome.libraryPageError =
            siteFolder + std::string(kLibraryPageName) + " cannot be written";
    return outcome;
}

std::string libraryReport(const std::vector<LibraryEntry>& entries, bool linksOnly) {
    std::string text;
    for (const LibraryEntry& entry : entries) {
        const std::string prefix = entry.member.folder + "/";
        if (!linksOnly && entry.result.grade == Grade::Fatal) {
            // One line whatever the reason quotes: its control bytes are escaped.
            text += "help\t" + prefix + "\t";
            for (char c : entry.result.reason) {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20 || byte == 0x7F)
                    appendPercentEscape(text, byte);
                else
                    text += c;
            }
            text += '\n';
        }
        const std::string& lines = linksOnly ? entry.result.linksReport : entry.result.report;
        std::size_t from = 0;
        while (from < lines.size()) {
            std::size_t end = lines.find('\n', from);
            if (end == std::string::npos)
                end = lines.size();
            const std::string_view line = std::string_view(lines).substr(from, end - from);
            // The item is the first field of a links report line and the second of a report's.
            const std::size_t itemAt = linksOnly ? 0 : line.find('\t') + 1;
            if (itemAt <= line.size()) {
                text.append(line.substr(0, itemAt));
                text += prefix;
                text.append(line.substr(itemAt));
                text += '\n';
            }
            from = end + 1;
        }
    }
    return text;
}

}  // namespace plovik
