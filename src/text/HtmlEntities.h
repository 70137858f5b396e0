#pragma once

// HTML character references: the values of a sitemap's attributes are HTML text, so a name such as
// "Tools &amp; Options" means "Tools & Options", and text put into a page is escaped again.

#include <string>
#include <string_view>

#include "platform/dialog/HtmlText.h"  // escapeHtml: the dialogs escape with the same function

namespace plovik {

// The text with its character references ("&amp;", "&#8217;", "&#x2019;") replaced by the
// characters they stand for, in UTF-8. Named references need their ';'; numeric ones take it when
// it is there. References to nothing (NUL, surrogates, past U+10FFFF) become U+FFFD, and the
// numbers 128 to 159 mean what Windows-1252 puts there, as browsers read them. With
// `asciiOnly`, for text in another encoding, only the references to ASCII characters are
// replaced: the rest stays as written rather than mixing UTF-8 into it.
std::string decodeHtmlEntities(std::string_view text, bool asciiOnly = false);

}  // namespace plovik
