#include "app/cli/CommandLine.h"

#include "app/UserMessages.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"
#include "document/SafeFile.h"
#include "formats/AsciiScheme.h"
#include "formats/PatchList.h"
#include "formats/SkopeScript.h"
#include "formats/StoredText.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kUsage
    = "Usage: quiltmark [--library METALIB.xml] [--readdress] [--auto-connect] [--section N]\n"
      "                 [--date TEXT] [--save-as OUT.patch] [--export-patch-list OUT]\n"
      "                 [--export-ascii OUT] [--export-script OUT] FILE\n"
      "       quiltmark --print-pdf OUT.pdf [--devices] [--library METALIB.xml]\n"
      "                 [--date TEXT] FILE\n"
      "       quiltmark --list-fixtures [--library METALIB.xml]\n"
      "       quiltmark --help\n"
      "\n"
      "Opens FILE (a project file or a legacy job file) without a window and writes the\n"
      "requested outputs. OUT may be - for standard output.\n"
      "\n"
      "  --library PATH         read the fixture library from PATH (default: metalib.xml\n"
      "                         beside the program)\n"
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
      "  --list-fixtures        list the fixture types of the library\n"
      "  --print-pdf OUT.pdf    print every section's patch-matrix page into a PDF file\n"
      "                         (with --devices: the device list instead)\n"
      "\n"
      "Exit status: 0 success (warnings may be on standard error), 1 failure (reason on\n"
      "standard error), 2 usage error.\n";

// Messages of a step that cannot fail the run, marked as warnings on standard error.
class CWarningMessages : public CStderrMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override
    {
        CStderrMessages::ShowMessage("quiltmark: warning: " + text, icon);
    }
};

struct Options {
    std::string library;
    bool readdress = false;
    bool autoConnect = false;
    bool listFixtures = false;
    bool help = false;
    int section = 1;
    std::string date;
    std::string saveAs;
    std::string patchList;
    std::string ascii;
    std::string script;
    std::string file;
};

const char* const kValueOptions[] = { "--library", "--section", "--date", "--save-as",
    "--export-patch-list", "--export-ascii", "--export-script" };
const char* const kFlagOptions[] = { "--readdress", "--auto-connect", "--list-fixtures", "--help" };

bool IsValueOption(const std::string& arg)
{
    for (const char* option : kValueOptions)
        if (arg == option)
            return true;
    return false;
}

