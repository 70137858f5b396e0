#include "pipeline/ProjectFile.h"

#include <gtest/gtest.h>

#include "platform/Ini.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

ProjectSettings roundTrip(const ProjectSettings& s, const std::string& path) {
    ProjectFile out;
    writeProjectFile(out, &s, &path);
    ProjectFile in;
    ProjectSettings read;
    EXPECT_TRUE(readProjectFile(&path, &in, &read));
    return read;
}

TEST(ProjectFile, MissingSectionsAndKeysReadAsZeroAndEmpty) {
    test::TempDir dir;
    const std::string path = (dir.path() / "p.zarn").string();
    test::writeFile(path, "[version]\r\nversion=-1\r\n[general]\r\nchmfile=C:\\help\\a.chm\r\n");
    ProjectFile file;
    ProjectSettings s;
    ASSERT_TRUE(readProjectFile(&path, &file, &s));
    EXPECT_EQ(s.version, 0);
    EXPECT_EQ(s.chmfile, "C:\\help\\a.chm");
    EXPECT_EQ(s.isaddheader, 0);
    EXPECT_EQ(s.isaddfooter, 0);
    EXPECT_EQ(s.isdelhtmlheader, 0);
    EXPECT_EQ(s.isdelhtmlfooter, 0);
    EXPECT_EQ(s.htmlheader, "");
    EXPECT_EQ(s.htmlfooter, "");
    EXPECT_EQ(s.shownavbutton, 0);
    EXPECT_EQ(file.path, path);
    EXPECT_EQ(file.settings, s);

    const std::string missing = (dir.path() / "none.zarn").string();
    ASSERT_TRUE(readProjectFile(&missing, &file, &s));
    EXPECT_EQ(s, ProjectFile::emptySettings());
}

// Link repair came after the first project files; those files build with it on, as every new
// project does.
TEST(ProjectFile, AProjectFromBeforeLinkRepairBuildsWithItOn) {
    test::TempDir dir;
    const std::string path = (dir.path() / "old.zarn").string();
    test::writeFile(path, "[version]\nversion=0\n[templates]\nbuildindex=1\n");
    ProjectFile file;
    ProjectSettings s;
    ASSERT_TRUE(readProjectFile(&path, &file, &s));
    EXPECT_EQ(s.fixlinks, 1);
    test::writeFile(path, "[htmlsetting]\nfixlinks=0\n");
    ASSERT_TRUE(readProjectFile(&path, &file, &s));
    EXPECT_EQ(s.fixlinks, 0);
}

// The capacities count characters: a Cyrillic path and header at full length come back whole,
// which a count in UTF-8 bytes cut to less than two thirds.
TEST(ProjectFile, NonAsciiTextsAtFullCapacityRoundTrip) {
    test::TempDir dir;
    const std::string path = (dir.path() / "p.zarn").string();
    auto repeat = [](std::string_view piece, std::size_t times) {
        std::string text;
        for (std::size_t k = 0; k < times; ++k)
            text += piece;
        return text;
    };
    ProjectSettings s;
    s.chmfile = "/" + repeat("\xD0\xAF", 258);  // Я: 259 characters with the slash
    s.htmlheader = repeat("\xD0\x96", 1299);    // Ж
    s.title = repeat("\xE4\xB8\xAD", 259);      // 中
    EXPECT_EQ(roundTrip(s, path), s);
    // One character more is cut to the capacity, never inside a character.
    s.htmlheader += "\xD0\x96";
    EXPECT_EQ(roundTrip(s, path).htmlheader, repeat("\xD0\x96", 1299));
}

TEST(ProjectFile, RefusesAbsentArguments) {
    ProjectFile file;
    ProjectSettings s;
    std::string path = "x";
    EXPECT_FALSE(readProjectFile(nullptr, &file, &s));
    EXPECT_FALSE(readProjectFile(&path, &file, nullptr));
}

