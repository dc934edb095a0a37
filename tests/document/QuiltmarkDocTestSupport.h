#pragma once

#include "app/base/SafeFile.h"
#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

// A fresh directory under /tmp, removed with everything in it afterwards.
class CTempDir {
public:
    CTempDir()
    {
        char pattern[] = "/tmp/quiltmark-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made ? made : "/tmp";
    }
    ~CTempDir()
    {
        const std::string command = "rm -rf '" + m_path + "'";
        if (m_path != "/tmp")
            (void)std::system(command.c_str());
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A small library with known numbers: 0 PIX (1 x 1, F = 3), 1 the fallback type,
// 2 TILE2X2 (2 x 2 items, F = 12), 3 BIG4X4 (4 x 4 items, F = 16, no styles).
inline const char* TestLibraryText()
{
    return "<?xml version=\"1.0\"?>\n"
           "<metalib><lamps>\n"
           "<lamp metaname=\"Pixel\" type=\"PIX\" qarkname=\"RGB\" addressesperquark=\"3\" "
           "width=\"1\" height=\"1\" skopewidth=\"100\" skopeheight=\"50\" skopedepth=\"10\" "
           "old_index=\"7\"><skope><style type=\"Flat\"/><style type=\"Round\"/></skope></lamp>\n"
           "<lamp metaname=\"Beamer\" type=\"ZIDUZU_COLOR_BEAMER\" qarkname=\"Beam\" "
           "addressesperquark=\"3\" width=\"1\" height=\"1\" skopewidth=\"30\" skopeheight=\"30\" "
           "skopedepth=\"30\" old_index=\"1\"><skope><style type=\"B\"/></skope></lamp>\n"
           "<lamp metaname=\"Tile\" type=\"TILE2X2\" qarkname=\"Cell\" addressesperquark=\"3\" "
           "width=\"2\" height=\"2\" skopewidth=\"50\" skopeheight=\"50\" skopedepth=\"8\" "
           "old_index=\"3\"><skope><style type=\"T\"/></skope></lamp>\n"
           "<lamp metaname=\"Big\" type=\"BIG4X4\" qarkname=\"B\" addressesperquark=\"1\" "
           "width=\"4\" height=\"4\"/>\n"
           "</lamps></metalib>\n";
}

// A document on the test library, with its messages recorded.
struct CTestDocument {
    CTempDir dir;
    CRecordingMessages messages;
    std::unique_ptr<CQuiltmarkDoc> doc;

    CTestDocument()
    {
        WriteFileSafely(dir.File("metalib.xml"), TestLibraryText());
        doc = std::make_unique<CQuiltmarkDoc>(messages, dir.File("metalib.xml"));
        doc->OnNewDocument();
        doc->SetScriptDate("2024.05.01 12:00:00");
    }

    // Sets the current section up as a W x H matrix of fixture `type` at screen id `id`.
    CSubDoc& SetUpSection(CSubDoc& section, int type, int w, int h, int id = 1, int universe = 0)
    {
        section.setup.fix_type = type;
        section.setup.matrix_width = w;
        section.setup.matrix_height = h;
        section.setup.screen_id = id;
        section.setup.base_universe = universe;
        section.SetUp();
        return section;
    }

    std::string ReadFile(const std::string& path) const
    {
        std::string bytes;
        ReadWholeFile(path, bytes);
        return bytes;
    }
};
