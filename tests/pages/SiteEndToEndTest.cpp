// A small help, as extraction leaves it, turned into a site in each layout the way the build job
// does it; then every local link of every page must resolve, apart from those the help itself
// already had broken.

#include <gtest/gtest.h>

#include "pages/FrameHtmlProcessor.h"
#include "pages/NoFrameHtmlProcessor.h"
#include "pages/PagesFixture.h"
#include "pages/TableOfContents.h"
#include "platform/FileSystem.h"
#include "support/LinkCheck.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

constexpr const char* kContents = R"(<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">
<HTML>
<HEAD>
<!-- Sitemap 1.0 -->
</HEAD><BODY>
<OBJECT type="text/site properties">
	<param name="Window Styles" value="0x800025">
</OBJECT>
<UL>
	<LI> <OBJECT type="text/sitemap">
		<param name="Name" value="Introduction">
		<param name="Local" value="intro.htm">
		</OBJECT>
	<LI> <OBJECT type="text/sitemap">
		<param name="Name" value="Guide">
		</OBJECT>
	<UL>
		<LI> <OBJECT type="text/sitemap">
			<param name="Name" value="Setup">
			<param name="Local" value="guide/setup.htm">
			</OBJECT>
		<LI> <OBJECT type="text/sitemap">
			<param name="Name" value="Use">
			<param name="Local" value="MS-ITS:Help.chm::/guide/use.htm">
			</OBJECT>
		<UL>
			<LI> <OBJECT type="text/sitemap"><param name="Name" value="Detail"><param name="Local" value="guide/deep/detail.htm#sec"></OBJECT>
		</UL>
	</UL>
	<LI> <OBJECT type="text/sitemap">
		<param name="Name" value="My Page">
		<param name="Local" value="My%20Page.htm">
		</OBJECT>
	<LI> <OBJECT type="text/sitemap">
		<param name="Name" value="Project site">
		<param name="Local" value="http://example.org/">
		</OBJECT>
	<LI> <OBJECT type="text/sitemap">
		<param name="Name" value="Elsewhere">
		<param name="Local" value="ms-its:other.chm::/x.htm">
		</OBJECT>
</UL>
</BODY></HTML>
)";

// Writes the help's files into `out`, as extraction would, and lists its pages in directory order.
void extractHandMadeHelp(const std::filesystem::path& out, std::vector<std::string>& pages) {
    using test::writeFile;
    writeFile(out / "toc.hhc", kContents);
    writeFile(
        out / "intro.htm",
        "<html><head><title>Introduction</title></head>\r\n<body>\r\n<p>Welcome. See <a "
        "href=\"guide/setup.htm\">setup</a>.<img src=\"images/logo.gif\"></p>\r\n</body></html>");
    writeFile(out / "guide/setup.htm",
              "<HTML><HEAD><TITLE>Setup</TITLE></HEAD><BODY bgcolor=\"#ffffff\"><h1>Setup</h1><a "
              "href=\"../intro.htm#top\">back</a> <a href=\"missing-in-chm.htm\">already "
              "broken</a></BODY></HTML>");
    writeFile(out / "guide/use.htm",
              "<html><body><pre>a\r\nb</pre><a href=\"deep/detail.htm\">detail</a></body></html>");
    writeFile(out / "guide/deep/detail.htm",
              "<html><head><title>Untitled</title></head><body><a name=\"sec\"></a>Detail <a "
              "href=\"../../intro.htm\">home</a></body></html>");
    writeFile(out / "extra.htm", "<html><body>Not in the contents</body></html>");
    writeFile(out / "My Page.htm", "<html><body>Spaced name</body></html>");
    writeFile(out / "images/logo.gif", "GIF89a");
    pages = {"intro.htm", "guide/setup.htm", "guide/use.htm", "guide/deep/detail.htm",
             "extra.htm", "My Page.htm"};
}

constexpr const char* kChmPath = "/home/me/Help.chm";

class SiteEndToEnd : public ::testing::Test {
protected:
    SiteEndToEnd() {
        extractHandMadeHelp(out.path(), recorded.pageList);
        baseline = test::LinkBaseline::of(out.path());
        recorded.options.title = "Hand-made Help";
        recorded.options.entryPageName = "index.html";
        recorded.options.indexLink = false;
        recorded.options.searchLink = false;
    }