TEST(ProjectFile, EveryTextRoundTripsExactly) {
    test::TempDir dir;
    const std::string path = (dir.path() / "p.zarn").string();
    ProjectSettings s;
    s.version = 1;
    s.chmfile = "/home/me/My Help/a=b;c.chm";
    s.title = "  padded title\t";
    s.baseurl = "https://example.org/help/";
    s.htmlheader = std::string(1000, 'h');
    s.htmlfooter = "<p>line one</p>\r\n<p>line \"two\"</p>\n\tC:\\path\\n;x=y  ";
    s.delhtmlheader = "\"quoted\"";
    s.delhtmlfooter = "\\x41 not an escape\x01";
    EXPECT_EQ(roundTrip(s, path), s);

    ProjectSettings empty = ProjectFile::emptySettings();
    EXPECT_EQ(roundTrip(empty, path), empty);
}

TEST(ProjectFile, WrittenFileStaysOneKeyPerLineInKeyOrder) {
    test::TempDir dir;
    const std::string path = (dir.path() / "p.zarn").string();
    ProjectSettings s;
    s.htmlfooter = "a\nb";
    ProjectFile file;
    writeProjectFile(file, &s, &path);
    const std::string text = test::readFile(path);
    EXPECT_NE(text.find("[version]\nversion=0\n\n[general]\nchmfile=\n"), std::string::npos);
    EXPECT_NE(text.find("htmlfooter=\"a\\nb\"\n"), std::string::npos);
    EXPECT_LT(text.find("isdelhtmlheader"), text.find("delhtmlfooter"));
    // Still an INI file a plain reader understands.
    IniFile plain;
    ASSERT_TRUE(plain.load(path));
    EXPECT_EQ(plain.get("templates", "buildsearch"), "1");
}

TEST(ProjectFile, RewriteKeepsForeignKeysAndChangesValuesInPlace) {
    test::TempDir dir;
    const std::string path = (dir.path() / "p.zarn").string();
    test::writeFile(path,
                    "; my notes\r\n[general]\r\nmykey=mine\r\ntitle=old\r\n[custom]\r\na=1\r\n");
    ProjectSettings s;
    s.title = "new";
    ProjectFile file;
    writeProjectFile(file, &s, &path);
    writeProjectFile(file);  // saving twice changes nothing more
    const std::string text = test::readFile(path);
    EXPECT_EQ(text.rfind("; my notes\r\n[general]\r\nmykey=mine\r\ntitle=new\r\n", 0), 0u);
    EXPECT_NE(text.find("[custom]\r\na=1\r\n"), std::string::npos);
    EXPECT_EQ(text.find("title=old"), std::string::npos);
    EXPECT_EQ(text.find("\ntitle=", text.find("title=new") + 1), std::string::npos);
}

TEST(ProjectFile, LongValuesAreCutAtTheirCapacityInCharacters) {
    test::TempDir dir;
    const std::string path = (dir.path() / "p.zarn").string();
    std::string title(258, 'x');
    title += "\xC3\xA9\xC3\xA9";  // 260 characters: the first é is the 259th
    test::writeFile(path, "[general]\ntitle=" + title +
                              "\n[htmlsetting]\nhtmlheader=" + std::string(2000, 'y') + "\n");
    ProjectFile file;
    ProjectSettings s;
    readProjectFile(&path, &file, &s);
    EXPECT_EQ(s.title, std::string(258, 'x') + "\xC3\xA9");
    EXPECT_EQ(s.htmlheader.size(), kHtmlTextCapacity);
}