bool IsFlagOption(const std::string& arg)
{
    for (const char* option : kFlagOptions)
        if (arg == option)
            return true;
    return arg == "-h";
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

// Fills `options`; false with `problem` set on a usage error.
bool ParseArguments(int argc, char** argv, Options& options, std::string& problem)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (IsValueOption(arg)) {
            if (i + 1 >= argc) {
                problem = arg + " needs a value";
                return false;
            }
            const std::string value = argv[++i];
            if (arg == "--library")
                options.library = value;
            else if (arg == "--section") {
                if (!ParseSectionNumber(value, options.section)) {
                    problem = "--section needs a number from 1";
                    return false;
                }
            } else if (arg == "--date")
                options.date = value;
            else if (arg == "--save-as")
                options.saveAs = value;
            else if (arg == "--export-patch-list")
                options.patchList = value;
            else if (arg == "--export-ascii")
                options.ascii = value;
            else
                options.script = value;
        } else if (arg == "--readdress") {
            options.readdress = true;
        } else if (arg == "--auto-connect") {
            options.autoConnect = true;
        } else if (arg == "--list-fixtures") {
            options.listFixtures = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--print-pdf") {
            // Only a build with the window can paint pages; that build routes it elsewhere.
            problem = "--print-pdf needs the build with the window (Qt)";
            return false;
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
    if (!options.help && !options.listFixtures && options.file.empty()) {
        problem = "no FILE given";
        return false;
    }
    return true;
}

// Outputs are written as they are made: a large project never has its file in memory.
bool WriteOutput(const std::string& target, const FileProducer& produce)
{
    if (target == "-") {
        std::string ignored;
        const bool written = produce(
            [](const char* data, std::size_t size) {
                return size == 0 || std::fwrite(data, 1, size, stdout) == size;
            },
            ignored);
        if (!written) {
            std::fprintf(stderr, "Cannot write to standard output: %s\n", std::strerror(errno));
            return false;
        }
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "Cannot write to standard output: %s\n", std::strerror(errno));
            return false;
        }
        return true;
    }
    std::string error;
    if (!WriteFileSafely(target, produce, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

bool WriteOutput(const std::string& target, const std::string& bytes)
{
    return WriteOutput(target,
        [&bytes](const FileSink& sink, std::string&) { return sink(bytes.data(), bytes.size()); });
}

// Collects small pieces into writes of about a megabyte.
class CBufferedSink {
public:
    explicit CBufferedSink(const FileSink& sink)
        : m_sink(sink)
    {
    }
    void Append(std::string_view text)
    {
        m_text.append(text);
        if (m_text.size() >= (std::size_t { 1 } << 20))
            Flush();
    }
    bool Flush()
    {
        if (m_ok && !m_text.empty())
            m_ok = m_sink(m_text.data(), m_text.size());
        m_text.clear();
        return m_ok;
    }

private:
    const FileSink& m_sink;
    std::string m_text;
    bool m_ok = true;
};

void ListFixtures(const CMetaLib& library)
{
    for (int i = 0; i < library.GetCount(); ++i) {
        const CFixtureType* type = library.GetAt(i);
        std::printf("%d: %s (%s) %d channels per fixture\n", i, type->metaName.c_str(),
            type->type.c_str(), type->ChannelsPerFixture());
    }
    std::fflush(stdout);
}

int Run(const Options& options)
{
    CStderrMessages messages;
    const std::string library
        = options.library.empty() ? MetaLibPathIn(ProgramDirectory()) : options.library;
    CQuiltmarkDoc doc(messages, library);
    // A batch run undoes nothing: its edits need not keep what they replace.
    doc.EnableHistory(false);
    if (!doc.OnNewDocument())
        return 1;
    if (options.listFixtures) {
        ListFixtures(doc.GetLibrary());
        if (options.file.empty())
            return 0;
    }

    std::string error;
    if (!doc.OnOpenDocument(options.file, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!doc.WasLoadSuccessful())
        return 1;
    // The date goes into every script, and so into the project file.
    std::string scriptDate = options.date;
    if (MakeStorableText(scriptDate))
        messages.ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
    doc.SetScriptDate(scriptDate);

    if (options.readdress)
        doc.SetUpAllSections();
    if (options.autoConnect) {
        // Too few ports is a warning: the universes connected so far stay connected, and
        // the outputs are written with them.
        CWarningMessages warnings;
        doc.GetDevices().AutoConnect(doc, warnings);
    }

    const bool perSection
        = !options.patchList.empty() || !options.ascii.empty() || !options.script.empty();
    CSubDoc* section = doc.GetSection(options.section - 1);
    if (perSection && !section) {
        std::fprintf(stderr, "The project has no section %d (it has %d).\n", options.section,
            doc.GetSectionCount());
        return 1;
    }
    const std::string date
        = scriptDate.empty() ? FormatScriptDate(std::time(nullptr)) : scriptDate;

    if (!options.saveAs.empty()
        && !WriteOutput(options.saveAs, [&](const FileSink& sink, std::string& reason) {
               return CProjectFileWriter::Write(doc, date, sink, nullptr, reason);
           }))
        return 1;
    if (!options.patchList.empty()
        && !WriteOutput(options.patchList, [&](const FileSink& sink, std::string&) {
               CBufferedSink out(sink);
               ForEachPatchLine(*section, [&out](const std::string& line) {
                   out.Append(line);
                   out.Append("\n");
               });
               return out.Flush();
           }))
        return 1;
    if (!options.ascii.empty() && !WriteOutput(options.ascii, BuildAsciiScheme(*section)))
        return 1;
    if (!options.script.empty()
        && !WriteOutput(options.script, [&](const FileSink& sink, std::string&) {
               CBufferedSink out(sink);
               ForEachSkopeScriptPiece(*section, options.section, date,
                   [&out](std::string_view piece) { out.Append(piece); });
               return out.Flush();
           }))
        return 1;
    return 0;
}

} // namespace

bool IsHeadlessInvocation(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Window switches are single-dash or slash words; every double-dash word is ours, so
        // a mistyped batch option gets the usage text instead of a window.
        if (IsValueOption(arg) || IsFlagOption(arg) || arg.rfind("--", 0) == 0)
            return true;
    }
    return false;
}

int RunHeadless(int argc, char** argv)
{
    Options options;
    std::string problem;
    if (!ParseArguments(argc, argv, options, problem)) {
        std::fprintf(stderr, "quiltmark: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return Run(options);
}

std::string ProgramDirectory()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return ".";
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            const std::size_t slash = path.find_last_of('/');
            if (slash == std::string::npos)
                return ".";
            return slash == 0 ? "/" : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}
