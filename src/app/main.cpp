// Plovik: turns a compiled HTML help file (CHM) into a static web site.

#include <iostream>
#include <map>

#include <CLI/CLI.hpp>

#include "app/BuildCommand.h"
#include "app/ChmCommands.h"
#include "app/PlovikApp.h"
#include "text/AsciiCase.h"

int main(int argc, char** argv) {
    CLI::App app{
        "Plovik turns a compiled HTML help file (.chm) into a web site that any web "
        "server can serve.",
        "plovik"};
    app.require_subcommand(0, 1);
    plovik::CPlovikApp::Options wizard;
    bool noBrowser = false;
    app.add_option("project", wizard.projectFile, "Project file (.zarn) to open in the wizard");
    app.add_flag("--no-browser", noBrowser,
                 "Start the wizard without opening a browser window; only print its address");

    plovik::BuildOptions build;
    std::string layout;
    CLI::App* buildCmd = app.add_subcommand(
        "build", "Build a web site from a project file and/or the options below.");
    std::vector<std::string> buildInputs;
    buildCmd->add_option("inputs", buildInputs,
                         "A project file (.zarn; relative paths in it are taken relative to it) "
                         "and/or CHM files (.chm): two or more CHM files, with --chm and the "
                         "project's, build a library, each help in a folder of its own under "
                         "--out beside a library page");
    buildCmd->add_option("--chm", build.chm, "The CHM file to convert");
    buildCmd->add_option("--out", build.out, "The folder that receives the site (must exist)");
    buildCmd->add_option("--layout", layout, "frame (default) or noframe")
        ->check(CLI::IsMember({"frame", "noframe"}));
    buildCmd->add_option("--template", build.templateIndex,
                         "Position of the template in the layout's catalogue list (from 0)");
    buildCmd->add_option("--title", build.title, "Title of the site");
    buildCmd->add_option("--entry", build.entry, "File name of the entry page (index.html)");
    buildCmd->add_option("--base-url", build.baseUrl,
                         "Address the site will be served from (https://...): no-frame pages get "
                         "a canonical link and a description, and sitemap.xml lists them");
    buildCmd->add_flag("--no-index", build.noIndex, "Do not build the keyword index");
    buildCmd->add_flag("--no-search", build.noSearch, "Do not build the full-text search");
    buildCmd->add_flag("--no-nav", build.noNav, "No previous/next buttons on the pages");
    buildCmd->add_flag("--no-related", build.noRelated, "No related-topic links on the pages");
    buildCmd
        ->add_option("--charset", build.charset,
                     "auto: convert pages, contents and index to UTF-8; keep: leave their bytes")
        ->transform(CLI::CheckedTransformer(std::map<std::string, int>{{"auto", 0}, {"keep", 1}}));
    buildCmd->add_flag("--no-fix-links", build.noFixLinks,
                       "Leave links that only resolve when case is ignored, and ms-its links");
    buildCmd->add_flag("--force", build.force,
                       "Build into an output folder that holds files Plovik did not write; they "
                       "may be replaced or changed");
    buildCmd->add_option("--report", build.report,
                         "Write every item that failed and every link that does not resolve, "
                         "each with its reason, to FILE (one tab-separated line each)");
    buildCmd->add_option("--links-report", build.linksReport,
                         "Write every link that still does not resolve, with its page, to FILE");
    buildCmd->add_option("--context-names", build.contextNames,
                         "Name the help's context ids from the #define lines of FILE (the "
                         "application's header, or the help project, whose #include lines are "
                         "followed): a compiled help keeps only their numbers");
    buildCmd->add_flag("--log", build.log,
                       "Print the build log as it is produced (the default when the output is "
                       "not a terminal) instead of a one-line status");
    buildCmd->add_flag("--verbose", build.verbose, "Also print the CHM reader's diagnostic lines");
    buildCmd->footer(
        "Exit status: 0 the site was built and nothing failed, 1 the build was stopped (Ctrl-C), "
        "2 the settings were refused, 3 the build failed and there is no usable site, 4 the site "
        "was built but some items failed (the reason is printed on standard error; --report "
        "lists the items).");

    std::string chmFile, outDir;
    bool verbose = false;
    bool utf8 = false;
    CLI::App* extractCmd = app.add_subcommand(
        "extract", "Unpack every file stored in a CHM into a folder, byte for byte as stored.");
    extractCmd->add_option("chm", chmFile, "The CHM file")->required();
    extractCmd->add_option("dir", outDir, "The folder to unpack into (made when missing)")
        ->required();
    extractCmd->add_flag("--utf8", utf8,
                         "Make names, pages, contents and index UTF-8 as a build does");
    extractCmd->add_flag("--verbose", verbose, "Also print the CHM reader's diagnostic lines");
    bool listContext = false;
    std::string contextNames;
    CLI::App* listCmd = app.add_subcommand(
        "list", "List every directory entry of a CHM: section, offset, length and name.");
    listCmd->add_option("chm", chmFile, "The CHM file")->required();
    listCmd->add_flag("--context", listContext,
                      "List the help's context ids instead: id, name and page, tab-separated");
    listCmd->add_option("--context-names", contextNames,
                        "Name the context ids from the #define lines of FILE, as for build");
    listCmd->add_flag("--verbose", verbose, "Also print the CHM reader's diagnostic lines");

    CLI11_PARSE(app, argc, argv);

    if (*extractCmd)
        return plovik::extractCommand(chmFile, outDir, utf8, verbose);
    if (*listCmd && (listContext || !contextNames.empty()))
        return plovik::listContextCommand(chmFile, contextNames, verbose);
    if (*listCmd)
        return plovik::listCommand(chmFile, verbose);

    if (*buildCmd) {
        // A CHM file is told by its extension; anything else is the project file, of which
        // there is one.
        for (const std::string& input : buildInputs) {
            const std::string_view name(input);
            if (name.size() > 4 &&
                plovik::equalsIgnoreAsciiCase(name.substr(name.size() - 4), ".chm")) {
                build.chmFiles.push_back(input);
            } else if (build.projectFile.empty()) {
                build.projectFile = input;
            } else {
                std::cerr << "plovik build: only one project file can be given (" +
                                 build.projectFile + ", " + input + ")\n";
                return 2;
            }
        }
        if (layout == "frame")
            build.layout = 0;
        if (layout == "noframe")
            build.layout = 1;
        return plovik::runBuildCommand(build);
    }
    wizard.openBrowser = !noBrowser;
    plovik::CPlovikApp application;
    return application.InitInstance(wizard);
}
