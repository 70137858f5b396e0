// The binary contents read from hand-made objects: the tree they describe in document order, and
// what hostile offsets (loops, links outside the objects, huge numbers, endless nesting, strings
// without an end) may not do.

#include <gtest/gtest.h>

#include <tuple>

#include "chm/BinaryContents.h"
#include "support/LittleEndian.h"

namespace plovik::test {
namespace {

constexpr std::uint32_t kChildren = 4;
constexpr std::uint32_t kTopic = 8;

// The five objects, built entry by entry as the compiler lays them out.
struct Objects {
    std::string toc = std::string(4, '\0');  // the first word is patched to the first entry
    std::string topics;
    std::string urlTable;
    std::string urlStrings = std::string(1, '\0');
    std::string strings = std::string(1, '\0');

    std::uint32_t string(const std::string& text) {
        const auto at = static_cast<std::uint32_t>(strings.size());
        strings += text + '\0';
        return at;
    }
    // A topic titled `title` that opens `file`; its number.
    std::uint32_t topic(const std::string& title, const std::string& file) {
        const auto url = static_cast<std::uint32_t>(urlStrings.size());
        putLe32(urlStrings, 0);
        putLe32(urlStrings, 0);
        urlStrings += file + '\0';
        const auto record = static_cast<std::uint32_t>(urlTable.size());
        putLe32(urlTable, 0);
        putLe32(urlTable, static_cast<std::uint32_t>(topics.size() / 16));
        putLe32(urlTable, url);
        const auto number = static_cast<std::uint32_t>(topics.size() / 16);
        putLe32(topics, 0);
        putLe32(topics, title.empty() ? 0xFFFFFFFF : string(title));
        putLe32(topics, record);
        putLe32(topics, 2);
        return number;
    }
    // An entry; its offset. `value` is a topic number or, without kTopic, a name's offset.
    std::uint32_t entry(std::uint32_t flags, std::uint32_t value, std::uint32_t next = 0,
                        std::uint32_t child = 0) {
        const auto at = static_cast<std::uint32_t>(toc.size());
        putLe32(toc, 0);
        putLe32(toc, flags);
        putLe32(toc, value);
        putLe32(toc, 0);  // parent: not needed to read the tree
        putLe32(toc, next);
        if (flags & kChildren) {
            putLe32(toc, child);
            putLe32(toc, 0);
        }
        return at;
    }
    void patch(std::uint32_t at, std::size_t field, std::uint32_t value) {
        std::string word;
        putLe32(word, value);
        toc.replace(at + field, 4, word);
    }
    BinaryContentsObjects views() const { return {toc, topics, urlTable, urlStrings, strings}; }
};

using Row = std::tuple<int, std::string, std::string>;

std::vector<Row> rowsOf(const std::vector<BinaryContentsEntry>& entries) {
    std::vector<Row> rows;
    for (const BinaryContentsEntry& e : entries)
        rows.emplace_back(e.level, e.name, e.local);
    return rows;
}

TEST(BinaryContents, ReadsTheTreeInDocumentOrder) {
    Objects o;
    // Entries are written before the ones they point to are known, and patched afterwards.
    const std::uint32_t start = o.entry(kTopic, o.topic("Start &amp; go", "start.htm"));
    const std::uint32_t book = o.entry(kChildren, o.string("Guide"));
    const std::uint32_t first = o.entry(kTopic, o.topic("First", "guide/first.htm#top"));
    const std::uint32_t second = o.entry(kTopic | kChildren, o.topic("", "guide/second.htm"));
    const std::uint32_t deep = o.entry(kTopic, o.topic("Deep", "guide/deep.htm"));
    const std::uint32_t last = o.entry(kTopic, o.topic("Last", "last.htm"));
    o.patch(0, 0, start);
    o.patch(start, 16, book);
    o.patch(book, 16, last);
    o.patch(book, 20, first);
    o.patch(first, 16, second);
    o.patch(second, 20, deep);

    std::vector<BinaryContentsEntry> entries;
    EXPECT_EQ(parseBinaryContents(o.views(), entries).grade, Grade::Ok);
    EXPECT_EQ(rowsOf(entries), (std::vector<Row>{
                                   {1, "Start &amp; go", "start.htm"},
                                   {1, "Guide", ""},
                                   {2, "First", "guide/first.htm#top"},
                                   {2, "", "guide/second.htm"},
                                   {3, "Deep", "guide/deep.htm"},
                                   {1, "Last", "last.htm"},
                               }));
}

TEST(BinaryContents, HostileLinksEndTheirBranchAndNothingElse) {
    Objects o;
    const std::uint32_t a = o.entry(kTopic | kChildren, o.topic("A", "a.htm"));
    const std::uint32_t b = o.entry(kTopic, o.topic("B", "b.htm"));
    o.patch(0, 0, a);
    o.patch(a, 20, a);  // its own child
    o.patch(a, 16, b);
    o.patch(b, 16, a);  // a sibling that leads back
    std::vector<BinaryContentsEntry> entries;
    Outcome outcome = parseBinaryContents(o.views(), entries);
    EXPECT_EQ(outcome.grade, Grade::Warning);
    EXPECT_NE(outcome.reason.find("2 links"), std::string::npos) << outcome.reason;
    EXPECT_EQ(rowsOf(entries), (std::vector<Row>{{1, "A", "a.htm"}, {1, "B", "b.htm"}}));

    // Offsets outside every object: a topic number whose record would lie past 4 GiB, a name and
    // a URL record beyond their objects, a sibling in the middle of nowhere.
    Objects far;
    const std::uint32_t titled = far.topic("Titled", "t.htm");
    far.topics.replace(titled * 16 + 8, 4, std::string(4, '\xFC'));  // its URL record
    const std::uint32_t x = far.entry(kTopic, 0xFFFFFFFF);
    const std::uint32_t y = far.entry(0, 0xFFFFFF00);
    const std::uint32_t z = far.entry(kTopic, titled, 0x7FFFFFF0);
    far.patch(0, 0, x);
    far.patch(x, 16, y);
    far.patch(y, 16, z);
    std::vector<BinaryContentsEntry> got;
    EXPECT_EQ(parseBinaryContents(far.views(), got).grade, Grade::Warning);
    EXPECT_EQ(rowsOf(got), (std::vector<Row>{{1, "", ""}, {1, "", ""}, {1, "Titled", ""}}));

    // An entry that claims children but ends before the word that would name them.
    Objects cut;
    cut.patch(0, 0, cut.entry(kChildren, cut.string("Book")));
    cut.toc.resize(cut.toc.size() - 8);
    EXPECT_TRUE(parseBinaryContents(cut.views(), got));
    EXPECT_EQ(rowsOf(got), (std::vector<Row>{{1, "Book", ""}}));

    // Nothing to read at all.
    for (std::string toc : {std::string(), std::string(3, 'x'), std::string(4, '\0')}) {
        EXPECT_EQ(parseBinaryContents({toc, {}, {}, {}, {}}, got).grade, Grade::Fatal);
        EXPECT_TRUE(got.empty());
    }
}

TEST(BinaryContents, DeepNestingAndLongStringsStayBounded) {
    // Every entry the only child of the one before: far deeper than a call stack would allow.
    Objects o;
    const std::uint32_t name = o.string(std::string(1 << 20, 'n'));  // no end for 1 MiB
    o.strings.pop_back();
    std::uint32_t previous = 0;
    constexpr int kDepth = 100000;
    for (int i = 0; i < kDepth; ++i) {
        const std::uint32_t at = o.entry(kChildren, name);
        if (i == 0)
            o.patch(0, 0, at);
        else
            o.patch(previous, 20, at);
        previous = at;
    }
    std::vector<BinaryContentsEntry> entries;
    EXPECT_TRUE(parseBinaryContents(o.views(), entries));
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kDepth));
    EXPECT_EQ(entries.back().level, kDepth);
    // A name without its NUL is cut, so that many entries naming it hold little.
    EXPECT_LE(entries.back().name.size(), 1024u);
}

}  // namespace
}  // namespace plovik::test
