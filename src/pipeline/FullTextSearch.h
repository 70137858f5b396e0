#pragma once

// The full-text search of the frame layout: the words of every page's visible body text, collected
// by a line-based reading of the page, merged into keywords with the pages that hold them, and
// written as "js/searchdata.js" beside the page "HelpSearch.html".

#include <string>
#include <string_view>
#include <vector>

#include "pages/SitemapNode.h"
#include "text/StringIndex.h"
#include "text/WordSlots.h"

namespace plovik {

class Progress;

struct SearchKeyword {
    std::string word;        // ASCII letters lower-cased; at most 255 bytes
    std::vector<int> pages;  // positions in the page list, ascending, no repeats
};

// The keyword list in order of first appearance, with the look-up that finds a word's keyword
// without scanning the list.
class SearchKeywordList {
public:
    const std::vector<SearchKeyword>& keywords() const { return keywords_; }
    // Index of the first keyword whose word equals `word`, or -1.
    long find(std::string_view word) const;
    void add(std::string_view word, int page);
    // The words of one page, in order, repeats included: the same as adding each of them.
    void addPage(const std::vector<std::string>& words, int page);

private:
    std::vector<SearchKeyword> keywords_;
    StringIndex byWord_;  // the first keyword of each stored word
    WordSlots seen_;      // the words of the page being added
};

// How the visible text is cut into words: at the separator bytes of the search data's format, or
// as UTF-8 characters (pages converted to UTF-8; see UnicodeWords.h). Both agree on ASCII text.
enum class WordSplit { Bytes, Unicode };

// The words of a page's text (read in text mode), in order, repeats included.
std::vector<std::string> extractPageWordsFromText(std::string_view pageText,
                                                  WordSplit split = WordSplit::Bytes);
// The same for a page file; an unreadable page has no words.
std::vector<std::string> extractPageWords(const std::string& pagePath,
                                          WordSplit split = WordSplit::Bytes);
void mergePageWords(SearchKeywordList& list, const std::vector<std::string>& words, int pageNumber);

// The bytes of the data file, as they are written in text mode. Returns false when the build was
// stopped at one of the checkpoints of `progress` (when given): the data is then incomplete and
// must not be written.
bool writeSearchData(Progress* progress, std::string& out, const SearchKeywordList& list,
                     const std::vector<std::string>& pageList,
                     const std::vector<SitemapNode>& nodes);
void writeHelpSearchPage(const std::string& pagePath, const std::string& templatePath);

// The two halves of the stage, with their log texts and checkpoints; false when the build was
// stopped. The words of every page of `pageList` (relative to `outputFolder`), split as `split`
// says, are merged into `list`; then the search page and the data file are written.
bool collectSearchWords(Progress& progress, const std::string& outputFolder,
                        const std::vector<std::string>& pageList, WordSplit split,
                        SearchKeywordList& list);
bool writeSearchFiles(Progress& progress, const std::string& outputFolder,
                      const std::string& templateFolder, const SearchKeywordList& list,
                      const std::vector<std::string>& pageList,
                      const std::vector<SitemapNode>& nodes);

// The whole stage: the words of every page of `pageList`
// (relative to `outputFolder`), split as `split` says, written to `outputFolder` with the
// template of `templateFolder`. False when the build was stopped.
bool buildSearchData(Progress& progress, const std::string& outputFolder,
                     const std::string& templateFolder, const std::vector<std::string>& pageList,
                     const std::vector<SitemapNode>& nodes, WordSplit split);

}  // namespace plovik
