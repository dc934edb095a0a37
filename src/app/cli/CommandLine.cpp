#include "app/cli/CommandLine.h"

#include "Version.h"
#include "app/base/SafeFile.h"
#include "app/base/StoredText.h"
#include "app/base/UserMessages.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"
#include "document/UniverseReport.h"
#include "formats/AsciiScheme.h"
#include "formats/PatchCsv.h"
#include "formats/PatchList.h"
#include "formats/SkopeScript.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Messages of a step that cannot fail the run, marked as warnings on standard error.
class CWarningMessages : public CStderrMessages {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override
    {
        CStderrMessages::ShowMessage("quiltmark: warning: " + text, icon);
    }
};

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


void ListFixtures(const std::string& path, const CMetaLib& library)
{
    std::printf("%s\n", LibraryInUseText(path, CLibraryPlaces::FromEnvironment()).c_str());
    for (int i = 0; i < library.GetCount(); ++i) {
        const CFixtureType* type = library.GetAt(i);
        std::printf("%d: %s (%s) %d channels per fixture\n", i, type->metaName.c_str(),
            type->type.c_str(), type->ChannelsPerFixture());
    }
    std::fflush(stdout);
}

int Run(const CBatchArguments& options)
{
    CStderrMessages messages;
    const std::string library = options.library.empty() ? FindMetaLib() : options.library;
    CQuiltmarkDoc doc(messages, library);
    // A batch run undoes nothing: its edits need not keep what they replace.
    doc.EnableHistory(false);
    if (!doc.OnNewDocument())
        return 1;
    if (options.listFixtures) {
        ListFixtures(library, doc.GetLibrary());
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

    const bool perSection = !options.patchList.empty() || !options.ascii.empty()
        || !options.script.empty() || (!options.csv.empty() && options.sectionGiven);
    CSubDoc* section = doc.GetSection(options.section - 1);
    if (perSection && !section) {
        std::fprintf(stderr, "The project has no section %d (it has %d).\n", options.section,
            doc.GetSectionCount());
        return 1;
    }
    const std::string date = scriptDate.empty() ? FormatScriptDate(std::time(nullptr)) : scriptDate;

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
    if (!options.csv.empty() && !WriteOutput(options.csv, [&](const FileSink& sink, std::string&) {
            std::vector<CCsvSection> sections;
            for (int s = 0; s < doc.GetSectionCount(); ++s)
                if (!options.sectionGiven || s == options.section - 1)
                    sections.push_back({ s + 1, doc.GetSection(s) });
            CBufferedSink out(sink);
            ForEachPatchCsvPiece(
                sections, doc.GetDevices(), [&out](std::string_view piece) { out.Append(piece); });
            return out.Flush();
        }))
        return 1;
    if (!options.universeReport.empty()
        && !WriteOutput(options.universeReport, [&](const FileSink& sink, std::string&) {
               CBufferedSink out(sink);
               ForEachUniverseReportCsvPiece(doc, BuildUniverseReport(doc),
                   [&out](std::string_view piece) { out.Append(piece); });
               return out.Flush();
           }))
        return 1;
    return 0;
}

} // namespace

bool IsHeadlessInvocation(int argc, char** argv)
{
    return CCommandLine::Parse(argc, argv).mode != CCommandLine::Mode::Window;
}

std::string VersionLine()
{
    return "quiltmark " QUILTMARK_VERSION_TEXT;
}

int ReportUsageError(const CCommandLine& commandLine)
{
    std::fprintf(stderr, "quiltmark: %s\n%s", commandLine.problem.c_str(), commandLine.Usage());
    return 2;
}

int RunBatch(const CCommandLine& commandLine)
{
    if (!commandLine.problem.empty())
        return ReportUsageError(commandLine);
    if (commandLine.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (commandLine.version) {
        const CBatchArguments& options = commandLine.batch;
        const std::string library = options.library.empty() ? FindMetaLib() : options.library;
        std::printf("%s\n%s\n", VersionLine().c_str(),
            LibraryInUseText(library, CLibraryPlaces::FromEnvironment()).c_str());
        return 0;
    }
    return Run(commandLine.batch);
}
