#include "pipeline/SearchIndex.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <unordered_map>

#include "pages/Progress.h"
#include "pipeline/FullTextSearch.h"
#include "platform/FileSystem.h"
#include "platform/OutputFolder.h"
#include "platform/TextFile.h"
#include "text/AsciiCase.h"
#include "text/HtmlEntities.h"
#include "text/JsString.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

// What the text reading makes of an element, by its name. From Title on, an element's content
// is never shown; each of those has a kind of its own, as its end tag must match its start tag.
enum class Element : unsigned char {
    None,
    Other,
    Inline,  // stands inside a word as often as between words ("Hash<b>Map</b>")
    Heading,
    Body,
    Title,
    Head,
    Script,
    Style,
    Template,
    Noscript,
    Object,
    Applet,
    Xml,
};

constexpr std::pair<std::string_view, Element> kNamedElements[] = {
    {"script", Element::Script}, {"style", Element::Style},       {"head", Element::Head},
    {"title", Element::Title},   {"template", Element::Template}, {"noscript", Element::Noscript},
    {"object", Element::Object}, {"applet", Element::Applet},     {"xml", Element::Xml},
    {"body", Element::Body}};

std::string_view tagName(std::string_view tag) {
    std::size_t end = 0;
    while (end < tag.size() && (isAsciiLetter(tag[end]) || isAsciiDigit(tag[end])))
        ++end;
    return tag.substr(0, end);
}

constexpr std::string_view kInlineElements[] = {
    "a",      "abbr",   "b",    "big",  "cite", "code", "dfn",  "em",    "font",
    "i",      "kbd",    "mark", "nobr", "q",    "s",    "samp", "small", "span",
    "strike", "strong", "sub",  "sup",  "tt",   "u",    "var"};

template <std::size_t N>
bool isOneOf(const std::string_view (&names)[N], std::string_view name) {
    for (std::string_view candidate : names)
        if (candidate.size() == name.size() && candidate.front() == name.front() &&
            candidate == name)
            return true;
    return false;
}

bool isHeading(std::string_view name) {
    return name.size() == 2 && (name[0] == 'h' || name[0] == 'H') && name[1] >= '1' &&
           name[1] <= '6';
}

// The kind of a tag named `name` (letters and digits, any case), asked for every tag of every
// page: no known name is longer than eight letters, and the first letter rules out nearly all of
// them before their bytes are compared.
Element elementOf(std::string_view name) {
    char lowered[8];
    if (name.size() > sizeof lowered)
        return Element::Other;
    for (std::size_t k = 0; k < name.size(); ++k)
        lowered[k] = asciiLower(name[k]);
    const std::string_view key(lowered, name.size());
    if (isHeading(key))
        return Element::Heading;
    if (isOneOf(kInlineElements, key))
        return Element::Inline;
    for (const auto& [known, element] : kNamedElements)
        if (known.size() == key.size() && known.front() == key.front() && known == key)
            return element;
    return Element::Other;
}

// The blanks of HTML text made single spaces, as a browser shows them.
void appendCollapsed(std::string& out, std::string_view text) {
    for (char c : text) {
        if (isHtmlSpace(c) || c == '\0') {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
    }
}

void appendNumber(std::string& out, unsigned long n) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), n).ptr;
    out.append(digits, end);
}

void appendJsString(std::string& out, std::string_view text) {
    out += '"';
    appendJsStringBody(out, text);
    out += '"';
}

// The first `count` characters of a word: the key of the shard it belongs to at that depth.
std::string_view prefixOf(std::string_view word, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < count && at < word.size(); ++n)
        at += decodeUtf8At(word, at).length;
    return word.substr(0, at);
}

std::string withoutFragment(std::string_view local) {
    return std::string(local.substr(0, local.find('#')));
}

}  // namespace

