#pragma once

// File input and output in the two modes the generated site is written with. Page contents are
// bytes: nothing here applies a code page.
//
// "Text mode" reproduces what the help files' home platform does with a file opened as text:
// reading turns each CR LF pair into LF, writing turns each LF into CR LF. Unlike that platform, a
// write never turns a CR LF that is already there into CR CR LF, so pages pasted into a
// text-mode write keep their line breaks as they were.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plovik {

// The whole file, byte for byte; nullopt when it cannot be opened or read.
std::optional<std::string> readBinaryFile(const std::filesystem::path& path);
// The whole of a regular file, read without waiting for anything: a folder, a FIFO, a device or
// a socket is refused at once (opening a FIFO to read would wait for a writer for ever), and so
// is a file longer than `maxBytes`. On refusal, `whyNot` (when given) says why in a few words.
std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::size_t maxBytes,
                                           std::string* whyNot = nullptr);
// Writes the file afresh under a temporary name beside it and renames that over the name, so a
// failure leaves the old file whole and a link at the name is replaced, not written through (a
// device or a pipe is written as it is); false when that fails.
bool writeBinaryFile(const std::filesystem::path& path, std::string_view bytes);

// CR LF -> LF; every other byte (a lone CR included) stays.
std::string fromTextMode(std::string_view raw);
void fromTextModeInPlace(std::string& text);
// LF -> CR LF, except where the LF already follows a CR.
std::string toTextMode(std::string_view text);

std::optional<std::string> readTextFile(const std::filesystem::path& path);
bool writeTextFile(const std::filesystem::path& path, std::string_view text);

}  // namespace plovik
