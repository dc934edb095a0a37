#include "app/cli/Arguments.h"

#include <cstring>
#include <iterator>
#include <strings.h>

const char* const kUsageText
    = "Usage: quiltmark [/metalib] [FILE]\n"
      "       quiltmark /p FILE\n"
      "       quiltmark /pt FILE PRINTER\n"
      "       quiltmark /register | /unregister\n"
      "       quiltmark [--library METALIB.xml] [--readdress] [--auto-connect] [--section N]\n"
      "                 [--date TEXT] [--save-as OUT.patch] [--export-patch-list OUT]\n"
      "                 [--export-ascii OUT] [--export-script OUT] [--export-csv OUT]\n"
      "                 [--export-universe-report OUT] FILE\n"
      "       quiltmark --print-pdf OUT.pdf [--devices] [--library METALIB.xml]\n"
      "                 [--date TEXT] FILE\n"
      "       quiltmark --list-fixtures [--library METALIB.xml]\n"
      "       quiltmark --help | --version\n"
      "\n"
      "Without options the window opens FILE (a project file or a legacy job file), or an\n"
      "empty project. With any option below, FILE is opened without a window and the\n"
      "requested outputs are written. OUT may be - for standard output.\n"
      "\n"
      "Window switches (also written with -):\n"
      "  /p FILE                print every section on the default printer and end\n"
      "  /pt FILE PRINTER       print every section on PRINTER and end\n"
      "  /register              make the desktop open .patch files with this program\n"
      "  /unregister            remove that again\n"
      "  /metalib               offer the fixture-library entry command in the tile menu\n"
      "\n"
      "Options:\n"
      "  --library PATH         read the fixture library from PATH (default: metalib.xml\n"
      "                         beside the program, else the user's copy in\n"
      "                         ~/.local/share/quiltmark, else the installed one)\n"
      "  --readdress            set up every section again with its own addressing values\n"
      "  --auto-connect         connect the used universes to the devices' ports again;\n"
      "                         too few ports is a warning: the universes that found a\n"
      "                         port stay connected and every output is still written\n"
      "  --section N            section for the per-section exports, from 1 (default 1)\n"
      "  --date TEXT            date written into the visualiser scripts (default: now)\n"
      "  --save-as OUT          write the project file\n"
      "  --export-patch-list OUT  write the section's sorted patch lines\n"
      "  --export-ascii OUT     write the section's ASCII patch scheme\n"
      "  --export-script OUT    write the section's visualiser script\n"
      "  --export-csv OUT       write the patch as CSV for a lighting console: every\n"
      "                         section, or only the one given with --section\n"
      "  --export-universe-report OUT  write the universe report as CSV: channels used,\n"
      "                         sections, device port and conflicts of each universe\n"
      "  --list-fixtures        say which library file is in use and list its fixture types\n"
      "  --print-pdf OUT.pdf    print every section's patch-matrix page into a PDF file\n"
      "  --devices              with --print-pdf: print the device list instead\n"
      "  --help                 show this text\n"
      "  --version              show the version and the fixture library in use\n"
      "\n"
      "Exit status: 0 success (warnings may be on standard error), 1 failure (reason on\n"
      "standard error), 2 usage error.\n";

namespace {

constexpr const char* kPrintPdfUsage
    = "Usage: quiltmark --print-pdf OUT.pdf [--devices] [--library METALIB.xml] [--date TEXT] "
      "FILE\n"
      "\n"
      "Prints FILE without a window into the PDF file OUT.pdf (A4 portrait): one page per\n"
      "section, or with --devices the device list. --date replaces the date printed on the\n"
      "pages.\n";

const char* const kBatchValueOptions[]
    = { "--library", "--section", "--date", "--save-as", "--export-patch-list", "--export-ascii",
          "--export-script", "--export-csv", "--export-universe-report" };
const char* const kBatchFlagOptions[]
    = { "--readdress", "--auto-connect", "--list-fixtures", "--help", "--version", "-h" };

bool IsOneOf(const std::string& arg, const char* const* first, const char* const* last)
{
    for (; first != last; ++first)
        if (arg == *first)
            return true;
    return false;
}

bool IsBatchWord(const std::string& arg)
{
    // Window switches are single-dash or slash words; every double-dash word is ours, so
    // a mistyped batch option gets the usage text instead of a window.
    return IsOneOf(arg, std::begin(kBatchValueOptions), std::end(kBatchValueOptions))
        || IsOneOf(arg, std::begin(kBatchFlagOptions), std::end(kBatchFlagOptions))
        || arg.rfind("--", 0) == 0;
}

bool ParseSectionNumber(const std::string& text, int& number)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    number = std::stoi(text);
    return number >= 1;
}

// False with `problem` set on a usage error.
bool ParseBatch(const std::vector<std::string>& args, CCommandLine& line, std::string& problem)
{
    CBatchArguments& options = line.batch;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsOneOf(arg, std::begin(kBatchValueOptions), std::end(kBatchValueOptions))) {
            if (i + 1 >= args.size()) {
                problem = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (arg == "--library")
                options.library = value;
            else if (arg == "--section") {
                if (!ParseSectionNumber(value, options.section)) {
                    problem = "--section needs a number from 1";
                    return false;
                }
                options.sectionGiven = true;
            } else if (arg == "--date")
                options.date = value;
            else if (arg == "--save-as")
                options.saveAs = value;
            else if (arg == "--export-patch-list")
                options.patchList = value;
            else if (arg == "--export-ascii")
                options.ascii = value;
            else if (arg == "--export-csv")
                options.csv = value;
            else if (arg == "--export-universe-report")
                options.universeReport = value;
            else
                options.script = value;
        } else if (arg == "--readdress") {
            options.readdress = true;
        } else if (arg == "--auto-connect") {
            options.autoConnect = true;
        } else if (arg == "--list-fixtures") {
            options.listFixtures = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            problem = "unknown option " + arg;
            return false;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            problem = "more than one FILE given";
            return false;
        }
    }
    if (!line.help && !line.version && !options.listFixtures && options.file.empty()) {
        problem = "no FILE given";
        return false;
    }
    return true;
}

