// Where a page stands in the table of contents: its node, its previous and next pages, and its
// related topics. The indexed lookups are checked against plain scans of the node list.

#include <gtest/gtest.h>

#include <random>

#include "pages/HtmlProcessor.h"
#include "pages/PageLinks.h"
#include "pages/PagesFixture.h"
#include "text/AhoCorasick.h"

namespace plovik {
namespace {

SitemapNode node(int id, int parentId, std::string name, std::string local) {
    SitemapNode n;
    n.id = id;
    n.parentId = parentId;
    n.level = parentId < 0 ? 1 : 2;
    n.name = std::move(name);
    n.local = std::move(local);
    return n;
}

class Navigation : public ::testing::Test {
protected:
    Navigation() : processor(job.options, job.progress) {
        processor.m_outputFolder = "/site/";
        processor.m_tocNodes = &nodes;
    }
    std::string navBar(const std::string& relPath) {
        processor.m_rootPrefix = rootPrefixOf(relPath);
        processor.BuildNavigationBar("/site/" + relPath);
        return processor.m_navBar;
    }
    std::string related(const std::string& relPath) {
        return processor.BuildRelatedTopics("/site/" + relPath) ? *processor.m_relatedTopics
                                                                : "(none)";
    }

    test::RecordedJob job;
    std::vector<SitemapNode> nodes;
    CHtmlProcessor processor;
};

std::string bar(const std::string& prev, const std::string& next, const std::string& root = "") {
    std::string text = "<div align=right>";
    if (!prev.empty())
        text += "<a href=\"" + prev + "\"><img src=" + root + "images/prev.gif border=0></a>&nbsp;";
    if (!next.empty())
        text += "<a href=\"" + next + "\"><img src=" + root + "images/next.gif border=0></a>";
    return text + "</div>";
}

TEST_F(Navigation, SectionsOfTheSamePageArePassedOver) {
    nodes = {node(0, -1, "Heading", ""), node(1, -1, "A", "a.htm"),
             node(2, -1, "A part 2", "a.htm#s2"), node(3, -1, "B", "b.htm")};
    EXPECT_EQ(navBar("b.htm"), bar("a.htm", ""));
    EXPECT_EQ(navBar("a.htm"), bar("", "b.htm"));
    // No node: previous is the last page of the table, no next.
    EXPECT_EQ(navBar("other.htm"), bar("b.htm", ""));
}

TEST_F(Navigation, LinksClimbFromSubfoldersAndLoseFragmentsAndEscapes) {
    nodes = {node(0, -1, "A", "docs/a.htm"), node(1, -1, "B", "docs/my%20b.htm#top"),
             node(2, -1, "Web", "http://example.org/c.htm"), node(3, -1, "D", "d.htm")};
    EXPECT_EQ(navBar("docs/a.htm"), bar("", "../docs/my b.htm", "../"));
    // The web address is never a previous or next page.
    EXPECT_EQ(navBar("d.htm"), bar("docs/my b.htm", ""));
}

TEST_F(Navigation, SubstringMatchesCountForNavigationButNotForTheNode) {
    nodes = {node(0, -1, "News", "news.htm"), node(1, -1, "Other", "other.htm"),
             node(2, 0, "Child", "child.htm")};
    // "goodnews.htm" contains "news.htm": both blocks take the News node as the page's.
    EXPECT_EQ(navBar("goodnews.htm"), bar("", "other.htm"));
    EXPECT_NE(related("goodnews.htm").find("child.htm"), std::string::npos);
}

TEST_F(Navigation, RelatedTopicsListChildrenOrElseSiblings) {
    nodes = {node(0, -1, "Guide", "guide.htm"),     node(1, 0, "Setup", "setup.htm"),
             node(2, 0, "Use", "use.htm#part2"),    node(3, 0, "Heading", ""),
             node(4, -1, "Leaf at top", "top.htm"), node(5, -1, "Lone", "lone.htm"),
             node(6, 5, "Only child", "")};
    const std::string head =
        "<div style=\"font-size:12px;font-family:Arial;\"><b>Relate Topics:</b><br>";
    EXPECT_EQ(related("guide.htm"), head +
                                        "&nbsp;&nbsp;<a href=\"setup.htm\">Setup</a><br>"
                                        "&nbsp;&nbsp;<a href=\"use.htm#part2\">Use</a><br></div>");
    // A leaf lists its siblings, keeping their fragments and escapes.
    EXPECT_EQ(related("setup.htm"),
              head + "&nbsp;&nbsp;<a href=\"use.htm#part2\">Use</a><br></div>");
    EXPECT_EQ(related("sub/setup.htm"),
              head + "&nbsp;&nbsp;<a href=\"../use.htm#part2\">Use</a><br></div>");
    // A top-level leaf lists nothing; children without pages give no block.
    EXPECT_EQ(related("top.htm"), "(none)");
    EXPECT_EQ(related("lone.htm"), "(none)");
    EXPECT_EQ(related("unknown.htm"), "(none)");
}

TEST_F(Navigation, TheLastMatchingNodeGivesTheRelatedTopics) {
    nodes = {node(0, -1, "First", "a.htm"), node(1, 0, "Child of first", "c1.htm"),
             node(2, -1, "Second", "a.htm"), node(3, 2, "Child of second", "c2.htm")};
    EXPECT_NE(related("a.htm").find("Child of second"), std::string::npos);
    EXPECT_EQ(related("a.htm").find("Child of first"), std::string::npos);
}

// ---- the plain scans, as the rules read ----

struct Reference {
    const std::vector<SitemapNode>& nodes;

