#pragma once

// The sitemap files of a help file: the table of contents (.hhc) read into a flat node list with
// parents and the start page, and the keyword index (.hhk) read into a flat entry list. Both are
// read by a line scanner, not an HTML parser: the markers it looks for, its case rules and its
// 4095-byte lines are the format it accepts.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "chm/BinaryContents.h"
#include "pages/IndexEntry.h"
#include "pages/SitemapNode.h"

namespace plovik {

class TableOfContents {
public:
    std::string startPage;    // local of the first node with a page
    int layout = 0;           // 0 frame, 1 no-frame; set by WriteContentsPage
    std::string chmFileName;  // file-name part of the CHM path
    // In a library build, the file names of the other helps: an entry that leads into one of them
    // keeps its link, for the link repair to lead it into that help's folder.
    std::vector<std::string> libraryChmFileNames;
    std::vector<SitemapNode> nodes;
    std::vector<std::string> lines;  // the tree writer's output, empty outside it

    // Reads the .hhc at `contentsPath` (text mode); false, leaving the table empty, when it
    // cannot be opened. `contentsFolder` is the folder of the .hhc inside the site ("" at its
    // root): the .hhc's relative links are relative to it, and become links from the root.
    bool ParseContentsFile(const std::filesystem::path& contentsPath, std::string_view chmPath,
                           std::string_view contentsFolder = {});
    // The same on text already read in text mode; replaces whatever the table held.
    void ParseContentsText(std::string_view hhcText, std::string_view chmPath,
                           std::string_view contentsFolder = {});
    // For a help whose contents are stored only in binary form: its entries, in document order,
    // read like the .hhc's objects (texts with references, links relative to the help's root).
    void ParseBinaryContents(const std::vector<BinaryContentsEntry>& entries,
                             std::string_view chmPath);
    // For a help without any contents: its pages (relative to `outputFolder`, in directory
    // order) as entries named by their titles, under an entry for each folder, folders and pages
    // in the order they first come. The start page is `defaultTopic` (the help's own, as its
    // #SYSTEM names it) when that is one of the pages, else the first page. Replaces whatever
    // the table held.
    void BuildFromPages(const std::vector<std::string>& pages, const std::string& outputFolder,
                        std::string_view defaultTopic = {});
    // Copies startPage for the build's first topic. The help files' home platform turns its '/'
    // into its own separator here; on this platform '/' is the separator, so it stays.
    bool GetStartPage(std::string* out);
    // Writes the contents page (tree HTML and tree-ids script) from the template, for the given
    // layout. False when either path is empty.
    bool WriteContentsPage(int buildLayout, const std::string& templatePath,
                           const std::string& outputPath);

    // The two values of the contents page, for the current `layout`: the nested list items of
    // the tree (made line by line in `lines`), and the script that lists every node's id and
    // parent id.
    std::string TreeHtml();
    std::string TreeIdsScript() const;
};

// The contents tree as a script that every no-frame page loads (and the browser keeps) instead of
// carrying the tree itself: it sets `pkTreeData` to one [id, depth, name, link] entry per node in
// document order, a fifth member 1 marking a link that leads out of the site. Names and links are
// the nodes' text, written as string literals that no byte of theirs can end. `bom` starts a
// file that holds more than ASCII with a UTF-8 byte order mark, which makes a browser read it as
// UTF-8 whatever the page or the web server says.
std::string contentsTreeData(const std::vector<SitemapNode>& nodes, bool bom);

// The keywords of the .hhk text (already read in text mode), in file order: each object inside a
// list is one, its first Name the keyword, every following Name and Local pair a topic (a lone
// Local a topic titled with the keyword), a "See Also" the keyword it leads to. Locals that would
// run script lead nowhere. `indexFolder` is the folder of the .hhk inside the site ("" at its
// root), as for the contents.
std::vector<IndexKeyword> ParseIndexKeywords(std::string_view hhkText,
                                             std::string_view indexFolder = {});

// Appends one entry per keyword of the .hhk text: the keyword and its first topic's page (none
// for a cross-reference).
bool ParseIndexFile(std::vector<IndexEntry>& indexList, std::string_view hhkText,
                    std::string_view indexFolder = {});
// The same entries, from keywords already read: each keyword with its first topic's page.
std::vector<IndexEntry> indexEntriesOf(const std::vector<IndexKeyword>& keywords);

}  // namespace plovik
