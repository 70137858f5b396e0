// Feeds arbitrary bytes to the container reader the way extraction uses it: open, walk the
// directory, read the section list, and fetch every entry (which decodes the compressed section);
// then reads the help's context map, as a build and `plovik list --context` do. The same bytes go
// to the map's parsers directly, split into an #IVB and a #STRINGS, so that their checks are
// reached without a well-formed container around them.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/ContextMap.h"
#include "platform/OutputFolder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    plovik::setDiagnosticSink(&plovik::silentSink());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plovik;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    {
        ContextMap map;
        const std::size_t split = size < 2 ? 0 : data[0] % size;
        parseContextMap(input.substr(0, split), input.substr(split), map);
        (void)parseContextNames(input);
    }
    auto chm = openChm(memorySource(input));
    if (!chm)
        return 0;
    ObjectBytes bytes;
    std::size_t total = 0;
    for (const ChmEntry& entry : chm->entries) {
        (void)isSafeRelativeName(std::string_view(entry.name).substr(entry.name.empty() ? 0 : 1));
        if (retrieveEntry(*chm, entry, bytes) == 0) {
            // Touch the bytes so that a view into freed or foreign memory shows up.
            for (char c : bytes.bytes)
                total += static_cast<unsigned char>(c);
        }
    }
    ContextMap map;
    readContextMap(*chm, map);
    for (const ContextEntry& entry : map.entries)
        total += entry.topic.size() + entry.file.size();
    std::string copy;
    if (!chm->entries.empty())
        retrieveObject(*chm, chm->entries.front().name, copy);
    closeChm(*chm);
    return total == 0xFFFFFFFF ? 1 : 0;
}
