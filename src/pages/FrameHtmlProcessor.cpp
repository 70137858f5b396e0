// The frame layout: the entry page with its frames, the header and the left panel, and every topic
// page rewritten in place with its navigation bar, related topics, footer and the prompt that
// offers the framed view.

#include "pages/FrameHtmlProcessor.h"
#include "pages/TopicFitScript.h"

#include "pages/BodyTagPlaces.h"
#include "pages/EntryFileName.h"
#include "pages/Progress.h"
#include "platform/OutputFolder.h"
#include "platform/TextFile.h"
#include "templating/TemplateFiller.h"
#include "text/CharsetDeclaration.h"
#include "text/HtmlEntities.h"
#include "text/PercentEscapes.h"

namespace plovik {

namespace {

// The entry page's name as a link inside a single-quoted attribute that is itself inside a
// double-quoted script string: the bytes that would end either, or change what the link means,
// are escaped.
std::string escapedForPrompt(std::string_view name) {
    std::string link;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '"' || c == '\'' || c == '\\' || c == '<' ||
            c == '>' || c == '#' || c == '?' || c == '%' || c == '&') {
            appendPercentEscape(link, byte);
        } else {
            link += c;
        }
    }
    return link;
}

}  // namespace

Outcome CFrameHtmlProcessor::WriteSitePages(const std::string& firstTopic) {
    m_entryFileName = ChosenEntryName();
    if (!isSafeRelativeName(m_entryFileName))
        return Outcome::fatal("the entry page's name \"" + m_entryFileName +
                              "\" would leave the output folder");
    if (!WriteEntryPage(FirstPageLink(firstTopic)))
        return Outcome::fatal("the entry page " + m_outputFolder + m_entryFileName +
                              " could not be written from " + m_templateFolder + "frame.tpl");
    WriteHeaderPage();
    WriteLeftPanel();
    const Outcome fit = OutputFolder(m_outputFolder).write(topicFitScriptName(), topicFitScript());
    if (!fit.ok())
        m_progress.itemFailed(topicFitScriptName(), fit.reason);
    return Outcome::ok();
}

std::string CFrameHtmlProcessor::ChosenEntryName() const {
    const std::string asked =
        m_options.entryPageName.empty() ? std::string("index.html") : m_options.entryPageName;
    // The help's own file of that name stays; the entry page takes the title's name instead.
    return storedNameLike(StoredFiles(), asked) ? entryNameFromTitle(m_title, StoredFiles())
                                                : asked;
}

std::vector<std::string> CFrameHtmlProcessor::SitePageNames() const {
    return {ChosenEntryName(), "header.html", "LeftPanel.html", std::string(topicFitScriptName())};
}

bool CFrameHtmlProcessor::WriteEntryPage(const std::string& firstTopic) {
    if (!isSafeRelativeName(m_entryFileName))
        return false;

    TemplateFiller filler(m_templateFolder + "frame.tpl");
    filler.addReplacement("utf-8", "{charset}");
    filler.addReplacement(escapeHtml(m_title), "{title}");
    filler.addReplacement(escapeHtml(firstTopic), "{frame_content_file}");
    m_progress.log("...", 0);
    // Without its template the entry page would be an empty file: no site to open.
    const bool written = filler.writeFilled(m_outputFolder + m_entryFileName) && filler.text();
    m_progress.log("..", 0);
    return written;
}

bool CFrameHtmlProcessor::WriteHeaderPage() {
    const std::string path = m_outputFolder + "header.html";
    if (m_addHeader)
        return writeTextFile(path, m_header.value_or(std::string()));
    TemplateFiller filler(m_templateFolder + "header.tpl");
    filler.addReplacement(escapeHtml(m_title), "{title}");
    filler.writeFilled(path);
    return true;
}

bool CFrameHtmlProcessor::WriteLeftPanel() {
    TemplateFiller filler(m_templateFolder + "LeftPanel.tpl");
    filler.addReplacement(
        m_indexLink ? "<li><a href=\"HelpIndex.html\" rel=\"#iframe\">Index</a></li>" : "",
        "{index_link}");
    filler.addReplacement(
        m_searchLink ? "<li><a href=\"HelpSearch.html\" rel=\"#iframe\">Search</a></li>" : "",
        "{search_link}");
    filler.writeFilled(m_outputFolder + "LeftPanel.html");
    return true;
}

bool CFrameHtmlProcessor::ProcessPage(const std::string& fullPath, const std::string& relPath, int,
                                      const std::string&) {
    if (fullPath.empty())
        return false;
    auto page = ReadPage(fullPath);
    if (!page)
        return false;
    const bool repaired = RepairLinks(*page, relPath);
    m_progress.log("..", 0);

    BodyTagPlaces places(*page);
    if (m_showNavButtons) {
        BuildNavigationBar(fullPath);
        places.insertAfterBodyTag(m_navBar);
    }
    // Before the blocks added at the end, which it finds by following itself.
    places.insertBeforeBodyEnd("<script src=\"" + m_rootPrefix + std::string(topicFitScriptName()) +
                               (m_showNavButtons ? "\" data-nav=\"1" : "") + "\"></script>");
    if (m_showRelatedTopics && BuildRelatedTopics(fullPath))
        places.insertBeforeBodyEnd(*m_relatedTopics);
    if (m_addFooter)
        places.insertBeforeBodyEnd(m_footer.value_or(std::string()));
    if (m_removeHeader)
        places.removeText(FragmentFor(m_headerToRemove, relPath, repaired));
    if (m_removeFooter)
        places.removeText(FragmentFor(m_footerToRemove, relPath, repaired));
    m_progress.log("..", 0);

    // The link is written into this page, so it climbs to the site root first.
    const std::string prompt =
        "<script type=\"text/JavaScript\">  if(window.name != \"mainFrame\"){document.write(\"<div "
        "class='prompt_div'>Click <a href='" +
        m_rootPrefix + escapedForPrompt(m_entryFileName) +
        "'>here</a> to view all files</div>\");}</script>";
    places.insertAfterBodyTag(prompt);
    // A topic opened from a search result marks the words it was found by.
    if (m_searchLink)
        places.insertBeforeBodyEnd("<script src=\"" + m_rootPrefix + "js/mark.js\"></script>");
    // The related topics and the footer may have brought UTF-8 into a page that said nothing.
    if (m_convertCharset)
        declareUtf8IfNeeded(*page);

    if (!m_topics || m_topics->root() != m_outputFolder)
        m_topics = std::make_unique<OutputFolder>(m_outputFolder);
    const bool inside = !m_outputFolder.empty() && fullPath.size() > m_outputFolder.size() &&
                        fullPath.compare(0, m_outputFolder.size(), m_outputFolder) == 0;
    if (!(inside
              ? m_topics->writeFile(std::string_view(fullPath).substr(m_outputFolder.size()), *page)
              : writeBinaryFile(fullPath, *page)))
        return false;
    m_progress.log(".", 0);
    return true;
}

}  // namespace plovik
