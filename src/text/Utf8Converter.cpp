#include "text/Utf8Converter.h"

#include "text/CharsetDeclaration.h"
#include "text/CodePage.h"
#include "text/TextDecoder.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

// The encoding a UTF-16 byte-order mark announces, or empty.
std::string_view utf16ByOrderMark(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return "UTF-16LE";
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return "UTF-16BE";
    return {};
}

}  // namespace

Utf8Converter::Utf8Converter(int ansiCodePage)
    : codePage_(ansiCodePage), ansiEncoding_(encodingOfCodePage(ansiCodePage)) {}

Utf8Converter::~Utf8Converter() = default;

TextDecoder& Utf8Converter::decoder(std::string_view encoding) {
    for (const auto& known : decoders_)
        if (known->encoding() == encoding)
            return *known;
    decoders_.push_back(std::make_unique<TextDecoder>(encoding));
    return *decoders_.back();
}

TextConversion Utf8Converter::decode(std::string_view encoding, std::string_view bytes,
                                     std::string& out) {
    TextConversion result;
    result.converted = true;
    result.undecodable = decoder(encoding).decode(bytes, out);
    return result;
}

std::string Utf8Converter::pageEncoding(std::string_view page) const {
    if (startsWithUtf8Bom(page))
        return std::string(kUtf8Encoding);
    if (const std::string_view utf16 = utf16ByOrderMark(page); !utf16.empty())
        return std::string(utf16);
    return declaredOrGuessed(page, scanUtf8(page));
}

std::string Utf8Converter::declaredOrGuessed(std::string_view page, const Utf8Scan& scan) const {
    for (const CharsetDeclaration& declaration : findCharsetDeclarations(page))
        if (const std::string_view encoding = encodingOfLabel(declaration.label(page));
            !encoding.empty())
            return std::string(encoding);
    return scan.valid ? std::string(kUtf8Encoding) : ansiEncoding_;
}

TextConversion Utf8Converter::convertPage(std::string_view page, std::string& out) {
    if (const std::string_view utf16 = utf16ByOrderMark(page); !utf16.empty()) {
        TextConversion result = decode(utf16, page.substr(2), out);
        declareUtf8(out);
        return result;
    }
    if (startsWithUtf8Bom(page)) {
        if (isValidUtf8(page))
            return {};
        std::string text;
        TextConversion result = decode(kUtf8Encoding, page.substr(kUtf8Bom.size()), text);
        out.assign(kUtf8Bom).append(text);
        return result;
    }
    const Utf8Scan scan = scanUtf8(page);
    // Every encoding a declaration can name here reads ASCII bytes as ASCII.
    if (scan.ascii)
        return {};
    const std::string encoding = declaredOrGuessed(page, scan);
    if (encoding == kUtf8Encoding && scan.valid)
        return {};
    TextConversion result = decode(encoding, page, out);
    declareUtf8(out);
    return result;
}

TextConversion Utf8Converter::convertSitemap(std::string_view text, std::string& out) {
    if (const std::string_view utf16 = utf16ByOrderMark(text); !utf16.empty())
        return decode(utf16, text.substr(2), out);
    if (startsWithUtf8Bom(text)) {
        const std::string_view rest = text.substr(kUtf8Bom.size());
        if (isValidUtf8(rest)) {
            out.assign(rest);
            return {true, 0};
        }
        return decode(kUtf8Encoding, rest, out);
    }
    if (isValidUtf8(text))
        return {};
    return decode(ansiEncoding_, text, out);
}

TextConversion Utf8Converter::convertName(std::string_view name, std::string& out) {
    if (isValidUtf8(name))
        return {};
    return decode(ansiEncoding_, name, out);
}

}  // namespace plovik