    static std::string decoded(std::string local) {
        CHtmlProcessor::DecodeLocal(local);
        return local;
    }
    bool occurs(size_t k, const std::string& path) const {
        return path.find(decoded(nodes[k].local)) != std::string::npos;
    }
    int exact(const std::string& path) const {
        int id = -1;
        for (const auto& n : nodes)
            if (decoded(n.local) == path)
                id = n.id;
        return id;
    }
    std::string navBar(const std::string& path) const {
        size_t position = nodes.size();
        for (size_t k = 0; k < nodes.size(); ++k) {
            if (!nodes[k].local.empty() && occurs(k, path)) {
                position = k;
                break;
            }
        }
        auto passedOver = [&](size_t k) {
            return occurs(k, path) || decoded(nodes[k].local).find("http://") != std::string::npos;
        };
        std::string prev, next;
        for (size_t k = position; k-- > 0;) {
            if (!passedOver(k)) {
                prev = linkFromPage(decoded(nodes[k].local), path);
                break;
            }
        }
        for (size_t k = position + 1; k < nodes.size(); ++k) {
            if (!passedOver(k)) {
                next = linkFromPage(decoded(nodes[k].local), path);
                break;
            }
        }
        return bar(prev, next, rootPrefixOf(path));
    }
    std::string related(const std::string& path) const {
        size_t current = nodes.size();
        for (size_t k = nodes.size(); k-- > 0;) {
            if (!nodes[k].local.empty() && occurs(k, path)) {
                current = k;
                break;
            }
        }
        if (current == nodes.size())
            return "(none)";
        std::vector<size_t> list;
        for (size_t k = 0; k < nodes.size(); ++k)
            if (nodes[k].parentId == nodes[current].id)
                list.push_back(k);
        if (list.empty() && nodes[current].parentId != -1)
            for (size_t k = 0; k < nodes.size(); ++k)
                if (nodes[k].parentId == nodes[current].parentId && k != current)
                    list.push_back(k);
        if (list.empty())
            return "(none)";
        std::string text =
            "<div style=\"font-size:12px;font-family:Arial;\"><b>Relate Topics:</b><br>";
        bool any = false;
        for (size_t k : list) {
            if (nodes[k].local.empty())
                continue;
            text += "&nbsp;&nbsp;<a href=\"" + linkFromPage(nodes[k].local, path) + "\">" +
                    nodes[k].name + "</a><br>";
            any = true;
        }
        return any ? text + "</div>" : "(none)";
    }
};

// Locals drawn from a small set so that equal locals, sections of one page, locals that are
// substrings of others, escapes, empty locals and web addresses all meet often.
std::string randomLocal(std::mt19937& rng) {
    static const std::vector<std::string> kLocals = {
        "",          "a.htm",           "ba.htm",     "a.htm#s2", "d/a.htm",
        "d/b.htm",   "d/e/c.htm",       "my%20b.htm", "my b.htm", "http://x/a.htm",
        "#top",      "c+d.htm",         "c d.htm",    "d/",       "htm",
        "e/c.htm#x", "https://y/b.htm", "a%2Ehtm",    "b.htm",    "d/e/f.htm"};
    return kLocals[rng() % kLocals.size()];
}

TEST(NavigationIndex, MatchesThePlainScansOnRandomTables) {
    std::mt19937 rng(20240611);
    const std::vector<std::string> pages = {"a.htm",     "ba.htm",   "d/a.htm", "d/b.htm",
                                            "d/e/c.htm", "my b.htm", "c d.htm", "b.htm",
                                            "d/e/f.htm", "zz.htm",   "e/c.htm", "a.htm.htm"};
    for (int round = 0; round < 300; ++round) {
        std::vector<SitemapNode> nodes;
        const int count = 1 + static_cast<int>(rng() % 25);
        for (int k = 0; k < count; ++k) {
            // Parents as the reader makes them: an earlier node or none.
            const int parent = k == 0 || rng() % 3 == 0 ? -1 : static_cast<int>(rng() % k);
            nodes.push_back(node(k, parent, "n" + std::to_string(k), randomLocal(rng)));
        }
        test::RecordedJob job;
        CHtmlProcessor processor(job.options, job.progress);
        processor.m_outputFolder = "/out/";
        processor.m_tocNodes = &nodes;
        const Reference reference{nodes};
        for (const std::string& page : pages) {
            SCOPED_TRACE("round " + std::to_string(round) + " page " + page);
            processor.m_rootPrefix = rootPrefixOf(page);
            processor.BuildNavigationBar("/out/" + page);
            EXPECT_EQ(processor.m_navBar, reference.navBar(page));
            const std::string got = processor.BuildRelatedTopics("/out/" + page)
                                        ? *processor.m_relatedTopics
                                        : "(none)";
            EXPECT_EQ(got, reference.related(page));
        }
    }
}

// The page loop's node match uses the same index: checked through the ids it hands on.
class RecordingProcessor : public CHtmlProcessor {
public:
    using CHtmlProcessor::CHtmlProcessor;
    bool ProcessPage(const std::string& fullPath, const std::string& relPath, int tocId,
                     const std::string& tocTitle) override {
        seen.push_back({fullPath, relPath, tocId, tocTitle, m_rootPrefix});
        return relPath != "fail.htm";
    }
    struct Call {
        std::string fullPath, relPath;
        int tocId;
        std::string tocTitle, rootPrefix;
    };
    std::vector<Call> seen;
};

TEST(NavigationIndex, PageLoopFindsTheLastExactNode) {
    std::mt19937 rng(7);
    for (int round = 0; round < 100; ++round) {
        std::vector<SitemapNode> nodes;
        for (int k = 0; k < 30; ++k)
            nodes.push_back(node(k, -1, "n" + std::to_string(k), randomLocal(rng)));
        std::vector<std::string> pages = {"a.htm", "my b.htm", "d/e/c.htm", "c d.htm", "a.htm.htm"};
        test::RecordedJob job;
        RecordingProcessor processor(job.options, job.progress);
        processor.m_outputFolder = "/out/";
        processor.m_pages = &pages;
        processor.m_tocNodes = &nodes;
        ASSERT_TRUE(processor.ProcessAllPages());
        const Reference reference{nodes};
        ASSERT_EQ(processor.seen.size(), pages.size());
        for (size_t k = 0; k < pages.size(); ++k) {
            const auto& call = processor.seen[k];
            EXPECT_EQ(call.tocId, reference.exact(pages[k]));
            EXPECT_EQ(call.tocTitle,
                      call.tocId < 0 ? "" : nodes[static_cast<size_t>(call.tocId)].name);
            EXPECT_EQ(call.fullPath, "/out/" + pages[k]);
            EXPECT_EQ(call.rootPrefix, rootPrefixOf(pages[k]));
        }
    }
}

TEST(AhoCorasick, ReportsEveryOccurrenceOfEveryPattern) {
    std::mt19937 rng(99);
    for (int round = 0; round < 500; ++round) {
        std::vector<std::string> storage;
        const int count = static_cast<int>(rng() % 12);
        for (int k = 0; k < count; ++k) {
            std::string p;
            const int length = static_cast<int>(rng() % 5);
            for (int j = 0; j < length; ++j)
                p += static_cast<char>('a' + rng() % 3);
            storage.push_back(p);
        }
        std::vector<std::string_view> patterns(storage.begin(), storage.end());
        std::string text;
        for (int j = static_cast<int>(rng() % 30); j > 0; --j)
            text += static_cast<char>('a' + rng() % 3);

        std::vector<size_t> expected(patterns.size(), 0), got(patterns.size(), 0);
        for (size_t k = 0; k < patterns.size(); ++k) {
            if (patterns[k].empty())
                continue;
            for (size_t at = text.find(patterns[k]); at != std::string::npos;
                 at = text.find(patterns[k], at + 1))
                ++expected[k];
        }
        AhoCorasick(patterns).forEachMatch(text, [&](size_t id) { ++got[id]; });
        EXPECT_EQ(got, expected) << text;
    }
}

}  // namespace
}  // namespace plovik
