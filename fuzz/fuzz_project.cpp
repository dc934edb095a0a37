// Feeds arbitrary bytes to the project file reader, and writes what it read back out.
// The fixture library is the shipped one: QUILTMARK_METALIB, or metalib.xml beside the binary.
#include "app/base/UserMessages.h"
#include "app/cli/CommandLine.h"
#include "app/library/MetaLib.h"
#include "document/ProjectFile.h"
#include "document/QuiltmarkDoc.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

CQuiltmarkDoc& Document()
{
    static CSilentMessages messages;
    static CQuiltmarkDoc doc(messages, [] {
        const char* path = std::getenv("QUILTMARK_METALIB");
        return path ? std::string(path) : MetaLibPathIn(ProgramDirectory());
    }());
    return doc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CQuiltmarkDoc& doc = Document();
    if (!CProjectFileReader::Read(doc, reinterpret_cast<const char*>(data), size))
        return 0;
    // Writing millions of patch lines per input would only slow the search down.
    long long items = 0;
    for (int i = 0; i < doc.GetSectionCount(); ++i)
        items += doc.GetSection(i)->GetItemCount() + doc.GetSection(i)->GetTileCount();
    if (items < 100000)
        CProjectFileWriter::Write(doc, "2024.05.01 12:00:00");
    return 0;
}
