// libFuzzer target for what happens to a topic page: any bytes as a page of a help file in one of
// three code pages, through the charset conversion and declaration, the link repair, the word
// extraction of the search in both splits, and the text operations of the page processors.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pages/HtmlProcessor.h"
#include "pages/LinkRepair.h"
#include "pages/Progress.h"
#include "pipeline/FullTextSearch.h"
#include "pipeline/SearchIndex.h"
#include "text/CharsetDeclaration.h"
#include "text/Utf8.h"
#include "text/Utf8Converter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plovik;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static constexpr int kCodePages[] = {936, 932, 1251};

    Utf8Converter converter(kCodePages[size % 3]);
    std::string page;
    const TextConversion conversion = converter.convertPage(bytes, page);
    if (!conversion.converted)
        page.assign(bytes);
    else if (!isValidUtf8(page))
        __builtin_trap();  // a converted page is UTF-8 whatever it held
    (void)findCharsetDeclarations(page);
    std::string declared = page;
    declareUtf8IfNeeded(declared);

    LinkRepair repair({"a.htm", "Sub/B.htm", "img/X.GIF", "sub/c d.htm"}, "/fuzz/help.chm");
    std::string repaired = page;
    repair.repairPage(repaired, "sub/page.htm");
    (void)repair.report();

    (void)extractPageWordsFromText(page, WordSplit::Bytes);
    (void)extractPageWordsFromText(page, WordSplit::Unicode);
    {
        SearchIndexWriter writer({});
        writer.addPage(0, "page.htm", readSearchPageText(page, true));
        writer.addPage(1, "page.htm", readSearchPageText(page, false));
        (void)writer.shardFiles();
    }

    struct : Progress {
        void log(std::string_view, int) override {}
        bool checkStop() override { return false; }
    } quiet;
    CHtmlProcessor processor(PageOptions{}, quiet);
    (void)processor.ExtractTitle(page);
    std::string edited = page;
    CHtmlProcessor::RemoveText(edited, bytes.substr(0, size % 17));
    CHtmlProcessor::InsertAfterBodyTag(edited, "<div>header</div>");
    CHtmlProcessor::InsertBeforeBodyEnd(edited, "<div>footer</div>");
    std::string local(bytes.substr(0, 300));
    CHtmlProcessor::DecodeLocal(local);
    std::string link;
    (void)CHtmlProcessor::MakeRelativeLink(bytes.substr(0, 200), "sub/page.htm", &link);
    return 0;
}
