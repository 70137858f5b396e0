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

// The encoding of one text value, exposed for its tests.
std::string encodeProjectText(std::string_view text);
std::string decodeProjectText(std::string_view value);

}  // namespace plovik