TEST(ProjectFile, ALibraryIsReadInOrderToItsFirstGapAndSurvivesTheWizardsSave) {
    test::TempDir dir;
    const std::string path = (dir.path() / "lib.zarn").string();
    test::writeFile(path,
                    "[general]\nchmfile=a.chm\n[LIBRARY]\nTitle=\"Two\\tlines\"\nchmfile3=c.chm\n"
                    "chmfile2=b b.chm\nchmfile4=\nchmfile5=e.chm\nchmfile7=after-a-gap.chm\n");
    const ProjectLibrary library = readProjectLibrary(path);
    EXPECT_EQ(library.chmFiles, (std::vector<std::string>{"b b.chm", "c.chm", "e.chm"}));
    EXPECT_EQ(library.title, "Two\tlines");

    // The wizard knows nothing of the section, and saving keeps it.
    ProjectFile file;
    ProjectSettings settings;
    ASSERT_TRUE(openProjectFile(path, file, settings));
    settings.title = "changed";
    ASSERT_TRUE(writeProjectFile(file, &settings));
    EXPECT_EQ(readProjectLibrary(path).chmFiles, library.chmFiles);

    EXPECT_TRUE(readProjectLibrary((dir.path() / "none.zarn").string()).chmFiles.empty());
}

TEST(ProjectText, HandWrittenValuesReadVerbatimUnlessTheyAreOurQuotedForm) {
    EXPECT_EQ(decodeProjectText("<b>plain</b>"), "<b>plain</b>");
    EXPECT_EQ(decodeProjectText("C:\\new\\table"), "C:\\new\\table");
    EXPECT_EQ(decodeProjectText("\"a\\nb\""), "a\nb");
    EXPECT_EQ(decodeProjectText("\"broken\\q\""), "\"broken\\q\"");
    EXPECT_EQ(decodeProjectText("\"in\"side\""), "\"in\"side\"");
    EXPECT_EQ(encodeProjectText("no quoting needed = ;"), "no quoting needed = ;");
}

}  // namespace
}  // namespace plovik

namespace plovik {
namespace {

TEST(ProjectFile, OpeningRefusesWhatIsNoProjectNamingTheFileAndLeavesTheRecord) {
    test::TempDir dir;
    const std::string junk =
        test::writeFile(dir.path() / "junk.zarn", "junk\nmore junk\n").string();
    const std::string folder = (dir.path() / "folder.zarn").string();
    std::filesystem::create_directory(folder);
    ProjectFile file;
    file.path = "before";
    ProjectSettings s;
    s.title = "kept";
    for (const auto& [path, why] : {std::pair<std::string, std::string>{junk, "no [section] line"},
                                    {folder, "is a folder"},
                                    {(dir.path() / "none.zarn").string(), "No such file"}}) {
        const Outcome o = openProjectFile(path, file, s);
        EXPECT_FALSE(o);
        EXPECT_NE(o.reason.find("The project file " + path + " cannot be opened: "),
                  std::string::npos)
            << o.reason;
        EXPECT_NE(o.reason.find(why), std::string::npos) << o.reason;
    }
    EXPECT_EQ(file.path, "before");
    EXPECT_EQ(s.title, "kept");

    const std::string good =
        test::writeFile(dir.path() / "good.zarn", "[general]\ntitle=From file\n").string();
    ASSERT_TRUE(openProjectFile(good, file, s));
    EXPECT_EQ(s.title, "From file");
    EXPECT_EQ(s.version, 0);  // a key the file lacks reads as missing, not as what was there
    EXPECT_EQ(file.path, good);
}

TEST(ProjectFile, AFailedWriteSaysSoAndAJunkFileIsReplacedNotMerged) {
    test::TempDir dir;
    ProjectFile file;
    ProjectSettings s;
    s.title = "T";
    const std::string folder = (dir.path() / "folder.zarn").string();
    std::filesystem::create_directory(folder);
    const Outcome o = writeProjectFile(file, &s, &folder);
    EXPECT_FALSE(o);
    EXPECT_EQ(o.reason, "The project could not be saved to " + folder + ": it is a folder.");

    const std::string junk = test::writeFile(dir.path() / "junk.zarn", std::string("\x7f"
                                                                                   "ELF\0\0binary",
                                                                                   11))
                                 .string();
    ASSERT_TRUE(writeProjectFile(file, &s, &junk));
    EXPECT_EQ(test::readFile(junk).find("ELF"), std::string::npos);
    ProjectSettings back;
    ASSERT_TRUE(openProjectFile(junk, file, back));
    EXPECT_EQ(back.title, "T");
}

}  // namespace
}  // namespace plovik
