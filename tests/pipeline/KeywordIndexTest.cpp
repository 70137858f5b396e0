#include "pipeline/KeywordIndex.h"

#include <gtest/gtest.h>

#include "text/JsString.h"

namespace plovik {
namespace {

TEST(IndexData, EntriesInOrderWithCommasBetweenAndNoLineBreak) {
    EXPECT_EQ(writeIndexData({}), "var indexList = [];");
    EXPECT_EQ(writeIndexData({{"one", "a.htm"}, {"two", "b.htm"}, {"three", "c.htm#x"}}),
              "var indexList = [[\"one\",\"a.htm\"],[\"two\",\"b.htm\"],[\"three\",\"c.htm#x\"]];");
}

TEST(JsString, EscapesExactlyWhatBreaksALiteral) {
    auto lit = [](std::string_view s) {
        std::string out;
        appendJsStringBody(out, s);
        return out;
    };
    EXPECT_EQ(lit("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(lit("x\ny\r\tz\x01"), "x\\ny\\r\\tz\\u0001");
    EXPECT_EQ(lit("</script><b>'"), "</script><b>'");
    EXPECT_EQ(lit("\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xA6"), "\\u2028\\u2029\xE2\x80\xA6");
    EXPECT_EQ(lit("caf\xE9 \xC3\xA9"), "caf\xE9 \xC3\xA9");
}

}  // namespace
}  // namespace plovik
