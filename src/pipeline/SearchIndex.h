#pragma once

// The search data the bundled templates read, beside "js/searchdata.js" (which stays as it is for
// templates that read it). It is cut so that a query loads little of it, from file:// too, where
// only script tags can load data:
//
//   js/search/index.js          the word shards (their prefixes and sizes) and the page count
//   js/search/w-<hex>.js        the words that start with one prefix, each with the pages that
//                               hold it: where (title, heading), how often, and its first places
//   js/search/p-<n>.js          titles, names and contents ancestors of 64 pages
//   js/search/t/<n>.js          the visible texts of page n and the pages after it, up to the
//                               next file's first page (the index lists them), for the snippets
//                               and nothing else
//
// Every file calls pkSearchData.<kind>(...) with plain literals; every string is a JavaScript
// string literal, so nothing from a help can end the script or run.

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pages/SitemapNode.h"
#include "pipeline/FullTextSearch.h"
#include "text/StringIndex.h"
#include "text/UnicodeWords.h"
#include "text/WordSlots.h"

namespace plovik {

class OutputFolder;
class Progress;

// What the search keeps of one page: its title, its visible text (for the snippets), and its
// words with their places. Headings count apart from the rest of the text.
struct SearchPageText {
    std::string title;  // the page's <title>, entities decoded
    std::string text;   // visible text with runs of blanks made one
    std::vector<PlacedWord> words;
    std::vector<bool> inHeading;  // per word of `words`
};

// Reads a page's HTML: the text outside head, script, style and comments, entities decoded.
// `utf8` says the page is UTF-8; other pages keep only their ASCII letters as words.
SearchPageText readSearchPageText(std::string_view html, bool utf8);

// Collects the pages one by one and writes the files above.
class SearchIndexWriter {
public:
    // The contents entries give the pages their titles (as the search data does) and ancestors.
    explicit SearchIndexWriter(std::vector<SitemapNode> nodes);
    SearchIndexWriter(const SearchIndexWriter&) = delete;
    SearchIndexWriter& operator=(const SearchIndexWriter&) = delete;

    // Pages come in ascending order of `number`; one that does not is ignored, as its postings
    // could no longer be written in page order.
    void addPage(int number, const std::string& name, SearchPageText page);
    // The visible text of page `number` (pages in ascending order), written to js/search/t/
    // under `out` with the pages beside it: one file per page made a big help's site twenty
    // thousand files more, each a search page opens alone. False when a file failed.
    bool addText(std::size_t number, std::string_view text, OutputFolder& out);
    // The last of those files; false when it failed.
    bool finishTexts(OutputFolder& out);
    // Writes js/search/ under `outputFolder` (ending in '/'), the texts of pages added with
    // theirs as well; false when a file failed.
    bool write(const std::string& outputFolder) const;

    // Shards larger than this are split by one more character of their words.
    static constexpr std::size_t kShardBytes = 192 * 1024;
    static constexpr std::size_t kPagesPerChunk = 64;
    static constexpr std::size_t kTextBytes = 16 * 1024;
    static constexpr std::size_t kPlacesPerPage = 8;
    // A text file takes pages until it holds this much, or this many pages.
    static constexpr std::size_t kTextFileBytes = 32 * 1024;
    static constexpr std::size_t kPagesPerTextFile = 64;

    // The files' bodies, for tests: shard key -> file text.
    std::map<std::string, std::string> shardFiles() const;

private:
    // Every shard file's key and body, in key order.
    void forEachShard(
        const std::function<void(const std::string& key, const std::string& body)>& each) const;

    // A word's postings as the shard files hold them, page after page, each page as the
    // distance from the previous one: kept in that form as pages come, since a big help has
    // millions of postings and their text is a fraction of their structures' size.
    struct WordPostings {
        std::string encoded;
        int lastPage = 0;
    };
    struct PageInfo {
        std::string title, name, text;
        std::vector<std::string> ancestors;
    };

    // What one page holds of one word.
    struct Posting {
        unsigned flags = 0;  // 1 in the title, 2 in a heading; the title's word count above them
        unsigned count = 0;  // times in the text
        unsigned placeCount = 0;
        std::array<unsigned, kPlacesPerPage> places{};

        void addPlace(unsigned place) {
            if (placeCount < places.size())
                places[placeCount++] = place;
        }
    };

    std::vector<SitemapNode> nodes_;  // a copy: the maps below point into it
    std::unordered_map<std::string, const SitemapNode*> titleByLocal_;  // the last entry wins
    std::unordered_map<std::string, const SitemapNode*> placeByPage_;   // the first entry wins
    struct WordEntry {
        std::string word;
        WordPostings postings;
    };
    std::deque<WordEntry> words_;  // in the order they first came; never moved as it grows
    StringIndex wordIndex_;
    std::vector<PageInfo> pages_;
    int lastNumber_ = -1;
    // The texts' files: the first page of each, and the one being filled.
    struct TextFiles {
        std::vector<std::size_t> starts;
        std::string pending;
        std::size_t pendingPages = 0;

        bool add(std::size_t number, std::string_view text, OutputFolder& out);
        bool finish(OutputFolder& out);
    };
    TextFiles texts_;

    // The page being added: its distinct words, and what it holds of each.
    WordSlots here_;
    std::vector<Posting> postings_;
};

// What the search stages take from one page: the words of the search data file and what the
// search index keeps. A page that could not be read has none of either.
struct SearchPage {
    std::vector<std::string> words;
    SearchPageText text;
};
SearchPage readSearchPage(const std::optional<std::string>& html, WordSplit split);
// The pages as the search stages get them: index into the page list -> what it holds for them.
using SearchPages = std::function<SearchPage(std::size_t)>;

// Both kinds of search data from one reading of each page: the words the search data file
// lists (merged into `words`, with the log texts and checkpoints that collectSearchWords has) and
// what `writer` keeps, the pages' texts written to js/search/t/ at once. `textsWritten` turns
// false when a text file could not be written. False when the build was stopped.
bool collectSearchPages(Progress& progress, const std::string& outputFolder,
                        const std::vector<std::string>& pageList, const SearchPages& pages,
                        SearchKeywordList& words, SearchIndexWriter& writer, bool& textsWritten);
// The rest of js/search/ once the pages are in `writer`; a failed file is a failed item.
void finishSearchIndex(Progress& progress, const std::string& outputFolder,
                       const SearchIndexWriter& writer, bool textsWritten);
// What finishSearchIndex tells once the files are written: a failed item unless all were.
void reportSearchIndex(Progress& progress, bool written);

// The whole stage for the bundled templates: every page of `pageList` read again and written.
bool buildSearchIndex(Progress& progress, const std::string& outputFolder,
                      const std::vector<std::string>& pageList,
                      const std::vector<SitemapNode>& nodes, bool utf8);

}  // namespace plovik