bool ParsePrintPdf(
    const std::vector<std::string>& args, CBatchArguments& options, std::string& problem)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--print-pdf" || arg == "--library" || arg == "--date";
        if (takesValue && i + 1 >= args.size()) {
            problem = arg + " needs a value";
            return false;
        }
        if (arg == "--print-pdf")
            options.printPdf = args[++i];
        else if (arg == "--library")
            options.library = args[++i];
        else if (arg == "--date")
            options.date = args[++i];
        else if (arg == "--devices")
            options.devices = true;
        else if (arg.size() > 1 && arg[0] == '-') {
            problem = "unknown option " + arg;
            return false;
        } else if (options.file.empty())
            options.file = arg;
        else {
            problem = "more than one project file";
            return false;
        }
    }
    if (options.printPdf.empty()) {
        problem = "--print-pdf needs a file name";
        return false;
    }
    if (options.file.empty()) {
        problem = "no project file given";
        return false;
    }
    return true;
}

enum class Switch { None, Unknown, Ignored, Print, PrintTo, Dde, Register, Unregister, Metalib };

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    return a.size() == std::strlen(b) && ::strncasecmp(a.c_str(), b, a.size()) == 0;
}

Switch SwitchOf(const std::string& argument)
{
    if (argument == "/metalib")
        return Switch::Metalib;
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-'))
        return Switch::None;
    const std::string word = argument.substr(1);
    // "p", "pt" and "dde" are matched exactly, the other words in any case.
    if (word == "p")
        return Switch::Print;
    if (word == "pt")
        return Switch::PrintTo;
    if (word == "dde")
        return Switch::Dde;
    if (EqualsIgnoringCase(word, "Register") || EqualsIgnoringCase(word, "Regserver"))
        return Switch::Register;
    if (EqualsIgnoringCase(word, "Unregister") || EqualsIgnoringCase(word, "Unregserver"))
        return Switch::Unregister;
    // Asked for by other systems' component servers; nothing to do here.
    if (EqualsIgnoringCase(word, "Embedding") || EqualsIgnoringCase(word, "Automation"))
        return Switch::Ignored;
    // "/word" may be a path; "-word" never names a file here.
    return argument[0] == '-' ? Switch::Unknown : Switch::None;
}

} // namespace

CWindowArguments CWindowArguments::Parse(const std::vector<std::string>& arguments)
{
    CWindowArguments result;
    for (const std::string& argument : arguments) {
        switch (SwitchOf(argument)) {
        case Switch::Print:
            result.action = Action::FilePrint;
            continue;
        case Switch::PrintTo:
            result.action = Action::FilePrintTo;
            continue;
        case Switch::Dde:
            result.action = Action::FileDde;
            continue;
        case Switch::Register:
            result.action = Action::Register;
            continue;
        case Switch::Unregister:
            result.action = Action::Unregister;
            continue;
        case Switch::Metalib:
            result.libraryEntry = true;
            continue;
        case Switch::Ignored:
            continue;
        case Switch::Unknown:
            result.unknownSwitches.push_back(argument);
            continue;
        case Switch::None:
            break;
        }
        if (result.fileName.empty())
            result.fileName = argument;
        else if (result.action == Action::FilePrintTo && result.printerName.empty())
            result.printerName = argument;
        else if (result.action == Action::FilePrintTo && result.driverName.empty())
            result.driverName = argument;
        else if (result.action == Action::FilePrintTo && result.portName.empty())
            result.portName = argument;
    }
    if (result.action == Action::FileNew && !result.fileName.empty())
        result.action = Action::FileOpen;
    return result;
}

CCommandLine CCommandLine::Parse(const std::vector<std::string>& arguments, bool withWindow)
{
    CCommandLine line;
    bool batch = !withWindow;
    for (const std::string& arg : arguments) {
        if (arg == "--print-pdf") {
            line.mode = Mode::PrintPdf;
            break;
        }
        batch = batch || IsBatchWord(arg);
    }
    if (line.mode == Mode::PrintPdf && !withWindow) {
        // Only a build with the window can paint pages.
        line.mode = Mode::Batch;
        line.problem = "--print-pdf needs the build with the window (Qt)";
    } else if (line.mode == Mode::PrintPdf) {
        ParsePrintPdf(arguments, line.batch, line.problem);
    } else if (batch) {
        line.mode = Mode::Batch;
        ParseBatch(arguments, line, line.problem);
    } else {
        line.window = CWindowArguments::Parse(arguments);
    }
    return line;
}

CCommandLine CCommandLine::Parse(int argc, char** argv, bool withWindow)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return Parse(arguments, withWindow);
}

const char* CCommandLine::Usage() const
{
    return mode == Mode::PrintPdf ? kPrintPdfUsage : kUsageText;
}
