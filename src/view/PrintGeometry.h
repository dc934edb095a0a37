#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <ctime>
#include <string>
#include <vector>

// What a print job puts on paper.
enum class PrintContent { PatchMatrix = 0, Devices = 1 };

// Geometry of one printed page. Logical units: (0, 0) is the inner corner of the top-left
// margins; the content is contentWidth x contentHeight, the margins lie outside it.
struct CPageGeometry {
    int contentWidth = 1; // W, taken as 210 mm
    int contentHeight = 1; // H = W x page aspect
    int mm = 0; // logical units per millimetre, W / 210
    int left = 0; // margins, logical units
    int top = 0;
    int right = 0;
    int bottom = 0;
    QRect titleBlock; // bottom right of the content, patch-matrix pages
    QSize windowExtent; // content plus margins
    QPoint windowOrigin; // (-left, -top)
    double t = 0.0; // font unit: window extent width / 10000
};

// Drawing extent of the device list: six 400-unit tiles each way.
constexpr int kDeviceListExtent = 2400;

// Fits `extent` into the printable rectangle `printable` (device units) with room for the
// title block below it, as the isotropic page mapping needs.
CPageGeometry ComputePageGeometry(QSize printable, QSize extent, PrintContent content);

// Page units are whole numbers, and so are the font sizes the text engine works with: a
// page only a few hundred units wide would print blurred, badly spaced text. Matrices
// that small are drawn this many times larger, so that the content is at least as wide
// as the device list's.
int PrintUnitScale(int contentWidth);

// Maps logical page units onto the printable rectangle: one scale for both axes, logical
// (0, 0) at the inner corner of the margins.
QTransform PageTransform(const CPageGeometry& page, QSize printable);

// Font heights of a printed page in logical units.
struct CPrintFontHeights {
    double address = 0; // tile addresses, also the column and row labels
    double firstAddress = 0; // address 0: bold and underlined
    double label = 0;
    double legend = 0; // connection legend boxes
    double text = 0; // title-block text, device-list text
    double heading = 0; // fixture type, document title, "Sections:"
    double device = 0; // device headings
    double port = 0; // port lines
    bool rotated = false; // tiles higher than wide print their addresses upwards
};

// `tile` is the printed tile size; the address fonts shrink to fit small tiles.
CPrintFontHeights ComputePrintFontHeights(double t, QSize tile);

// The C library's 24-character date form, "Wed Jan  2 02:03:55 1980".
std::string AsctimeText(const std::tm& time);
std::string LocalAsctimeText();

enum class PrintFont { Text, Heading, Device, Port };

// Measures title-block text in a printer font of any height, in logical units; tests stand
// in a fixed-pitch fake.
class ITitleTextMeasure {
public:
    virtual ~ITitleTextMeasure() = default;
    // Width and height of one line of `text` in `font` made `height` units high. The width
    // covers the ink too (italic glyphs lean past their advance).
    virtual QSizeF LineSize(PrintFont font, double height, const QString& text) const = 0;
};

// What the title block of a patch-matrix page says.
struct CTitleBlockTexts {
    QString fixtureName; // heading font
    QString section; // "S1 : Front"
    QString metaSize; // "Meta Size: 4 x 2"
    QString fixtureSize; // "Fixture Size: 4 x 2"
    QString viewSide; // "Rear view" when printed as seen from behind, else empty
    QString pageInfo; // the user's note, may hold line breaks
    QString created; // "Created with ...\n<date>\nSection: S1\n<title>"
};

// Share of their font heights down to which the title-block texts shrink before they are
// cut: text stays 0.6 % of the page's shorter side high (about 3.5 pt on A4 and Letter),
// whichever way the page is turned.
double TitleFloorScale(const CPageGeometry& page);

struct CTitleBlockLine {
    PrintFont font = PrintFont::Text;
    double height = 0; // font height, logical units
    QRectF rect; // the measured line, inside its cell
    QString text;
};

// One text cell of the title block and the lines placed in it, top to bottom.
struct CTitleBlockCell {
    QRectF rect;
    std::vector<CTitleBlockLine> lines;
    double scale = 1; // of the nominal font heights, TitleFloorScale at the least
    bool cut = false; // text left out; the last line shown ends in an ellipsis
};

struct CTitleBlockLayout {
    QRect frame; // outlined
    int split = 0; // y of the line between the upper and the lower part
    int middle = 0; // x of the line between the logo and the lower text
    QRectF logo; // the picture is fitted into this box
    CTitleBlockCell upper; // fixture type, section, sizes, page info
    CTitleBlockCell lower; // program version, date, section, document title
};

// Cells of the title block in `page`, and every text fitted into its cell: wrapped at
// blanks, then shrunk (all texts of a cell alike) down to TitleFloorScale, then broken
// inside words, then cut with an ellipsis. No line leaves its cell; cuts never split a
// character.
CTitleBlockLayout LayoutTitleBlock(
    const CTitleBlockTexts& texts, const CPageGeometry& page, const ITitleTextMeasure& measure);

// Measures text in the printer fonts, in logical units; tests stand in a fixed-pitch fake.
class IPrintTextMeasure {
public:
    virtual ~IPrintTextMeasure() = default;
    // Width and height of one line.
    virtual QSize LineSize(PrintFont font, const QString& text) const = 0;
    // Height of `text` word-wrapped into `width`.
    virtual int WrappedHeight(PrintFont font, const QString& text, int width) const = 0;
};

struct CDeviceListPort {
    int portNumber = 0; // zero-based
    int universe = -1; // zero-based, -1 when not connected
    QString tiles; // "1:A1 » 1:B1", empty without a universe
};

struct CDeviceListDevice {
    QString heading; // name and IP address
    std::vector<CDeviceListPort> ports;
};

struct CDeviceListInput {
    QString title;
    QString date; // ends with a line break
    std::vector<QString> sectionNames;
    std::vector<CDeviceListDevice> devices;
};

// One thing to draw on a device-list page.
struct CDeviceListElement {
    enum class Kind {
        Logo,
        Title,
        PageText,
        SectionsHeading,
        SectionLine,
        DeviceHeading,
        PortLabel,
        PortTiles
    };
    Kind kind = Kind::Logo;
    PrintFont font = PrintFont::Text;
    QRect rect;
    QString text;
    bool clipped = false; // taller than a page: drawn cut off at the page's limit
};

struct CDeviceListPage {
    std::vector<CDeviceListElement> elements;
};

struct CDeviceListLayout {
    std::vector<CDeviceListPage> pages;
    int bandHeight = 0; // B
    int rightEdge = 0; // W - 5 mm
    int pageLimit = 0; // H - 15 mm
};

// "DMX01:" without a universe, "DMX01: U03  :    " with one.
QString PortLabelText(const CDeviceListPort& port);

// Lays out the whole device list. Always at least one page; every device and every port
// gets a place, so the layout ends whatever the sizes.
CDeviceListLayout LayoutDeviceList(
    const CDeviceListInput& input, const CPageGeometry& page, const IPrintTextMeasure& measure);
