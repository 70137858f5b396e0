#pragma once

// The first stage of a build: every stored file of the help unpacked into the output folder,
// with one log line per file, and what the later stages need to know of them: the pages, the
// contents file, the index file and every file written.

#include <memory>
#include <string>
#include <vector>

#include "chm/BinaryContents.h"
#include "chm/Extraction.h"
#include "pipeline/HelpTextToUtf8.h"

namespace plovik {

class Progress;

// The build state that extraction fills. Names are relative to the output folder, with '/'
// between folders, in directory order.
struct ExtractedHelp {
    std::vector<std::string> pageList;  // every .htm and .html file
    std::string contentsFileName;       // the .hhc, or empty
    std::string indexFileName;          // the .hhk, or empty
    std::vector<std::string> fileList;  // every file written
    std::string defaultTopic;           // the page the help opens with, as its #SYSTEM names it
    // For a help that stores no .hhc: its contents in binary form, texts and links converted as
    // the .hhc's would be; `binaryContentsRead` says how reading them went.
    std::vector<BinaryContentsEntry> binaryContents;
    Outcome binaryContentsRead;
};

class ExtractionStage : public ExtractionSink {
public:
    // With `convertCharset`, names, pages and sitemaps are made UTF-8 as they are written.
    ExtractionStage(Progress& progress, bool convertCharset);
    ~ExtractionStage() override;

    // Unpacks the help; the result says whether it could be opened and how many files failed.
    // When the progress's checkpoint stops the build, returns at once with `stopped` set.
    ExtractionSummary run(const std::string& chmPath, const std::string& outputFolder);

    ExtractedHelp& help() { return help_; }
    // Names below the output folder that are never written: the files the build reads.
    void protect(std::vector<std::string> names) { protected_ = std::move(names); }
    // Zero counts when nothing was converted.
    ConversionCounts conversionCounts() const;

    void opened(ChmFile& chm) override;
    bool stopRequested() override;
    std::string_view nameFor(std::string_view stored) override;
    std::string refusal(std::string_view relative) override;
    void entryStarted(std::string_view name) override;
    std::string_view transform(std::string_view relative, std::string_view bytes,
                               TransformNote& note) override;
    void entryFinished(std::string_view relative, const Outcome& outcome,
                       const TransformNote& note) override;

private:
    void noteWritten(std::string_view relative);
    void readBinaryContentsOf(ChmFile& chm);

    Progress& progress_;
    bool convertCharset_;
    std::unique_ptr<HelpTextToUtf8> utf8_;
    ExtractedHelp help_;
    std::vector<std::string> protected_;
    std::string line_;
};

}  // namespace plovik
