// The help files compiled with chmcmd from tests/data/helps must unpack to their sources byte for
// byte: a .chm left stale after its sources changed would make every test that uses it check
// something else than its folder shows, and an extractor that mangles names holding quotes,
// markup or spaces (the hostile help has them) would write the wrong files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ExtractionRun.h"
#include "chm/ChmFile.h"
#include "support/Corpus.h"
#include "support/TempDir.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;

// The few parts of a help project that say what goes into the help file.
struct HelpProject {
    std::map<std::string, std::string> options;
    std::vector<std::string> files;
};

HelpProject readProject(const fs::path& hhp) {
    HelpProject project;
    std::ifstream in(hhp);
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line.front() == '[') {
            section = line;
        } else if (section == "[OPTIONS]") {
            const auto eq = line.find('=');
            if (eq != std::string::npos)
                project.options[line.substr(0, eq)] = line.substr(eq + 1);
        } else if (section == "[FILES]") {
            project.files.push_back(line);
        }
    }
    return project;
}

std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_directory())
            files.insert(fs::relative(e.path(), root).generic_string());
    }
    return files;
}

TEST(CompiledHelps, UnpackToTheirSourcesByteForByte) {
    CapturingSink quiet;
    ScopedSink scoped(quiet);
    int projects = 0;
    for (const auto& folder : fs::directory_iterator(dataDir() / "helps")) {
        if (!folder.is_directory())
            continue;
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            if (entry.path().extension() != ".hhp")
                continue;
            SCOPED_TRACE(entry.path().filename().string());
            ++projects;
            const HelpProject project = readProject(entry.path());
            const fs::path chm = dataDir() / project.options.at("Compiled file");
            ASSERT_TRUE(fs::exists(chm)) << "run tests/data/helps/make.sh";

            std::set<std::string> sources(project.files.begin(), project.files.end());
            for (const char* sitemap : {"Contents file", "Index file"}) {
                if (project.options.count(sitemap))
                    sources.insert(project.options.at(sitemap));
            }
            // make.sh renames some stored files after compiling: they are found under the new
            // name, with their sources' bytes.
            std::map<std::string, std::string> renamed;
            {
                std::ifstream in(folder.path() / "rename-stored");
                std::string from, to;
                while (in >> from >> to)
                    renamed[from] = to;
            }
            TempDir out;
            auto run = runExtraction(chm.string(), out.folder());
            ASSERT_TRUE(run->result());
            EXPECT_EQ(run->count(false), 0u);
            std::set<std::string> stored;
            for (const std::string& name : sources) {
                const std::string storedName = renamed.count(name) ? renamed[name] : name;
                stored.insert(storedName);
                EXPECT_EQ(readFile(out.path() / storedName), readFile(folder.path() / name))
                    << name << " differs from its source: is the .chm stale?";
            }
            // chmcmd adds a note of its own; nothing else may appear.
            for (const std::string& name : filesBelow(out.path()))
                EXPECT_TRUE(stored.count(name) || name == "_#_README_#_") << name;
        }
    }
    EXPECT_EQ(projects, 11);
}

// What the context-ids help is for: the tables that map an application's numbers to topics.
TEST(CompiledHelps, ContextIdsHelpHoldsItsAliasTables) {
    auto chm = openChm((dataDir() / "context-ids.chm").string());
    ASSERT_TRUE(chm);
    std::set<std::string> names;
    for (const ChmEntry& e : chm->entries)
        names.insert(e.name);
    EXPECT_TRUE(names.count("/#IVB"));
    EXPECT_TRUE(names.count("/#STRINGS"));
}

}  // namespace
}  // namespace plovik::test
