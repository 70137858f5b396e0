#include "pipeline/ContextHelp.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>

#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "pages/Progress.h"
#include "pipeline/HelpTextToUtf8.h"
#include "platform/OutputFolder.h"
#include "platform/TextFile.h"
#include "text/AsciiCase.h"
#include "text/JsString.h"
#include "text/PercentEscapes.h"

namespace plovik {

namespace {

// A header that includes headers that include it ends here.
constexpr int kMaxIncludeDepth = 8;
// Bigger than any header of names; a bigger file is not read.
constexpr std::uintmax_t kMaxNamesFileSize = 16u << 20;

// A script string for a page's inline script: besides what ends a string, "<", ">" and "&" are
// escaped, so that no "</script>" or "<!--" in a name can end or bend the script element.
void appendScriptString(std::string& out, std::string_view text) {
    std::string body;
    appendJsStringBody(body, text);
    out += '"';
    for (char c : body) {
        if (c == '<')
            out += "\\u003C";
        else if (c == '>')
            out += "\\u003E";
        else if (c == '&')
            out += "\\u0026";
        else
            out += c;
    }
    out += '"';
}

// A place in a page is kept only when it is a plain anchor name, which needs no escaping in any
// of the places it goes.
std::string plainPlace(std::string_view fragment) {
    if (fragment.size() < 2 || fragment.front() != '#')
        return {};
    for (char c : fragment.substr(1))
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '_' && c != '-' && c != '.' && c != ':')
            return {};
    return std::string(fragment);
}

// The first of "stem.ext", "stem-2.ext", ... that is no file of the help and not the entry page:
// a help may hold a context.html of its own, and the build must not write over it.
std::string freeName(std::string_view stem, std::string_view ext,
                     const std::vector<std::string>& files, const std::string& entryPage) {
    std::unordered_set<std::string> taken;
    for (const std::string& file : files)
        taken.insert(asciiLowered(file));
    taken.insert(asciiLowered(entryPage));
    for (int n = 1;; ++n) {
        std::string name(stem);
        if (n > 1)
            name += "-" + std::to_string(n);
        name += ext;
        if (!taken.count(asciiLowered(name)))
            return name;
    }
}

bool startsLikeFormula(std::string_view text) {
    return !text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' ||
                             text[0] == '\t' || text[0] == '\r');
}

void appendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string idList(const std::vector<SiteContextId>& ids) {
    std::string out = "[";
    bool first = true;
    for (const SiteContextId& id : ids) {
        if (id.page.empty())
            continue;
        out += first ? "\n" : ",\n";
        first = false;
        out += "        [" + std::to_string(id.id) + ", ";
        appendScriptString(out, id.alias);
        out += ", ";
        appendScriptString(out, id.page);
        out += ", ";
        appendScriptString(out, pageUrl(id.page) + id.place);
        out += "]";
    }
    out += "\n    ]";
    return out;
}

