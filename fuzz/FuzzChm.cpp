// Feeds arbitrary bytes to the container reader the way extraction uses it: open, walk the
// directory, read the section list, and fetch every entry (which decodes the compressed section
// from the reset point at or before each object). Then hands the compressed section's objects
// their bytes in one pass, which must answer each object once, with bytes of its length, and
// extracts the file into a folder, where no file may be left under a temporary name. Then
// reads the help's context map, as a build and `plovik list --context` do, and its contents in
// binary form, as a build of a help without a .hhc does. The same bytes go to the parsers of the
// map (split into an #IVB and a #STRINGS) and of the binary contents (cut into its five objects)
// directly, so that their checks are reached without a well-formed container around them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "chm/BinaryContents.h"
#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/ContextMap.h"
#include "chm/Extraction.h"
#include "chm/SectionReader.h"
#include "platform/OutputFolder.h"

namespace {

class CountingSink final : public plovik::SectionObjectSink {
public:
    explicit CountingSink(std::size_t objects) : answers(objects, 0) {}
    void objectReady(const plovik::SectionObject& object, std::string_view bytes) override {
        if (bytes.size() != object.length)
            __builtin_trap();
        for (char c : bytes)
            total += static_cast<unsigned char>(c);
        ++answers[object.tag];
    }
    void objectFailed(const plovik::SectionObject& object, const plovik::LzxResult& why) override {
        if (why.ok() || why.reason().empty())
            __builtin_trap();
        ++answers[object.tag];
    }
    std::vector<int> answers;
    std::size_t total = 0;
};

// The files an extraction says it wrote.
struct WrittenNames final : plovik::ExtractionSink {
    void entryFinished(std::string_view relative, const plovik::Outcome& outcome,
                       const plovik::TransformNote&) override {
        if (outcome)
            names.emplace(relative);
    }
    std::set<std::string> names;
};

// A folder of this process's own, removed when it ends.
struct ScratchFolder {
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzzchm-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            __builtin_trap();
        path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

}  // namespace

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
        // The binary contents' five objects, cut out of the input at points its first bytes give.
        std::string_view parts[5];
        std::string_view rest = input;
        for (int k = 0; k < 4; ++k) {
            const std::size_t cut =
                static_cast<std::size_t>(k) < size ? data[k] % (rest.size() + 1) : 0;
            parts[k] = rest.substr(0, cut);
            rest.remove_prefix(cut);
        }
        parts[4] = rest;
        std::vector<BinaryContentsEntry> entries;
        parseBinaryContents({parts[0], parts[1], parts[2], parts[3], parts[4]}, entries);
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
    std::vector<BinaryContentsEntry> contents;
    readBinaryContents(*chm, contents);
    for (const BinaryContentsEntry& entry : contents)
        total += entry.name.size() + entry.local.size();
    ContextMap map;
    readContextMap(*chm, map);
    for (const ContextEntry& entry : map.entries)
        total += entry.topic.size() + entry.file.size();
    std::string copy;
    if (!chm->entries.empty())
        retrieveObject(*chm, chm->entries.front().name, copy);

    for (std::size_t s = 0; s < chm->sections.size(); ++s) {
        if (!chm->sections[s].compressed)
            continue;
        auto reader = SectionReader::open(*chm, s);
        if (!reader)
            continue;
        std::vector<SectionObject> objects;
        for (std::size_t i = 0; i < chm->entries.size(); ++i) {
            const ChmEntry& e = chm->entries[i];
            if (e.section == s)
                objects.push_back({e.offset, e.length, objects.size()});
        }
        CountingSink sink(objects.size());
        deliverSectionObjects(*reader, objects, sink);
        for (int n : sink.answers) {
            if (n != 1)
                __builtin_trap();  // every object answered exactly once
        }
        total += sink.total;
    }

    // Extraction as a build runs it, into a folder of its own emptied after each input: the
    // files come out of their section in its order and take their names in directory order,
    // and whatever the input, none is left under its temporary name.
    static const ScratchFolder folder;
    const std::filesystem::path& scratch = folder.path;
    const std::filesystem::path file = scratch / "input.chm";
    const std::filesystem::path out = scratch / "out";
    {
        std::ofstream(file, std::ios::binary).write(input.data(), static_cast<long>(input.size()));
        std::filesystem::create_directories(out);
        WrittenNames written;
        const ExtractionSummary summary = extractChm(file.string(), out.string() + "/", written);
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(out, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            // A stored file may have such a name itself, and so may a stored folder.
            if (it->path().filename().string().rfind(OutputFolder::kTemporaryPrefix, 0) == 0 &&
                !it->is_directory(error) &&
                !written.names.count(std::filesystem::relative(it->path(), out).string()))
                __builtin_trap();
        }
        total += summary.written;
        std::filesystem::remove_all(out, error);
    }
    closeChm(*chm);
    return total == 0xFFFFFFFF ? 1 : 0;
}