SearchPageText readSearchPageText(std::string_view html, bool utf8) {
    SearchPageText page;
    std::string raw;                 // the text of the current run, entities still in it
    Element hidden = Element::None;  // the element whose content is skipped
    bool inTitle = false;
    int headingDepth = 0;
    unsigned position = 0;

    std::string text;
    auto flush = [&] {
        if (raw.empty())
            return;
        // Most runs hold no entity: they are read where they are.
        if (raw.find('&') == std::string::npos) {
            text.swap(raw);
        } else {
            text = decodeHtmlEntities(raw, !utf8);
        }
        raw.clear();
        if (!utf8) {
            for (char& c : text)
                if (static_cast<unsigned char>(c) >= 0x80)
                    c = ' ';  // another code page's letters would read as other characters
        } else {
            replaceIllFormedUtf8(text);
        }
        position = appendFoldedWords(text, position, page.words);
        page.inHeading.resize(page.words.size(), headingDepth > 0);
        if (page.text.size() < SearchIndexWriter::kTextBytes) {  // the snippets need no more
            if (!page.text.empty() && page.text.back() != ' ')
                page.text += ' ';
            appendCollapsed(page.text, text);
        }
    };

    std::size_t i = 0;
    while (i < html.size()) {
        const std::size_t lt = html.find('<', i);
        const std::string_view run = html.substr(i, lt == std::string_view::npos ? lt : lt - i);
        if (inTitle && page.title.size() < 4096)
            page.title += run;
        else if (hidden == Element::None)
            raw += run;
        if (lt == std::string_view::npos)
            break;
        if (lt + 1 < html.size() && html[lt + 1] == '!' && html.compare(lt, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", lt + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        const std::size_t gt = html.find('>', lt + 1);
        if (gt == std::string_view::npos)
            break;
        std::string_view tag = html.substr(lt + 1, gt - lt - 1);
        i = gt + 1;
        const bool closing = !tag.empty() && tag.front() == '/';
        const std::string_view name = tagName(closing ? tag.substr(1) : tag);
        if (name.empty())
            continue;
        const Element element = elementOf(name);
        if (hidden != Element::None) {
            // A head left open ends where the body starts.
            if ((closing && element == hidden) ||
                (hidden == Element::Head && element == Element::Body)) {
                hidden = Element::None;
            } else {
                inTitle = hidden == Element::Head && !closing && element == Element::Title;
                continue;
            }
        }
        // A title holds no tags, so the first one ends a title left open.
        inTitle = !closing && element == Element::Title;
        if (inTitle || element == Element::Inline)
            continue;
        flush();
        raw += ' ';
        if (element == Element::Heading)
            headingDepth = std::max(0, headingDepth + (closing ? -1 : 1));
        if (!closing && tag.back() != '/' && element >= Element::Title)
            hidden = element;
    }
    flush();
    std::string title = decodeHtmlEntities(page.title, !utf8);
    page.title.clear();
    appendCollapsed(page.title, title);
    if (!page.title.empty() && page.title.back() == ' ')
        page.title.pop_back();
    if (!page.title.empty() && page.title.front() == ' ')
        page.title.erase(0, 1);
    if (!utf8)
        for (char& c : page.title)
            if (static_cast<unsigned char>(c) >= 0x80)
                c = '?';
    page.text = cutUtf8(page.text, SearchIndexWriter::kTextBytes);
    return page;
}

SearchIndexWriter::SearchIndexWriter(std::vector<SitemapNode> nodes) : nodes_(std::move(nodes)) {
    for (const SitemapNode& node : nodes_) {
        titleByLocal_[node.local] = &node;
        placeByPage_.try_emplace(withoutFragment(node.local), &node);
    }
}

void SearchIndexWriter::addPage(int number, const std::string& name, SearchPageText page) {
    if (number <= lastNumber_)
        return;
    lastNumber_ = number;
    if (pages_.size() <= static_cast<std::size_t>(number))
        pages_.resize(static_cast<std::size_t>(number) + 1);
    PageInfo& info = pages_[static_cast<std::size_t>(number)];
    info.name = name;
    // As the search data names a page: the last contents entry whose local is the page's name;
    // without one the page's own title, and without that its name.
    const auto namedAt = titleByLocal_.find(name);
    const SitemapNode* named = namedAt == titleByLocal_.end() ? nullptr : namedAt->second;
    const auto placedAt = placeByPage_.find(name);
    const SitemapNode* placed = placedAt == placeByPage_.end() ? nullptr : placedAt->second;
    info.title = named ? named->name : !page.title.empty() ? page.title : name;
    for (const SitemapNode* up = placed; up && up->parentId >= 0 &&
                                         static_cast<std::size_t>(up->parentId) < nodes_.size() &&
                                         up->parentId < up->id;) {
        up = &nodes_[static_cast<std::size_t>(up->parentId)];
        info.ancestors.insert(info.ancestors.begin(), up->name);
    }
    info.text = std::move(page.text);
    info.text.shrink_to_fit();

    // Title words take the first places; the text's words follow a gap, so that a title word
    // and a text word never count as neighbours.
    std::vector<PlacedWord> titleWords;
    const unsigned titleEnd = appendFoldedWords(info.title, 0, titleWords);
    const unsigned textStart = titleEnd + 16;
    const unsigned titleCount = std::min<unsigned>(static_cast<unsigned>(titleWords.size()), 63);

    here_.clear();
    postings_.clear();
    auto postingOf = [&](std::string_view word) -> Posting& {
        const auto [slot, added] = here_.insert(word);
        if (added)
            postings_.emplace_back();
        return postings_[slot];
    };
    for (const PlacedWord& w : titleWords) {
        Posting& p = postingOf(w.word);
        p.flags |= 1;
        p.addPlace(w.position);
    }
    for (std::size_t k = 0; k < page.words.size(); ++k) {
        const PlacedWord& w = page.words[k];
        Posting& p = postingOf(w.word);
        ++p.count;
        if (k < page.inHeading.size() && page.inHeading[k])
            p.flags |= 2;
        p.addPlace(textStart + w.position);
    }
    for (std::uint32_t n = 0; n < here_.size(); ++n) {
        const std::string_view word = here_.word(n);
        Posting& posting = postings_[n];
        posting.flags |= titleCount << 2;
        const std::size_t hash = StringIndex::hashOf(word);
        std::uint32_t at = wordIndex_.find(
            word, hash, [this](std::uint32_t k) -> std::string_view { return words_[k].word; });
        if (at == StringIndex::kNone) {
            at = static_cast<std::uint32_t>(words_.size());
            wordIndex_.add(hash, at);
            words_.push_back({std::string(word), {}});
        }
        WordPostings& entry = words_[at].postings;
        std::string& out = entry.encoded;
        if (!out.empty())
            out += ',';
        appendNumber(out, static_cast<unsigned long>(number - entry.lastPage));
        entry.lastPage = number;
        out += ',';
        appendNumber(out, posting.flags);
        out += ',';
        appendNumber(out, posting.count);
        out += ',';
        appendNumber(out, posting.placeCount);
        unsigned previous = 0;
        for (unsigned k = 0; k < posting.placeCount; ++k) {
            out += ',';
            appendNumber(out, posting.places[k] - previous);
            previous = posting.places[k];
        }
    }
}

namespace {

std::string textFileName(std::size_t firstPage) {
    return "js/search/t/" + std::to_string(firstPage) + ".js";
}

void appendTextCall(std::string& out, std::size_t page, std::string_view text) {
    out += "pkSearchData.text(";
    appendNumber(out, page);
    out += ',';
    appendJsString(out, text);
    out += ");\n";
}

}  // namespace

bool SearchIndexWriter::TextFiles::add(std::size_t number, std::string_view text,
                                       OutputFolder& out) {
    bool ok = true;
    if (pendingPages > 0 &&
        (pending.size() + text.size() > kTextFileBytes || pendingPages >= kPagesPerTextFile))
        ok = finish(out);
    if (pendingPages == 0)
        starts.push_back(number);
    appendTextCall(pending, number, text);
    ++pendingPages;
    return ok;
}

bool SearchIndexWriter::TextFiles::finish(OutputFolder& out) {
    if (pendingPages == 0)
        return true;
    const bool ok = out.writeFile(textFileName(starts.back()), pending);
    pending.clear();
    pendingPages = 0;
    return ok;
}

bool SearchIndexWriter::addText(std::size_t number, std::string_view text, OutputFolder& out) {
    return texts_.add(number, text, out);
}

bool SearchIndexWriter::finishTexts(OutputFolder& out) {
    return texts_.finish(out);
}

void SearchIndexWriter::forEachShard(
    const std::function<void(const std::string& key, const std::string& body)>& each) const {
    // Each word's postings once, then grouped by prefix, a longer prefix where a group is big.
    // Only one shard's text is made at a time: all of them at once are the size of the index.
    struct Entry {
        std::string_view word;
        const std::string* postings;
        std::size_t size;  // of its text in a shard
    };
    std::vector<Entry> entries;
    entries.reserve(words_.size());
    std::string quoted;
    for (const auto& [word, postings] : words_) {
        quoted.clear();
        appendJsString(quoted, word);
        entries.push_back({word, &postings.encoded, quoted.size() + postings.encoded.size() + 5});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.word < b.word; });
    std::map<std::string, std::vector<std::pair<std::size_t, std::size_t>>> shards;
    auto emit = [&](std::string key, std::size_t from, std::size_t to) {
        shards[key].emplace_back(from, to);
    };
    // `entries` is sorted by word, so every prefix group is one run of it.
    auto split = [&](auto& self, std::size_t from, std::size_t to, std::size_t depth) -> void {
        std::size_t bytes = 0;
        bool longer = false;
        for (std::size_t k = from; k < to; ++k) {
            bytes += entries[k].size;
            longer = longer || prefixOf(entries[k].word, depth) != entries[k].word;
        }
        if (bytes <= kShardBytes || !longer || depth >= 16) {
            emit(std::string(prefixOf(entries[from].word, depth)), from, to);
            return;
        }
        for (std::size_t k = from; k < to;) {
            const std::string_view key = prefixOf(entries[k].word, depth + 1);
            std::size_t end = k + 1;
            while (end < to && prefixOf(entries[end].word, depth + 1) == key)
                ++end;
            self(self, k, end, depth + 1);
            k = end;
        }
    };
    for (std::size_t k = 0; k < entries.size();) {
        const std::string_view key = prefixOf(entries[k].word, 2);
        std::size_t end = k + 1;
        while (end < entries.size() && prefixOf(entries[end].word, 2) == key)
            ++end;
        split(split, k, end, 2);
        k = end;
    }
    std::string body;
    for (const auto& [key, runs] : shards) {
        body.clear();
        for (const auto& [from, to] : runs) {
            for (std::size_t k = from; k < to; ++k) {
                if (!body.empty())
                    body += ',';
                body += '[';
                appendJsString(body, entries[k].word);
                body += ",[";
                body += *entries[k].postings;
                body += "]]";
            }
        }
        each(key, body);
    }
}

std::map<std::string, std::string> SearchIndexWriter::shardFiles() const {
    std::map<std::string, std::string> shards;
    forEachShard([&](const std::string& key, const std::string& body) { shards[key] = body; });
    return shards;
}

bool SearchIndexWriter::write(const std::string& outputFolder) const {
    const std::string folder = outputFolder + "js/search/";
    createFolders(folder + "t");
    bool ok = true;
    // Texts kept with their pages go out now, in files of their own.
    TextFiles kept;
    {
        OutputFolder out(outputFolder);
        for (std::size_t p = 0; p < pages_.size(); ++p)
            if (!pages_[p].text.empty())
                ok = kept.add(p, pages_[p].text, out) && ok;
        ok = kept.finish(out) && ok;
    }
    // Shards are numbered in the order the index lists them.
    std::size_t n = 0;
    std::string index = "pkSearchData.index({\"version\":1,\"pages\":";
    appendNumber(index, pages_.size());
    index += ",\"chunk\":";
    appendNumber(index, kPagesPerChunk);
    index += ",\"texts\":[";
    const std::vector<std::size_t>& starts = texts_.starts.empty() ? kept.starts : texts_.starts;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (k)
            index += ',';
        appendNumber(index, starts[k]);
    }
    index += "],\"shards\":[";
    forEachShard([&](const std::string& key, const std::string& body) {
        std::string file = "pkSearchData.shard(" + std::to_string(n) + ",[" + body + "]);\n";
        ok = writeBinaryFile(folder + "w-" + std::to_string(n) + ".js", file) && ok;
        if (n)
            index += ',';
        index += '[';
        appendJsString(index, key);
        index += ',';
        appendNumber(index, file.size());
        index += ']';
        ++n;
    });
    index += "]});\n";
    ok = writeBinaryFile(folder + "index.js", index) && ok;

    for (std::size_t chunk = 0; chunk * kPagesPerChunk < pages_.size(); ++chunk) {
        std::string out = "pkSearchData.pages(" + std::to_string(chunk) + ",[";
        const std::size_t end = std::min(pages_.size(), (chunk + 1) * kPagesPerChunk);
        for (std::size_t p = chunk * kPagesPerChunk; p < end; ++p) {
            out += p > chunk * kPagesPerChunk ? ",[" : "[";
            appendJsString(out, pages_[p].title);
            out += ',';
            appendJsString(out, pages_[p].name);
            out += ",[";
            for (std::size_t a = 0; a < pages_[p].ancestors.size(); ++a) {
                if (a)
                    out += ',';
                appendJsString(out, pages_[p].ancestors[a]);
            }
            out += "]]";
        }
        out += "]);\n";
        ok = writeBinaryFile(folder + "p-" + std::to_string(chunk) + ".js", out) && ok;
    }
    return ok;
}