// The page's script reads only these data and writes only text into the page; every link it
// makes is a relative one that the build made from a page of the site.
constexpr std::string_view kPageHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<meta name="robots" content="noindex">
<title>Context help</title>
<style>
body { font: 15px/1.5 system-ui, sans-serif; margin: 2em auto; max-width: 46em; padding: 0 1em; }
#pk-status { font-size: 1.1em; }
#pk-status.pk-unknown { border-left: 4px solid #c33; padding-left: .8em; }
table { border-collapse: collapse; margin-top: 1em; }
th, td { text-align: left; padding: .2em .8em .2em 0; vertical-align: top; }
td:first-child { font-variant-numeric: tabular-nums; }
</style>
</head>
<body>
<h1>Context help</h1>
<p id="pk-status" role="status">Opening the topic&hellip;</p>
<noscript><p>This page needs JavaScript to find a topic by its context id. The file helpmap.csv beside it lists every id with its page.</p></noscript>
<p id="pk-start" hidden><a id="pk-start-link" href="#">Open the help's start page</a></p>
<table id="pk-ids" hidden><thead><tr><th>Id</th><th>Name</th><th>Topic</th></tr></thead><tbody></tbody></table>
<script>
(function () {
    'use strict';
)";

constexpr std::string_view kPageScript = R"(
    var doc = document;
    var status = doc.getElementById('pk-status');

    function say(text, unknown) {
        status.textContent = text;
        status.className = unknown ? 'pk-unknown' : '';
    }

    // Where an id's topic opens: inside the framed site's entry page, or the page itself.
    function target(entry) {
        if (FRAME_PAGE) return FRAME_PAGE + '#topic=' + encodeURIComponent(entry[3]).replace(/%2F/gi, '/');
        return entry[3];
    }

    function parseId(text) {
        var m = /^\s*(?:0x([0-9a-f]{1,8})|([0-9]{1,10}))\s*$/i.exec(text);
        if (!m) return null;
        var n = m[1] ? parseInt(m[1], 16) : parseInt(m[2], 10);
        return n <= 4294967295 ? n : null;
    }

    function byId(id) {
        for (var i = 0; i < IDS.length; i++) if (IDS[i][0] === id) return IDS[i];
        return null;
    }

    // Names as the application spells them, else with letter case ignored.
    function byAlias(alias) {
        var i;
        for (i = 0; i < IDS.length; i++) if (IDS[i][1] && IDS[i][1] === alias) return IDS[i];
        var lower = alias.toLowerCase();
        for (i = 0; i < IDS.length; i++) if (IDS[i][1] && IDS[i][1].toLowerCase() === lower) return IDS[i];
        return null;
    }

    function offerStart() {
        doc.getElementById('pk-start-link').setAttribute('href', START_PAGE);
        doc.getElementById('pk-start').hidden = false;
    }

    function listIds() {
        var table = doc.getElementById('pk-ids');
        var body = table.tBodies[0];
        for (var i = 0; i < IDS.length; i++) {
            var row = body.insertRow();
            row.insertCell().textContent = String(IDS[i][0]);
            row.insertCell().textContent = IDS[i][1];
            var link = doc.createElement('a');
            link.setAttribute('href', target(IDS[i]));
            link.textContent = IDS[i][2];
            row.insertCell().appendChild(link);
        }
        table.hidden = IDS.length === 0;
    }

    // "?id=1001" or "?alias=IDH_NAME"; the same after "#" for callers that cannot add a query.
    var query = location.search.replace(/^\?/, '') || location.hash.replace(/^#/, '');
    var params = new URLSearchParams(query);
    var idText = params.get('id');
    var alias = params.get('alias');
    var entry = null;
    if (idText !== null) {
        var id = parseId(idText);
        entry = id === null ? null : byId(id);
        if (!entry) {
            say(id === null ? 'There is no topic for "' + idText + '": a context id is a number.'
                            : 'This help has no topic for the context id ' + idText.trim() + '.', true);
        }
    } else if (alias !== null) {
        entry = byAlias(alias);
        if (!entry) say('This help has no topic named "' + alias + '".', true);
    } else {
        say('Open a topic by its context id: context.html?id=NUMBER or context.html?alias=NAME. The help knows these ids:');
        listIds();
        return;
    }
    if (entry) {
        say('Opening ' + entry[2] + '\u2026');
        location.replace(target(entry));
    } else {
        offerStart();
    }
})();
</script>
</body>
</html>
)";

// The help opened once more, for its map alone, and quietly: extraction has shown the container's
// diagnostic lines already. Null for a help without a map, which is then not decoded again; and
// for one that cannot be opened, which extraction has reported.
std::unique_ptr<ChmFile> openForContextMap(const std::string& path) {
    auto chm = std::make_unique<ChmFile>();
    chm->source = openFileSource(path);
    chm->sink = &silentSink();
    if (!chm->source || !loadItsfHeader(*chm) || !loadDirectory(*chm) || !hasContextMap(*chm))
        return nullptr;
    readSectionNames(*chm);
    return chm;
}

}  // namespace