    // Stages 3 to 7 of a build, for one layout.
    void build(int layout) {
        const std::string folder = out.folder();
        const std::string templates = test::templateData(layout == 0 ? "frame" : "noframe");
        TableOfContents toc;
        ASSERT_TRUE(toc.ParseContentsFile(folder + "toc.hhc", kChmPath));
        toc.WriteContentsPage(layout, templates + "HelpContent.tpl", folder + "HelpContent.html");
        std::string firstTopic;
        toc.GetStartPage(&firstTopic);
        recorded.nodes = toc.nodes;

        auto configure = [&](CHtmlProcessor& p) {
            recorded.configure(p, folder, templates);
            p.m_showNavButtons = true;
            p.m_showRelatedTopics = true;
            p.m_addFooter = true;
            p.m_footer = "<div style=\"font-size:12px;font-family:Arial;\">(c) us</div>";
        };
        if (layout == 0) {
            CFrameHtmlProcessor processor(recorded.options, recorded.progress);
            configure(processor);
            ASSERT_TRUE(processor.WriteSitePages(firstTopic).ok());
            ASSERT_TRUE(processor.ProcessAllPages());
        } else {
            recorded.options.entryPageName = firstTopic;
            CNoFrameHtmlProcessor processor(recorded.options, recorded.progress);
            configure(processor);
            processor.SetTemplatePaths();
            ASSERT_TRUE(processor.ProcessAllPages());
            WriteRedirectIndex(folder, recorded.options.entryPageName);
            deleteFile(folder + "HelpContent.html");
        }
        deleteFile(folder + "toc.hhc");
        for (const char* assets : {"images", "js", "css"})
            copyFolder(templates + assets, folder + assets);
    }

    test::TempDir out;
    test::RecordedJob recorded;
    test::LinkBaseline baseline;
};

TEST_F(SiteEndToEnd, FrameSiteHasNoLinkOfOursBroken) {
    build(0);
    const auto fresh = test::newlyBrokenLinks(out.path(), baseline);
    EXPECT_TRUE(fresh.empty()) << test::describe(fresh);
    // The checker saw the help's own broken link, so it did look.
    const auto all = test::findBrokenLinks(out.path());
    ASSERT_EQ(all.size(), 1u) << test::describe(all);
    EXPECT_EQ(all[0].resolved, "guide/missing-in-chm.htm");

    EXPECT_NE(
        test::readFile(out.path() / "index.html").find("src=\"intro.htm\" name=\"mainFrame\""),
        std::string::npos);
    const std::string tree = test::readFile(out.path() / "HelpContent.html");
    EXPECT_NE(tree.find("<a href='guide/deep/detail.htm#sec' target='mainFrame'>Detail</a>"),
              std::string::npos);
    EXPECT_EQ(tree.find("other.chm"), std::string::npos);
    EXPECT_EQ(recorded.log.find("failed"), std::string::npos) << recorded.log;
    // The pages not in the contents are still rewritten.
    EXPECT_NE(test::readFile(out.path() / "extra.htm").find("prompt_div"), std::string::npos);
}

TEST_F(SiteEndToEnd, NoFrameSiteHasNoLinkOfOursBroken) {
    build(1);
    const auto fresh = test::newlyBrokenLinks(out.path(), baseline);
    EXPECT_TRUE(fresh.empty()) << test::describe(fresh);
    EXPECT_EQ(test::findBrokenLinks(out.path()).size(), 1u);

    EXPECT_EQ(test::readFile(out.path() / "index.html"),
              "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=intro.htm\">");
    EXPECT_FALSE(std::filesystem::exists(out.path() / "HelpContent.html"));
    const std::string deep = test::readFile(out.path() / "guide/deep/detail.htm");
    EXPECT_NE(deep.find("<a href='../../intro.htm' target='_self'>Introduction</a>"),
              std::string::npos);
    EXPECT_NE(deep.find("<title>Detail - Hand-made Help</title>"), std::string::npos);
    EXPECT_NE(deep.find("data-treeid=\"4\""), std::string::npos);  // the fragment does not count
    EXPECT_NE(test::readFile(out.path() / "guide/use.htm").find("<pre>a\r\nb</pre>"),
              std::string::npos);
}

}  // namespace
}  // namespace plovik
