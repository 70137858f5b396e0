#pragma once

// The charset a page declares in its head, as `<meta charset="...">` or as the charset of an
// `http-equiv="Content-Type"` meta's content, and the edits that make a page say UTF-8.
//
// The head is everything before the first "</head" or "<body" (in any case), or the whole page
// when it has neither; comments and scripts in it are passed over.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plovik {

// Where one declared charset name stands in the page.
struct CharsetDeclaration {
    std::size_t valueStart = 0;
    std::size_t valueLength = 0;

    std::string_view label(std::string_view page) const {
        return page.substr(valueStart, valueLength);
    }
};

// Every declaration in the head, in page order.
std::vector<CharsetDeclaration> findCharsetDeclarations(std::string_view page);

// Makes every declaration in the head name utf-8; a page with none gets `<meta charset="utf-8">`
// right after its <head> tag, or when it has none after its <html> tag, or after a leading
// doctype, or else at its very start (after a byte-order mark). Adding it before a doctype would
// switch browsers into quirks mode.
void declareUtf8(std::string& page);

// For a page Plovik writes and that holds UTF-8 text: when it holds any byte above ASCII and its
// first declaration does not already name UTF-8, declareUtf8. A page of ASCII bytes reads the
// same in every encoding a browser would guess, so it is left as it is. True when it changed.
bool declareUtf8IfNeeded(std::string& page);

}  // namespace plovik
