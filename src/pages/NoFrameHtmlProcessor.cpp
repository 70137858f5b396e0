// The no-frame layout: every topic page pasted into "noframe.tpl" together with the tree, the
// header, the footer, the navigation bar and the related topics, so that it stands alone.

#include "pages/NoFrameHtmlProcessor.h"

#include <utility>
#include <vector>

#include "build/BuildJob.h"
#include "pages/PlaceholderReplacer.h"
#include "platform/TextFile.h"

namespace plovik {

namespace {

bool containsUntitled(std::string_view title) {
    std::string upper(title);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return upper.find("UNTITLED") != std::string::npos;
}

}  // namespace

bool CNoFrameHtmlProcessor::SetTemplatePaths() {
    m_templatePath = m_templateFolder + "noframe.tpl";
    m_headerFilePath = m_templateFolder + "header.html";
    m_footerFilePath = m_templateFolder + "footor.html";
    m_contentsPagePath = m_outputFolder + "HelpContent.html";
    return true;
}

bool CNoFrameHtmlProcessor::ProcessPage(const std::string& fullPath, const std::string&, int tocId,
                                        const std::string& tocTitle) {
    if (fullPath.empty())
        return false;
    auto page = ReadWholeFile(fullPath);
    if (!page)
        return false;
    m_job.log(".", 0);

    if (m_removeHeader)
        RemoveText(*page, m_headerToRemove.value_or(std::string()));
    if (m_removeFooter)
        RemoveText(*page, m_footerToRemove.value_or(std::string()));
    ExtractTitle(*page);
    if (containsUntitled(m_pageTitle))
        m_pageTitle.clear();
    if (m_pageTitle.empty())
        m_pageTitle = tocTitle;
    m_job.log(".", 0);

    // Without its template the page would be replaced by nothing: it stays as extracted.
    auto text = readTextFile(m_templatePath);
    if (!text)
        return false;

    std::vector<std::pair<std::string, std::string>> pairs;
    pairs.reserve(12);
    auto add = [&](const char* placeholder, std::string value) {
        pairs.emplace_back(placeholder, std::move(value));
    };
    // A part read from a file that is not there is left out: its placeholder stays in the page.
    auto addFile = [&](const char* placeholder, const std::string& path) {
        if (auto content = ReadWholeFile(path))
            add(placeholder, std::move(*content));
    };

    if (m_addHeader)
        add("{header}", m_header.value_or(std::string()));
    else
        addFile("{header}", m_headerFilePath);
    if (m_addFooter)
        add("{footor}", m_footer.value_or(std::string()));
    else
        addFile("{footor}", m_footerFilePath);
    if (m_showNavButtons)
        BuildNavigationBar(fullPath);
    add("{nav_bar}", m_showNavButtons ? m_navBar : std::string());
    const bool related = m_showRelatedTopics && BuildRelatedTopics(fullPath);
    add("{rel_topics}", related ? *m_relatedTopics : std::string());
    add("{content}", std::move(*page));
    addFile("{tree}", m_contentsPagePath);
    add("{title}", m_title);
    add("{metatitle}", m_pageTitle);
    add("{metakeywords}", m_pageTitle);
    add("{metadescription}", m_pageTitle);
    add("{root_url}", m_rootPrefix);
    m_job.log("..", 0);
    add("{treeid}", std::to_string(tocId));

    replacePlaceholders(*text, pairs);
    return writeTextFile(fullPath, *text);
}

bool WriteRedirectIndex(const std::string& outputFolder, const std::string& entryPage) {
    return writeTextFile(outputFolder + "index.html",
                         "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=" + entryPage + "\">");
}

}  // namespace plovik