bool buildSearchIndex(Progress& progress, const std::string& outputFolder,
                      const std::vector<std::string>& pageList,
                      const std::vector<SitemapNode>& nodes, bool utf8) {
    SearchIndexWriter writer(nodes);
    OutputFolder texts(outputFolder);
    bool ok = true;
    for (std::size_t n = 0; n < pageList.size(); ++n) {
        if (progress.checkStop())
            return false;
        SearchPageText page;
        if (auto html = readBinaryFile(outputFolder + pageList[n]))
            page = readSearchPageText(*html, utf8);
        // The texts go out at once: a big help's would not all fit in memory.
        ok = writer.addText(n, page.text, texts) && ok;
        page.text.clear();
        writer.addPage(static_cast<int>(n), pageList[n], std::move(page));
    }
    ok = writer.finishTexts(texts) && ok;
    finishSearchIndex(progress, outputFolder, writer, ok);
    return true;
}

void finishSearchIndex(Progress& progress, const std::string& outputFolder,
                       const SearchIndexWriter& writer, bool textsWritten) {
    reportSearchIndex(progress, writer.write(outputFolder) && textsWritten);
}

void reportSearchIndex(Progress& progress, bool written) {
    if (!written)
        progress.itemFailed("js/search/", "the search files could not all be written");
}

