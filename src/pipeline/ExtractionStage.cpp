#include "pipeline/ExtractionStage.h"

#include "chm/ChmFile.h"
#include "chm/SystemLanguage.h"
#include "pages/Progress.h"
#include "text/AsciiCase.h"
#include "text/PathSegments.h"

namespace plovik {

ExtractionStage::ExtractionStage(Progress& progress, bool convertCharset)
    : progress_(progress), convertCharset_(convertCharset) {}

ExtractionStage::~ExtractionStage() = default;

ExtractionSummary ExtractionStage::run(const std::string& chmPath,
                                       const std::string& outputFolder) {
    help_ = ExtractedHelp{};
    utf8_.reset();
    return extractChm(chmPath, outputFolder, *this);
}

ConversionCounts ExtractionStage::conversionCounts() const {
    return utf8_ ? utf8_->counts() : ConversionCounts{};
}

void ExtractionStage::opened(ChmFile& chm) {
    if (convertCharset_)
        utf8_ = std::make_unique<HelpTextToUtf8>(chm);
    help_.defaultTopic = systemTextsOf(chm).defaultTopic;
    // The topic is a stored name, so it is in the code page the names are converted from.
    if (utf8_ && !help_.defaultTopic.empty())
        help_.defaultTopic = std::string(utf8_->name("/" + help_.defaultTopic)).substr(1);
    readBinaryContentsOf(chm);
}

// Read while the help is open, before its files are written: the later stages see only files.
void ExtractionStage::readBinaryContentsOf(ChmFile& chm) {
    for (const ChmEntry& entry : chm.entries)
        if (!entry.isFolder() && equalsIgnoreAsciiCase(extensionOf(entry.name), ".hhc"))
            return;
    if (!hasBinaryContents(chm))
        return;
    help_.binaryContentsRead = readBinaryContents(chm, help_.binaryContents);
    if (!utf8_)
        return;
    for (BinaryContentsEntry& entry : help_.binaryContents) {
        entry.name = utf8_->text(entry.name);
        entry.local = utf8_->text(entry.local);
    }
}

bool ExtractionStage::stopRequested() {
    return progress_.checkStop();
}

std::string ExtractionStage::refusal(std::string_view relative) {
    for (const std::string& name : protected_)
        if (name == relative)
            return "it would replace " + name + ", which this build reads";
    return {};
}

std::string_view ExtractionStage::nameFor(std::string_view stored) {
    return utf8_ ? utf8_->name(stored) : stored;
}

void ExtractionStage::entryStarted(std::string_view name) {
    line_.assign("\r\n   extract:").append(name).append("......");
    progress_.log(line_, 0);
}

std::string_view ExtractionStage::transform(std::string_view relative, std::string_view bytes,
                                            TransformNote& note) {
    return utf8_ ? utf8_->content(relative, bytes, note.undecodable) : bytes;
}

void ExtractionStage::entryFinished(std::string_view relative, const Outcome& outcome,
                                    const TransformNote& note) {
    if (outcome)
        noteWritten(relative);
    progress_.log(outcome ? "ok" : "failed", 1);
    if (!outcome)
        progress_.itemFailed(relative, outcome.reason);
    if (outcome && note.undecodable > 0) {
        line_.assign("\r\n   ")
            .append(relative)
            .append(": ")
            .append(std::to_string(note.undecodable))
            .append(note.undecodable == 1 ? " byte" : " bytes")
            .append(" could not be decoded (now U+FFFD)");
        progress_.log(line_, 0);
    }
    progress_.itemDone();
}

void ExtractionStage::noteWritten(std::string_view relative) {
    help_.fileList.emplace_back(relative);
    const std::string_view ext = extensionOf(relative);
    if (equalsIgnoreAsciiCase(ext, ".hhk"))
        help_.indexFileName = relative;
    else if (equalsIgnoreAsciiCase(ext, ".hhc"))
        help_.contentsFileName = relative;
    else if (equalsIgnoreAsciiCase(ext, ".html") || equalsIgnoreAsciiCase(ext, ".htm"))
        help_.pageList.emplace_back(relative);
}

}  // namespace plovik
