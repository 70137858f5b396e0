// The no-frame layout: every topic page pasted into "noframe.tpl" together with the tree, the
// header, the footer, the navigation bar and the related topics, so that it stands alone.

#include "pages/NoFrameHtmlProcessor.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "pages/EntryFileName.h"
#include "pages/PageLinks.h"
#include "pages/Progress.h"
#include "platform/TextFile.h"
#include "templating/PlaceholderReplacer.h"
#include "text/AsciiCase.h"
#include "text/CharsetDeclaration.h"
#include "text/HtmlEntities.h"

namespace plovik {

namespace {

bool containsUntitled(std::string_view title) {
    return findIgnoreAsciiCase(title, "UNTITLED") != std::string_view::npos;
}

}  // namespace

Outcome CNoFrameHtmlProcessor::WriteSitePages(const std::string& firstTopic) {
    SetTemplatePaths();
    for (const auto& [path, given] :
         {std::pair{m_headerFilePath, m_addHeader}, std::pair{m_footerFilePath, m_addFooter}}) {
        std::error_code error;
        if (!given && !std::filesystem::is_regular_file(path, error))
            m_progress.log("\r\n" + path + " is missing: every page shows nothing in its place", 0);
    }
    static const std::vector<std::string> kNoPages;
    const std::vector<std::string>& pages = m_pages ? *m_pages : kNoPages;
    const std::string* asked =
        m_options.entryPageName.empty() ? nullptr : storedNameLike(pages, m_options.entryPageName);
    const std::string target = asked ? linkToStoredName(*asked) : FirstPageLink(firstTopic);
    if (target.empty())
        return Outcome::fatal("the help has no page to show");
    // The help's own "index.html" is a page like any other and the site's front door; writing a
    // redirect in its place would lose it (and point at itself when it is the first topic). A
    // name that differs only in case would be the same file where the site may be served from.
    if (const std::string* own = storedNameLike(StoredFiles(), "index.html")) {
        m_entryFileName = asked ? *asked : *own;
        m_redirectTarget.clear();
    } else {
        m_entryFileName = "index.html";
        m_redirectTarget = target;
    }
    return Outcome::ok();
}

Outcome CNoFrameHtmlProcessor::FinishSite() {
    if (m_redirectTarget.empty())
        return Outcome::ok();
    if (!WriteRedirectIndex(m_outputFolder, m_redirectTarget))
        return Outcome::fatal("the entry page " + m_outputFolder +
                              "index.html could not be written");
    if (m_convertCharset) {
        const std::string path = m_outputFolder + "index.html";
        auto page = readBinaryFile(path);
        if (page && declareUtf8IfNeeded(*page))
            writeBinaryFile(path, *page);
    }
    return Outcome::ok();
}

bool CNoFrameHtmlProcessor::SetTemplatePaths() {
    m_templatePath = m_templateFolder + "noframe.tpl";
    m_headerFilePath = m_templateFolder + "header.html";
    m_footerFilePath = m_templateFolder + "footor.html";
    m_contentsPagePath = m_outputFolder + m_options.contentsPage;
    return true;
}

bool CNoFrameHtmlProcessor::ProcessPage(const std::string& fullPath, const std::string& relPath,
                                        int tocId, const std::string& tocTitle) {
    if (fullPath.empty())
        return false;
    auto page = ReadWholeFile(fullPath);
    if (!page)
        return false;
    const bool repaired = RepairLinks(*page, relPath);
    m_progress.log(".", 0);

    if (m_removeHeader)
        RemoveText(*page, FragmentFor(m_headerToRemove, relPath, repaired));
    if (m_removeFooter)
        RemoveText(*page, FragmentFor(m_footerToRemove, relPath, repaired));
    ExtractTitle(*page);
    if (containsUntitled(m_pageTitle))
        m_pageTitle.clear();
    // The page's own title is HTML already; the contents' name is text.
    if (m_pageTitle.empty())
        m_pageTitle = escapeHtml(tocTitle);
    m_progress.log(".", 0);

    // Without its template the page would be replaced by nothing: it stays as extracted.
    auto text = readTextFile(m_templatePath);
    if (!text)
        return false;

    std::vector<PlaceholderPair> pairs;
    pairs.reserve(15);
    const std::string none;
    // A part read from a file that is not there is empty (WriteSitePages has said which):
    // no reader is shown a placeholder.
    auto addFile = [&](std::string_view placeholder, CachedFile& file, const std::string& path) {
        const std::string* content = file.get(path);
        pairs.emplace_back(placeholder, content ? *content : none);
    };

    if (m_addHeader)
        pairs.emplace_back("{header}", m_header ? *m_header : none);
    else
        addFile("{header}", m_headerFile, m_headerFilePath);
    if (m_addFooter)
        pairs.emplace_back("{footor}", m_footer ? *m_footer : none);
    else
        addFile("{footor}", m_footerFile, m_footerFilePath);
    if (m_showNavButtons)
        BuildNavigationBar(fullPath);
    pairs.emplace_back("{nav_bar}", m_showNavButtons ? m_navBar : none);
    const bool related = m_showRelatedTopics && BuildRelatedTopics(fullPath);
    pairs.emplace_back("{rel_topics}", related ? *m_relatedTopics : none);
    pairs.emplace_back("{content}", *page);
    addFile("{tree}", m_contentsPage, m_contentsPagePath);
    const std::string title = escapeHtml(m_title);
    pairs.emplace_back("{title}", title);
    pairs.emplace_back("{metatitle}", m_pageTitle);
    pairs.emplace_back("{metakeywords}", m_pageTitle);
    pairs.emplace_back("{metadescription}", m_pageTitle);
    // The header's link to the keyword index, in a site that has one; before "{root_url}", which
    // it holds.
    const std::string indexLink =
        "<a class=\"pk-indexlink\" href=\"{root_url}HelpIndex.html\">Index</a>";
    pairs.emplace_back("{index_link}", m_indexLink ? indexLink : none);
    pairs.emplace_back("{root_url}", m_rootPrefix);
    m_progress.log("..", 0);
    const std::string treeId = std::to_string(tocId);
    pairs.emplace_back("{treeid}", treeId);
    // The header's search box, hidden in a site built without the search.
    const std::string hidden = " hidden";
    pairs.emplace_back("{search_hidden}", m_searchLink ? none : hidden);

    replacePlaceholders(*text, pairs);
    // The template says nothing of a charset: with the pages kept as they were, the browser had
    // to find the topic's own declaration.
    if (m_convertCharset)
        declareUtf8IfNeeded(*text);
    // The page written may be one of the pasted files (a help can have a page of that name).
    for (CachedFile* file : {&m_headerFile, &m_footerFile, &m_contentsPage})
        if (file->path() == fullPath)
            file->forget();
    return writeTextFile(fullPath, *text);
}

bool WriteRedirectIndex(const std::string& outputFolder, const std::string& entryPage) {
    return writeTextFile(
        outputFolder + "index.html",
        "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=" + escapeHtml(entryPage) + "\">");
}

}  // namespace plovik
