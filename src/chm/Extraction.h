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
    // A file is about to be unpacked; `name` is as written, with its leading "/".
    virtual void entryStarted(std::string_view name) { (void)name; }
    // The bytes to write for the file `relative` (its name as written, less the leading "/").
    // The view must stay valid until the file is written.
    virtual std::string_view transform(std::string_view relative, std::string_view bytes) {
        (void)relative;
        return bytes;
    }
    // The file is written (ok) or lost (item failed, with the reason).
    virtual void entryFinished(std::string_view relative, const Outcome& outcome) {
        (void)relative;
        (void)outcome;
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

// Bytes of files decoded ahead of their turn that an extraction keeps for it, at most.
inline constexpr std::size_t kExtractionHoldLimit = std::size_t{16} << 20;

// Writes every stored file of the CHM at `chmPath` below `outputFolder` (ending with '/'), in
// directory order, except the help compiler's own objects. A name that would leave the folder is
// never written. Each compressed section is decoded once, in its own order; files that come out
// before their turn are kept for it up to `holdLimit` bytes, and beyond that decoded again when
// their turn comes, so the limit changes the time taken, never what is written or told.
ExtractionSummary extractChm(const std::string& chmPath, const std::string& outputFolder,
                             ExtractionSink& sink, std::size_t holdLimit = kExtractionHoldLimit);

}  // namespace plovik
