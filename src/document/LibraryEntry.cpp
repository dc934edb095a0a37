#include "document/LibraryEntry.h"

#include "app/base/SafeFile.h"
#include "app/base/UserMessages.h"
#include "app/library/MetaLib.h"
#include "app/library/MetaLibLookup.h"
#include "document/section/SubDoc.h"

#include <sys/stat.h>
#include <tinyxml2.h>
#include <unistd.h>

namespace {

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first { };
    struct stat second { };
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

bool WriteLibraryEntryFile(const std::string& libraryPath, const CSubDoc* section,
    const std::string& metaName, const std::string& type, bool modifyCurrent,
    IUserMessages& messages, std::string* libraryNowInUse)
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

    // An installed library (or one in a folder the user may not write) is never touched:
    // the entry goes to the user's data folder instead.
    const std::string folder = LibraryEntryFolder(libraryPath, CLibraryPlaces::FromEnvironment());
    const bool besideLibrary = folder == DirectoryOfPath(libraryPath);
    std::string reason;
    std::string target;
    if (folder.empty())
        reason = "There is no folder of your own to write it to (HOME is not set).";
    else if (besideLibrary || MakeDirectories(folder, &reason))
        target = modifyCurrent ? (besideLibrary ? libraryPath : MetaLibPathIn(folder))
                               : folder + "/metalib_new.xml";
    // The user's own library may hold entries the one in use lacks; it is replaced only
    // when it is the library in use.
    if (!target.empty() && modifyCurrent && !besideLibrary && ::access(target.c_str(), F_OK) == 0
        && !SameFile(target, libraryPath)) {
        reason = target + " is another fixture library than the one in use (" + libraryPath
            + "); it was left as it is.";
        target.clear();
    }
    if (!target.empty()) {
        tinyxml2::XMLPrinter printer;
        xml.Print(&printer);
        if (!WriteFileSafely(target, std::string(printer.CStr(), printer.CStrSize() - 1), &reason))
            target.clear();
    }
    if (target.empty()) {
        messages.ShowMessage(
            "The fixture library entry could not be written.\n" + reason, MessageIcon::Error);
        return true;
    }
    // It may have gone to the user's data folder rather than beside the library.
    messages.ShowMessage(
        "The fixture library entry was written to " + target + ".", MessageIcon::Information);
    // The new copy is the one found first from now on; the next File New loads it.
    if (modifyCurrent && libraryNowInUse)
        *libraryNowInUse = target;
    return true;
}
