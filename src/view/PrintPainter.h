#pragma once

#include "view/Connections.h"
#include "view/PrintGeometry.h"
#include "view/ViewGeometry.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <utility>

class CQuiltmarkDoc;
class CSubDoc;
class IProgress;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

// View settings that show on paper as they show on screen.
struct CPrintViewOptions {
    bool showSwitches = false;
    ConnectionMode connectionMode = ConnectionMode::Hidden;
    ConnectionOrder connectionOrder = ConnectionOrder::ByPosition;
    int focusColumn = 0; // picks the active universe of the connections
    int focusRow = 0;
    bool rearView = false; // mirrored, as seen from behind the wall
};

// Texts that change from run to run, given from outside so that tests get fixed pages.
struct CPrintStamp {
    std::array<int, 4> version { 0, 0, 0, 0 };
    std::string date; // 24 characters, as AsctimeText gives it
};

// The program's file version and the local time now.
CPrintStamp CurrentPrintStamp();

// A printer font `height` logical units high (the height may be fractional).
QFont MakePrintFont(PrintFont font, double height, const QPaintDevice* device);
QFont MakePrintFont(
    const QString& family, double height, bool bold, bool italic, const QPaintDevice* device);

// Measures in the printer fonts of one page.
class CQtPrintTextMeasure : public IPrintTextMeasure {
public:
    CQtPrintTextMeasure(const CPrintFontHeights& heights, const QPaintDevice* device);
    QSize LineSize(PrintFont font, const QString& text) const override;
    int WrappedHeight(PrintFont font, const QString& text, int width) const override;
    const QFont& Font(PrintFont font) const;

private:
    std::array<QFont, 4> m_fonts;
    const QPaintDevice* m_device;
};

// Measures title-block text in printer fonts of any height, made once per height.
class CQtTitleTextMeasure : public ITitleTextMeasure {
public:
    explicit CQtTitleTextMeasure(const QPaintDevice* device);
    QSizeF LineSize(PrintFont font, double height, const QString& text) const override;
    // The font a line of that height is drawn in.
    const QFont& Font(PrintFont font, double height) const;

private:
    struct CEntry {
        QFont font;
        QFontMetricsF metrics;
    };
    const CEntry& Entry(PrintFont font, double height) const;

    const QPaintDevice* m_device;
    mutable std::map<std::pair<PrintFont, double>, CEntry> m_fonts;
};

// Where a patch-matrix page puts the section: the layout in page units (scaled up for
// small matrices) and the page around it.
struct CPatchMatrixPage {
    CViewLayout layout;
    CPageGeometry page;
    int scale = 1; // PrintUnitScale of the unscaled page
};
CPatchMatrixPage ComputePatchMatrixPage(
    const CSubDoc& section, QSize printable, const CPrintViewOptions& options);

// One patch-matrix page: section `index` (zero-based) on the printable rectangle the
// painter covers. A section without tiles leaves the page empty. `rowPainted` hears of
// every row of tiles drawn, with the number of rows.
void PaintPatchMatrixPage(QPainter& painter, QSize printable, const CQuiltmarkDoc& doc, int index,
    const CPrintViewOptions& options, const CPrintStamp& stamp,
    const std::function<void(int row, int rows)>& rowPainted = {});

// What the device list prints, taken from the document.
CDeviceListInput MakeDeviceListInput(const CQuiltmarkDoc& doc, const std::string& date);

// The device list laid out once for a job; pages are drawn from that layout.
class CDeviceListPrinter {
public:
    CDeviceListPrinter(const CQuiltmarkDoc& doc, QSize printable, const QPaintDevice* device,
        const CPrintStamp& stamp);
    int PageCount() const { return static_cast<int>(m_layout.pages.size()); }
    const CDeviceListLayout& Layout() const { return m_layout; }
    const CPageGeometry& Page() const { return m_page; }
    // `page` from 0.
    void PaintPage(QPainter& painter, int page) const;

private:
    QSize m_printable;
    CPageGeometry m_page;
    CPrintFontHeights m_heights;
    CQtPrintTextMeasure m_measure;
    CDeviceListLayout m_layout;
};

// A whole print job onto a paged device (printer, PDF writer, preview).
struct CPrintJob {
    PrintContent content = PrintContent::PatchMatrix;
    // Patch-matrix pages to print, from 1; 0 for the first or last page of the document.
    int fromPage = 0;
    int toPage = 0;
    CPrintViewOptions view;
    CPrintStamp stamp;
    // Hears how far the job got: pages, and rows within large pages. Printing cannot be
    // taken back, so a request to stop is not heeded.
    IProgress* progress = nullptr;
};

struct CPrintJobResult {
    bool ok = false; // the device accepted the painter
    int pages = 0; // pages put out
    int lastSection = -1; // section of the last patch-matrix page, zero-based
};

CPrintJobResult RunPrintJob(
    QPagedPaintDevice& device, const CQuiltmarkDoc& doc, const CPrintJob& job);
