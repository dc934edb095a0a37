#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class CSubDoc;
class CKelvraDeviceList;

// The patch as a console imports it: one CSV row per addressed item, UTF-8, LF line ends.

constexpr const char* kPatchCsvHeader = "section,section_name,tile,item_x,item_y,screen_id,"
                                        "universe,address,channel,fixture_type,device,port";

// A section with its one-based number in the project.
struct CCsvSection {
    int number = 1;
    const CSubDoc* section = nullptr;
};

// "B3": the column's letters (A..Z, AA..) and the one-based row.
void AppendTileName(std::string& out, int column, int row);
std::string TileName(int column, int row);

// Appends `field` as one CSV field: quoted when it holds a comma, a quote, CR or LF (quotes
// doubled), as it is otherwise. Bytes are passed on unchanged.
void AppendCsvField(std::string& out, std::string_view field);

// Where a universe leaves the building: the first device in list order with a port carrying
// it, and that device's first such port (zero-based). Device -1 when none.
struct CUniverseOutput {
    int device = -1;
    int port = -1;
};
CUniverseOutput FindUniverseOutput(const CKelvraDeviceList& devices, int universe);
// "Kelvra porter 10.0.0.1": the device type's display name and the IP address text.
std::string DeviceText(const CKelvraDeviceList& devices, int device);

// Calls `piece` with the whole CSV (header first) in pieces of up to about 64 KiB, the
// sections in the order given, their rows by channel, ties in item order. Excluded and
// undefined tiles give no rows. The sections' items must be up to date.
void ForEachPatchCsvPiece(const std::vector<CCsvSection>& sections,
    const CKelvraDeviceList& devices, const std::function<void(std::string_view)>& piece);
// The same into a stream; false when the stream failed.
bool WritePatchCsv(
    const std::vector<CCsvSection>& sections, const CKelvraDeviceList& devices, std::ostream& out);
