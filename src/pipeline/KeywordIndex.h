#pragma once

// The keyword index of the frame layout: "js/indexdata.js" with every keyword of the .hhk (or,
// without a usable one, every table-of-contents entry) and the page "HelpIndex.html" that shows it.

#include <string>
#include <vector>

#include "pages/IndexEntry.h"
#include "pages/TableOfContents.h"

namespace plovik {

class LinkRepair;
class Progress;

// The bytes of the data file: var indexList = [["keyword","page"],...];
std::string writeIndexData(const std::vector<IndexEntry>& indexList);
// The bytes of "js/keywords.js", the index as the bundled templates show it: every keyword once
// with all its topics, its level under the keyword before it, and the keyword a "See Also" entry
// leads to: var pkKeywords = [["keyword",level,[["title","page"],...],"see also"],...];
std::string writeKeywordData(const std::vector<IndexKeyword>& keywords);
void writeHelpIndexPage(const std::string& pagePath, const std::string& templatePath);

// The whole stage, with its log texts: the index of the .hhk `indexFileName` (relative to
// `outputFolder`; empty when the help has none), else of the table of contents, written to
// `outputFolder` with the template of `templateFolder`. `linkRepair` repairs the index's links,
// or is null.
void buildKeywordIndex(Progress& progress, const std::string& outputFolder,
                       const std::string& templateFolder, const std::string& indexFileName,
                       const TableOfContents& toc, LinkRepair* linkRepair);

}  // namespace plovik
