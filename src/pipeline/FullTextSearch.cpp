#include "pipeline/FullTextSearch.h"

#include <unordered_map>

#include "pages/Progress.h"
#include "platform/TextFile.h"
#include "templating/TemplateFiller.h"
#include "text/AsciiCase.h"
#include "text/JsString.h"
#include "text/UnicodeWords.h"

namespace plovik {

namespace {

constexpr size_t kWordCapacity = 255;
constexpr size_t kCutWordLength = 254;

// Hands out the page's lines the way a line read does: up to and including the newline; an empty
// text once the end has been reached.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool atEnd() const { return pos_ >= text_.size(); }
    std::string_view next() {
        if (atEnd())
            return {};
        size_t lf = text_.find('\n', pos_);
        size_t end = (lf == std::string_view::npos) ? text_.size() : lf + 1;
        std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end;
        return line;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// A tag that ends before the line does stays open: the next lines are joined to it until its
// '>' arrives. Each round scans from the end of the line for its last '<' and last '>', turning
// the newlines it passes into blanks. What an earlier round scanned it has already converted, and
// its last '<' and '>' stay the last ones unless the added text has its own, so each round only
// needs to scan the text it added.
void joinUnfinishedTags(std::string& line, LineReader& reader) {
    constexpr size_t none = std::string::npos;
    size_t lastLt = none, lastGt = none;
    size_t scanFrom = 0;  // start of the text not scanned yet
    while (!line.empty()) {
        if (line == " ")
            return;
        size_t newLt = none, newGt = none;
        for (size_t i = line.size(); i-- > scanFrom;) {
            if (line[i] == '\n')
                line[i] = ' ';
            if (line[i] == '<' && newLt == none)
                newLt = i;
            if (line[i] == '>' && newGt == none)
                newGt = i;
            if (newLt != none && newGt != none)
                break;
        }
        if (newLt != none)
            lastLt = newLt;
        if (newGt != none)
            lastGt = newGt;
        if (lastGt != none && (lastLt == none || lastLt < lastGt))
            return;
        if (reader.atEnd())
            return;
        scanFrom = line.size();
        line += reader.next();
    }
}

// Scripts hold no visible words: a line with a script loses everything, and a script that goes on
// past its line takes the following lines with it.
// True when a '<' of `line` is followed by an 's' or by "/s", in either case: where a script mark
// can begin. Most lines have neither, and one pass over them spares the two searches below.
bool mayHoldScriptMark(std::string_view line) {
    for (size_t lt = line.find('<'); lt != std::string_view::npos; lt = line.find('<', lt + 1)) {
        size_t next = lt + 1;
        if (next < line.size() && line[next] == '/')
            ++next;
        if (next < line.size() && (line[next] == 's' || line[next] == 'S'))
            return true;
    }
    return false;
}

void dropScripts(std::string& line, LineReader& reader) {
    constexpr size_t none = std::string::npos;
    if (!mayHoldScriptMark(line))
        return;
    // Lines are added only while an opening mark is there, and adding never moves the first one.
    const size_t open = findIgnoreAsciiCase(line, "<SCRIPT");
    size_t closeSearchFrom = 0;
    for (;;) {
        const size_t close = findIgnoreAsciiCase(line, "</SCRIPT>", closeSearchFrom);
        if (open == none && close == none)
            return;
        if (close != none && (open == none || open < close)) {
            line.clear();
            return;
        }
        if (reader.atEnd()) {
            // From here every round only drops the last byte, until the opening mark has lost its
            // last byte: when a closing mark stood before it the line is dropped, otherwise the
            // text before that byte stays.
            if (close != none)
                line.clear();
            else
                line.resize(open + 6);
            return;
        }
        line.pop_back();
        // A closing mark found before the opening one stays the first; otherwise a new one can
        // only start in the last 8 bytes or in what is added.
        if (close == none)
            closeSearchFrom = line.size() >= 8 ? line.size() - 8 : 0;
        line += reader.next();
    }
}

void appendPiece(std::string& collected, std::string_view piece) {
    if (piece.find("&nbsp;") == std::string_view::npos) {
        collected += ' ';
        collected += piece;
        return;
    }
    for (size_t at = 0;;) {
        size_t nb = piece.find("&nbsp;", at);
        if (nb == std::string_view::npos) {
            collected += piece.substr(at);
            return;
        }
        collected += piece.substr(at, nb - at);
        collected += "      ";
        at = nb + 6;
    }
}

// Appends the text of `line` outside its tags. What follows a tag "<...>" is everything after its
// '>' up to the next newline, or nothing when the tag is empty, has no '>', or nothing follows it.
// Positions are kept in `line`, and the next newline is looked for only once the reading has
// passed the last one found: a long line of many tags was otherwise searched to its end per tag.
void removeTags(std::string_view line, std::string& collected) {
    constexpr size_t none = std::string_view::npos;
    size_t at = 0;  // the text still to read is [at, end)
    size_t end = line.size();
    size_t newline = line.find('\n');  // the first newline at or after `at`, if any
    auto skipTag = [&](size_t lt) {
        const size_t gt = line.substr(0, end).find('>', lt + 1);
        if (gt == none || gt == lt + 1) {
            at = end;
            return;
        }
        at = gt + 1;
        if (newline != none && newline < at)
            newline = line.find('\n', at);
        if (newline != none && newline < end)
            end = newline;
    };
    while (at < end) {
        if (line[at] == '<') {
            skipTag(at);
            continue;
        }
        const size_t lt = line.substr(0, end).find('<', at);
        appendPiece(collected, line.substr(at, (lt == none ? end : lt) - at));
        if (lt == none)
            return;
        skipTag(lt);
    }
}

}  // namespace

long SearchKeywordList::find(std::string_view word) const {
    // Stored words are at most 255 bytes, so a longer word matches none of them.
    if (word.size() > kWordCapacity)
        return -1;
    const std::uint32_t at =
        byWord_.find(word, StringIndex::hashOf(word),
                     [this](std::uint32_t n) -> std::string_view { return keywords_[n].word; });
    return at == StringIndex::kNone ? -1 : static_cast<long>(at);
}

void SearchKeywordList::add(std::string_view word, int page) {
    long at = find(word);
    if (at >= 0) {
        auto& pages = keywords_[static_cast<size_t>(at)].pages;
        if (pages.empty() || pages.back() != page)
            pages.push_back(page);
        return;
    }
    std::string stored(word.size() > kWordCapacity ? word.substr(0, kCutWordLength) : word);
    // The first keyword of a stored word is the one a look-up finds; later equal ones never are.
    const std::size_t hash = StringIndex::hashOf(stored);
    if (word.size() <= kWordCapacity ||
        byWord_.find(stored, hash, [this](std::uint32_t n) -> std::string_view {
            return keywords_[n].word;
        }) == StringIndex::kNone)
        byWord_.add(hash, static_cast<std::uint32_t>(keywords_.size()));
    keywords_.push_back({std::move(stored), {page}});
}

void SearchKeywordList::addPage(const std::vector<std::string>& words, int page) {
    // A word met again on its page changes nothing, so only its first time is looked up in the
    // whole list. A word too long to be stored is a keyword of its own each time.
    seen_.clear();
    for (const std::string& word : words)
        if (word.size() > kWordCapacity || seen_.insert(word).second)
            add(word, page);
    seen_.clear();
}

std::vector<std::string> extractPageWordsFromText(std::string_view pageText, WordSplit split) {
    LineReader reader(pageText);
    std::string collected;
    bool inBody = false;
    std::string line;
    while (!reader.atEnd()) {
        std::string_view next = reader.next();
        if (!inBody) {
            if (findIgnoreAsciiCase(next, "<BODY") == std::string_view::npos)
                continue;
            inBody = true;
        }
        line.assign(next);
        joinUnfinishedTags(line, reader);
        dropScripts(line, reader);
        removeTags(line, collected);
    }
    std::vector<std::string> words;
    if (split == WordSplit::Unicode)
        appendUnicodeWords(collected, words);
    else
        appendByteWords(collected, words);
    return words;
}

std::vector<std::string> extractPageWords(const std::string& pagePath, WordSplit split) {
    auto text = readTextFile(pagePath);
    if (!text)
        return {};
    return extractPageWordsFromText(*text, split);
}

void mergePageWords(SearchKeywordList& list, const std::vector<std::string>& words,
                    int pageNumber) {
    list.addPage(words, pageNumber);
}

bool writeSearchData(Progress* progress, std::string& out, const SearchKeywordList& list,
                     const std::vector<std::string>& pageList,
                     const std::vector<SitemapNode>& nodes) {
    out = "var keywords = [";
    const auto& keywords = list.keywords();
    for (size_t i = 0; i < keywords.size(); ++i) {
        if (progress && progress->checkStop())
            return false;
        out += "[\"";
        appendJsStringBody(out, keywords[i].word);
        out += "\",[";
        for (size_t p = 0; p < keywords[i].pages.size(); ++p) {
            if (p)
                out += ',';
            out += std::to_string(keywords[i].pages[p]);
        }
        out += i + 1 < keywords.size() ? "]]," : "]]";
    }
    out += "];\r\n\r\nvar files = [";

    // The title of a page is the name of the last table-of-contents entry whose local is exactly
    // the page's name.
    std::unordered_map<std::string_view, std::string_view> titleByLocal;
    titleByLocal.reserve(nodes.size());
    for (const SitemapNode& node : nodes)
        titleByLocal[node.local] = node.name;
    for (size_t i = 0; i < pageList.size(); ++i) {
        if (progress && progress->checkStop())
            return false;
        auto it = titleByLocal.find(pageList[i]);
        out += "[\"";
        appendJsStringBody(out, it != titleByLocal.end() ? it->second : pageList[i]);
        out += "\",\"";
        appendJsStringBody(out, pageList[i]);
        out += i + 1 < pageList.size() ? "\"]," : "\"]";
    }
    out += "];";
    return true;
}

void writeHelpSearchPage(const std::string& pagePath, const std::string& templatePath) {
    TemplateFiller filler(templatePath);
    filler.addReplacement("utf-8", "[#charset#]");
    filler.addReplacement("Help Search", "[#title#]");
    filler.writeFilled(pagePath);
}

bool collectSearchWords(Progress& progress, const std::string& outputFolder,
                        const std::vector<std::string>& pageList, WordSplit split,
                        SearchKeywordList& list) {
    progress.log("\r\nstart generate keyword......", 1);
    for (size_t n = 0; n < pageList.size(); ++n) {
        if (progress.checkStop())
            return false;
        progress.log("\r\n   parse keyword from:" + pageList[n] + "..", 0);
        mergePageWords(list, extractPageWords(outputFolder + pageList[n], split),
                       static_cast<int>(n));
        progress.log("....ok", 1);
        progress.itemDone();
    }
    return true;
}

bool writeSearchFiles(Progress& progress, const std::string& outputFolder,
                      const std::string& templateFolder, const SearchKeywordList& list,
                      const std::vector<std::string>& pageList,
                      const std::vector<SitemapNode>& nodes) {
    writeHelpSearchPage(outputFolder + "HelpSearch.html", templateFolder + "HelpSearch.tpl");
    progress.log("\r\n\r\nsave keyword results(may be used few minutes)......", 0);
    std::string data;
    if (!writeSearchData(&progress, data, list, pageList, nodes))
        return false;
    // Already in its text-mode form; a data file that cannot be written is skipped.
    writeBinaryFile(outputFolder + "js/searchdata.js", data);
    progress.log("ok\r\n", 1);
    return true;
}

bool buildSearchData(Progress& progress, const std::string& outputFolder,
                     const std::string& templateFolder, const std::vector<std::string>& pageList,
                     const std::vector<SitemapNode>& nodes, WordSplit split) {
    SearchKeywordList list;
    return collectSearchWords(progress, outputFolder, pageList, split, list) &&
           writeSearchFiles(progress, outputFolder, templateFolder, list, pageList, nodes);
}

}  // namespace plovik
