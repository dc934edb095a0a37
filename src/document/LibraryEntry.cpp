#include "document/LibraryEntry.h"

#include "app/MetaLib.h"
#include "app/UserMessages.h"
#include "document/SafeFile.h"
#include "document/SubDoc.h"

#include <tinyxml2.h>

namespace {

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

bool WriteLibraryEntryFile(const std::string& libraryPath, const CSubDoc* section,
    const std::string& metaName, const std::string& type, bool modifyCurrent,
    IUserMessages& messages)
{
    std::string bytes;
    if (!ReadWholeFile(libraryPath, bytes, nullptr, CMetaLib::kMaxFileBytes))
        return false;
    // Only a file the library itself would load is rewritten: the parser stops at a NUL
    // byte, and whatever followed it would be lost when the file is written back.
    tinyxml2::XMLDocument xml;
    if (!CMetaLib::IsAcceptableText(bytes.data(), bytes.size())
        || xml.Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS)
        return false;
    tinyxml2::XMLElement* root = xml.FirstChildElement("metalib");
    tinyxml2::XMLElement* lamps = root ? root->FirstChildElement("lamps") : nullptr;
    // Without a lamps list there is nowhere to put the entry; write nothing.
    if (!lamps || !section)
        return false;

    const int width = section->GetTileColumns();
    const int height = section->GetTileRows();
    tinyxml2::XMLElement* lamp = xml.NewElement("lamp");
    lamp->SetAttribute("metaname", metaName.c_str());
    lamp->SetAttribute("type", type.c_str());
    lamp->SetAttribute("qarkname", "RGBFader");
    lamp->SetAttribute("addressesperquark", 3);
    lamp->SetAttribute("width", width);
    lamp->SetAttribute("height", height);
    lamp->SetAttribute("flags", 16);
    lamp->SetAttribute("headertext", "");
    lamp->SetAttribute("headeraddresses", 0);
    lamp->SetAttribute("tailtext", "");
    lamp->SetAttribute("tailaddresses", 0);
    lamps->InsertEndChild(lamp);

    tinyxml2::XMLElement* matrix = xml.NewElement("dmxmatrix");
    lamp->InsertEndChild(matrix);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            tinyxml2::XMLElement* position = xml.NewElement("dmxpos");
            position->SetAttribute("x", x + 1);
            position->SetAttribute("y", y + 1);
            position->SetAttribute("dmxoffset", section->GetTile(x, y)->address);
            matrix->InsertEndChild(position);
        }
    }

    const std::string target
        = modifyCurrent ? libraryPath : DirectoryOf(libraryPath) + "/metalib_new.xml";
    tinyxml2::XMLPrinter printer;
    xml.Print(&printer);
    std::string reason;
    if (!WriteFileSafely(target, std::string(printer.CStr(), printer.CStrSize() - 1), &reason))
        messages.ShowMessage(
            "The fixture library entry could not be written.\n" + reason, MessageIcon::Error);
    return true;
}
