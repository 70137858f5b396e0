#pragma once

// The result of one step, graded by what it means for the work around it, with the reason in
// words and numbers a user can act on:
//
// - Ok: done as asked;
// - Warning: done, but something is worth telling (a name that had to change, bytes that did not
//   decode);
// - ItemFailed: this one item (a stored file, a page) is lost, the rest goes on;
// - Fatal: nothing more can be done (the file is no CHM, its directory cannot be read).
//
// The small results that callers of the old interfaces expect (0 and -1, true and false, "ok" and
// "failed" in the log) are read off the grade.

#include <string>
#include <utility>

namespace plovik {

enum class Grade { Ok, Warning, ItemFailed, Fatal };

struct Outcome {
    Grade grade = Grade::Ok;
    std::string reason;  // empty when ok

    static Outcome ok() { return {}; }
    static Outcome warning(std::string why) { return {Grade::Warning, std::move(why)}; }
    static Outcome itemFailed(std::string why) { return {Grade::ItemFailed, std::move(why)}; }
    static Outcome fatal(std::string why) { return {Grade::Fatal, std::move(why)}; }

    // Done, with or without a warning.
    bool succeeded() const { return grade == Grade::Ok || grade == Grade::Warning; }
    explicit operator bool() const { return succeeded(); }
};

}  // namespace plovik
