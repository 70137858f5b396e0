#pragma once

// Project files (*.zarn): INI files with the sections version, general, templates and htmlsetting.
//
// Texts are written verbatim when that reads back unchanged. A text that would not (one holding a
// line break or another control character, one with blanks at either end, one that starts with a
// double quote) is written as a double-quoted string with C escapes (\\ \" \n \r \t \xHH), so
// every line of the file stays one key line. A value that is not a complete quoted string reads
// verbatim, as hand-written files expect.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/ProjectSettings.h"
#include "platform/Outcome.h"

namespace plovik {

struct ProjectFile {
    std::string path;
    // Every key read as missing: integers 0 (fixlinks 1), texts empty.
    ProjectSettings settings = emptySettings();

    static ProjectSettings emptySettings();
};

// Reads every key of the file at `path` into `file.settings` and copies it to `out`. Fails only
// when the path or the output record is absent; a missing file reads as all defaults.
bool readProjectFile(const std::string* path, ProjectFile* file, ProjectSettings* out);
// Reads the project file at `path` as a user opens it: unlike readProjectFile, a file that cannot
// be read as a project (missing, unreadable, a folder, a FIFO or a device, binary data, text
// that is no INI file) is refused at once, with a sentence that names the file and the reason;
// `file` and `out` are then left as they were.
Outcome openProjectFile(const std::string& path, ProjectFile& file, ProjectSettings& out);
// Replaces the stored path (when given and not empty) and record (when given), then writes every
// key in the file's order, keeping the file's other lines. On failure the reason, in a sentence
// that names the file; the file on disk is then as it was.
Outcome writeProjectFile(ProjectFile& file, const ProjectSettings* settings = nullptr,
                         const std::string* path = nullptr);

// A project that builds a library of helps names its further CHM files in a section of its own,
// which the wizard keeps as it is:
//   [library]
//   title=Product help          (the library page's title)
//   chmfile2=second.chm         (then chmfile3, chmfile4, ... up to the first missing number)
// `chmfile` of [general] is the library's first help. Texts are encoded as the other keys'.
struct ProjectLibrary {
    std::vector<std::string> chmFiles;  // chmfile2, chmfile3, ... in order
    std::string title;
};
inline constexpr int kMaxLibraryHelps = 1000;
// The library of the project file at `path` (which openProjectFile has read); empty when it has
// none or cannot be read.
ProjectLibrary readProjectLibrary(const std::string& path);

// The encoding of one text value, exposed for its tests.
std::string encodeProjectText(std::string_view text);
std::string decodeProjectText(std::string_view value);

}  // namespace plovik
