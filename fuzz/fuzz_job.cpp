// Feeds arbitrary bytes, after a "<JOB>" line, to the document's loader.
// The fixture library is the shipped one: QUILTMARK_METALIB, or metalib.xml beside the binary.
#include "app/base/UserMessages.h"
#include "app/cli/CommandLine.h"
#include "app/library/MetaLib.h"
#include "document/QuiltmarkDoc.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSilentMessages messages;
    static CQuiltmarkDoc doc(messages, [] {
        const char* path = std::getenv("QUILTMARK_METALIB");
        return path ? std::string(path) : MetaLibPathIn(ProgramDirectory());
    }());
    std::string text = "<JOB>\n";
    text.append(reinterpret_cast<const char*>(data), size);
    doc.LoadFromBuffer(text.data(), text.size());
    return 0;
}