std::string pageUrl(std::string_view page) {
    std::string out;
    for (char c : page) {
        if (isAsciiLetter(c) || isAsciiDigit(c) || c == '/' || c == '-' || c == '.' || c == '_' ||
            c == '~')
            out += c;
        else
            appendPercentEscape(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string contextMapCsv(const std::vector<SiteContextId>& ids) {
    std::string out = "id,alias,page\r\n";
    for (const SiteContextId& id : ids) {
        out += std::to_string(id.id);
        out += ',';
        appendCsvField(out, startsLikeFormula(id.alias) ? "'" + id.alias : id.alias);
        out += ',';
        if (!id.page.empty()) {
            const std::string page = id.page + id.place;
            appendCsvField(out, startsLikeFormula(page) ? "./" + page : page);
        }
        out += "\r\n";
    }
    return out;
}

std::string contextPageHtml(const std::vector<SiteContextId>& ids, const std::string& framePage,
                            const std::string& startPage) {
    std::string out(kPageHead);
    out += "    var FRAME_PAGE = ";
    appendScriptString(out, framePage.empty() ? std::string() : pageUrl(framePage));
    out += ";\n    var START_PAGE = ";
    appendScriptString(out, pageUrl(startPage));
    out += ";\n    // id, name, page, link\n    var IDS = ";
    out += idList(ids);
    out += ";\n";
    out += kPageScript;
    return out;
}

bool loadContextNames(const std::string& path, std::map<std::uint32_t, std::string>& names,
                      std::string& whyNot) {
    namespace fs = std::filesystem;
    std::set<fs::path> seen;
    std::vector<std::string> problems;
    // Depth first, so that the names come in the order a compiler meets them.
    auto load = [&](auto& self, const fs::path& file, int depth) -> bool {
        std::error_code ec;
        const fs::path canonical = fs::weakly_canonical(file, ec);
        if (!seen.insert(ec ? file : canonical).second)
            return true;
        const std::uintmax_t size = fs::file_size(file, ec);
        std::optional<std::string> text;
        if (!ec && size <= kMaxNamesFileSize)
            text = readBinaryFile(file);
        if (!text) {
            problems.push_back(file.string() + (!ec && size > kMaxNamesFileSize
                                                    ? " is too big for a file of names"
                                                    : " cannot be read"));
            return false;
        }
        std::vector<std::string> includes;
        for (auto& [id, name] : parseContextNames(*text, &includes))
            names.emplace(id, std::move(name));
        for (const std::string& include : includes) {
            if (depth >= kMaxIncludeDepth) {
                problems.push_back(file.string() + " includes files " +
                                   std::to_string(kMaxIncludeDepth) + " deep; " + include +
                                   " is not read");
                continue;
            }
            std::string relative = include;
            std::replace(relative.begin(), relative.end(), '\\', '/');
            self(self, file.parent_path() / relative, depth + 1);
        }
        return true;
    };
    const bool read = load(load, fs::path(path), 0);
    whyNot.clear();
    for (const std::string& problem : problems)
        whyNot += (whyNot.empty() ? "" : "; ") + problem;
    return read;
}

void buildContextHelp(Progress& progress, const ContextHelpInput& input) {
    std::unique_ptr<ChmFile> chm = openForContextMap(input.chmPath);
    if (!chm)
        return;
    ContextMap map;
    const Outcome read = readContextMap(*chm, map);
    if (read && map.entries.empty())
        return;
    progress.log("\r\nbuild context map......", 0);
    if (!read) {
        progress.log("failed\r\n", 1);
        progress.log("   " + read.reason + "\r\n", 0);
        return;
    }

    std::string namesProblem;
    if (!input.namesFile.empty()) {
        std::map<std::uint32_t, std::string> names;
        loadContextNames(input.namesFile, names, namesProblem);
        nameContextIds(map, names);
    }

    std::unordered_set<std::string_view> pages;
    if (input.pages)
        pages.insert(input.pages->begin(), input.pages->end());
    std::unique_ptr<HelpTextToUtf8> utf8;
    if (input.convertCharset)
        utf8 = std::make_unique<HelpTextToUtf8>(*chm);
    std::vector<SiteContextId> ids;
    ids.reserve(map.entries.size());
    std::size_t pageless = 0;
    const ContextEntry* firstPageless = nullptr;
    for (const ContextEntry& entry : map.entries) {
        SiteContextId id{entry.id, entry.alias, {}, {}};
        if (!entry.file.empty()) {
            std::string_view name = utf8 ? utf8->name(entry.file) : std::string_view(entry.file);
            name.remove_prefix(1);  // the directory's leading '/'
            if (pages.count(name)) {
                id.page = std::string(name);
                id.place = plainPlace(entry.fragment);
            }
        }
        if (id.page.empty() && pageless++ == 0)
            firstPageless = &entry;
        ids.push_back(std::move(id));
    }

    static const std::vector<std::string> kNoFiles;
    const std::vector<std::string>& files = input.files ? *input.files : kNoFiles;
    const std::string pageName = freeName("context", ".html", files, input.entryPageName);
    const std::string csvName = freeName("helpmap", ".csv", files, input.entryPageName);
    OutputFolder folder(input.outputFolder);
    const std::string startPage = input.framed ? input.entryPageName : "index.html";
    const Outcome page = folder.write(
        pageName, contextPageHtml(ids, input.framed ? input.entryPageName : "", startPage));
    const Outcome csv = folder.write(csvName, contextMapCsv(ids));
    if (!page || !csv) {
        progress.log("failed\r\n", 1);
        progress.log("   " + (page ? csv.reason : page.reason) + "\r\n", 0);
        return;
    }
    progress.log("ok\r\n", 1);

    std::string notes;
    if (pageName != "context.html" || csvName != "helpmap.csv")
        notes += "   the help has files of the usual names; the context page is " + pageName +
                 ", the map " + csvName + "\r\n";
    if (pageless > 0)
        notes += "   " + std::to_string(pageless) + " of " + std::to_string(ids.size()) +
                 " context ids open no page of the site, the first id " +
                 std::to_string(firstPageless->id) + " (" + firstPageless->topic + ")\r\n";
    if (!read.reason.empty())
        notes += "   " + read.reason + "\r\n";
    if (!namesProblem.empty())
        notes += "   context names: " + namesProblem + "\r\n";
    if (!notes.empty())
        progress.log(notes, 0);
}

}  // namespace plovik
