#include "text/TerminalText.h"

#include <gtest/gtest.h>

namespace plovik {
namespace {

TEST(TerminalText, ControlBytesAreShownEscapedAndTextStaysReadable) {
    // An escape sequence that would retitle the window, a bell, DEL.
    EXPECT_EQ(escapeForTerminal("a\x1b]0;pwned\x07z\x7f"), "a\\x1b]0;pwned\\x07z\\x7f");
    EXPECT_EQ(escapeForTerminal(std::string_view("nul\0", 4)), "nul\\x00");
    EXPECT_EQ(escapeForTerminal("Grüße/日本語.htm"), "Grüße/日本語.htm");
    EXPECT_EQ(escapeForTerminal("C:\\path\\x"), "C:\\path\\x");
    // C1 controls (8-bit CSI among them) as UTF-8 and as single bytes; bytes that are no UTF-8.
    EXPECT_EQ(escapeForTerminal("\xc2\x9b"
                                "2J"),
              "\\xc2\\x9b2J");
    EXPECT_EQ(escapeForTerminal("\x9b"
                                "2J\xff"),
              "\\x9b2J\\xff");
    EXPECT_EQ(escapeForTerminal("\xe6\x97"), "\\xe6\\x97");  // a cut sequence
}

TEST(TerminalText, LineBreaksStayInALogAndAreEscapedInAName) {
    EXPECT_EQ(escapeForTerminal("one\r\ntwo\tx\n"), "one\\x0d\\x0atwo\\x09x\\x0a");
    EXPECT_EQ(escapeForTerminal("one\r\ntwo\tx\x1b[2J\n", LineBreaks::Keep),
              "one\r\ntwo\tx\\x1b[2J\n");
}

}  // namespace
}  // namespace plovik
