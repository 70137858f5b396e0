#pragma once

// The keyword index of the frame layout: "js/indexdata.js" with every keyword of the .hhk (or,
// without a usable one, every table-of-contents entry) and the page "HelpIndex.html" that shows it.

#include <string>
#include <vector>

#include "pages/IndexEntry.h"
#include "pages/TableOfContents.h"

namespace plovik {

class BuildJob;

// The bytes of the data file: var indexList = [["keyword","page"],...];
std::string writeIndexData(const std::vector<IndexEntry>& indexList);
void writeHelpIndexPage(const std::string& pagePath, const std::string& templatePath);

// The whole stage, with its log texts.
void buildKeywordIndex(BuildJob& job, const TableOfContents& toc);

}  // namespace plovik
