#pragma once

#include <string>
#include <vector>

// Every option of the program is read here: the batch runs, PDF printing and the window's
// switches. Arguments are given without the program's name.

// What the window's command line asks for. Every argument beginning with "-" is a switch;
// one beginning with "/" is a switch only when it is a switch word, otherwise a file name
// (Linux paths begin with "/"). The first other argument is the file name.
struct CWindowArguments {
    enum class Action { FileNew, FileOpen, FilePrint, FilePrintTo, FileDde, Register, Unregister };

    Action action = Action::FileNew;
    std::string fileName;
    std::string printerName;
    std::string driverName;
    std::string portName;
    // "/metalib" as an argument of its own: the library-entry command is offered.
    bool libraryEntry = false;
    // Dash words that are no switch: ignored, and the program says so on standard error.
    std::vector<std::string> unknownSwitches;

    static CWindowArguments Parse(const std::vector<std::string>& arguments);
};

// The options of a run without a window (batch work and --print-pdf).
struct CBatchArguments {
    std::string library;
    bool readdress = false;
    bool autoConnect = false;
    bool listFixtures = false;
    int section = 1;
    bool sectionGiven = false;
    std::string date;
    std::string saveAs;
    std::string patchList;
    std::string ascii;
    std::string script;
    std::string csv;
    std::string universeReport;
    std::string printPdf;
    bool devices = false;
    std::string file;
};

struct CCommandLine {
    // Window: no double-dash word at all. PrintPdf: --print-pdf anywhere. Batch: the rest.
    enum class Mode { Window, Batch, PrintPdf };

    Mode mode = Mode::Window;
    bool help = false;
    bool version = false;
    // Set on a usage error (exit status 2, with Usage()).
    std::string problem;
    CBatchArguments batch;
    CWindowArguments window;

    // Without a window (`withWindow` false) every run is a batch run.
    static CCommandLine Parse(const std::vector<std::string>& arguments, bool withWindow = true);
    static CCommandLine Parse(int argc, char** argv, bool withWindow = true);

    // The text for --help and usage errors; PDF printing has a shorter one of its own.
    const char* Usage() const;
};

// The whole --help text.
extern const char* const kUsageText;