SearchPage readSearchPage(const std::optional<std::string>& html, WordSplit split) {
    SearchPage page;
    if (html) {
        // The data file's words come from the page as a text-mode read gives it.
        page.words = extractPageWordsFromText(fromTextMode(*html), split);
        page.text = readSearchPageText(*html, split == WordSplit::Unicode);
    }
    return page;
}

bool collectSearchPages(Progress& progress, const std::string& outputFolder,
                        const std::vector<std::string>& pageList, const SearchPages& pages,
                        SearchKeywordList& words, SearchIndexWriter& writer, bool& textsWritten) {
    OutputFolder texts(outputFolder);
    progress.log("\r\nstart generate keyword......", 1);
    for (std::size_t n = 0; n < pageList.size(); ++n) {
        if (progress.checkStop())
            return false;
        progress.log("\r\n   parse keyword from:" + pageList[n] + "..", 0);
        SearchPage page = pages(n);
        mergePageWords(words, page.words, static_cast<int>(n));
        textsWritten = writer.addText(n, page.text.text, texts) && textsWritten;
        page.text.text.clear();
        writer.addPage(static_cast<int>(n), pageList[n], std::move(page.text));
        progress.log("....ok", 1);
        progress.itemDone();
    }
    textsWritten = writer.finishTexts(texts) && textsWritten;
    return true;
}

}  // namespace plovik
