#pragma once

// Unpacks every stored file of a CHM into a folder. Extraction knows the container and the
// folder; whoever drives it (a build, `plovik extract`, a test) hears of each file through a
// small sink, and may rename files and change their bytes on the way to the disk (a build makes
// text UTF-8 there).

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Outcome.h"

namespace plovik {

struct ChmFile;

// What a sink's transform noticed about one file's bytes.
struct TransformNote {
    std::size_t undecodable = 0;  // bytes that were not text in the code page they were read in
};

class ExtractionSink {
public:
    virtual ~ExtractionSink() = default;

    // The container is open and nothing is written yet; a sink that needs to know more of the
    // help (its language) reads it here.
    virtual void opened(ChmFile& chm) { (void)chm; }
    // Asked before every directory entry; true ends the extraction there.
    virtual bool stopRequested() { return false; }
    // The name, "/" and a path, that a stored file or folder is written under. The view must stay
    // valid until the next call.
    virtual std::string_view nameFor(std::string_view stored) { return stored; }
    // Why the file `relative` must not be written (the build reads a file of that name), or empty
    // when it may be.
    virtual std::string refusal(std::string_view relative) {
        (void)relative;
        return {};
    }
    // A file's turn has come; `name` is as written, with its leading "/".
    virtual void entryStarted(std::string_view name) { (void)name; }
    // The bytes to write for the file `relative` (its name as written, less the leading "/").
    // The view must stay valid until the file is written. A file's bytes may be asked for before
    // its turn, so what the sink notices about them goes into `note`, which comes back with the
    // file in entryFinished().
    virtual std::string_view transform(std::string_view relative, std::string_view bytes,
                                       TransformNote& note) {
        (void)relative;
        (void)note;
        return bytes;
    }
    // The file is written (ok) or lost (item failed, with the reason).
    virtual void entryFinished(std::string_view relative, const Outcome& outcome,
                               const TransformNote& note) {
        (void)relative;
        (void)outcome;
        (void)note;
    }
};

// What one extraction did.
struct ExtractionSummary {
    Outcome outcome;          // fatal when the CHM could not be opened; nothing is written then
    std::size_t written = 0;  // files written
    std::size_t failed = 0;   // files lost
    bool stopped = false;     // the sink asked to stop before the end

    bool opened() const { return outcome.grade != Grade::Fatal; }
};

// Writes every stored file of the CHM at `chmPath` below `outputFolder` (ending with '/'), in
// directory order, except the help compiler's own objects. A name that would leave the folder is
// never written. Each compressed section is decoded once, in its own order, and each file is
// written as its bytes come, under a temporary name; it takes its own name when its turn comes
// in directory order, so the sink hears of the files, and a stop leaves them, as if they had
// been written one after another.
ExtractionSummary extractChm(const std::string& chmPath, const std::string& outputFolder,
                             ExtractionSink& sink);

}  // namespace plovik
