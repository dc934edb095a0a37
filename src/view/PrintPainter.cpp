#include "view/PrintPainter.h"

#include "app/library/FixtureType.h"
#include "app/base/Progress.h"
#include "document/QuiltmarkDoc.h"
#include "shell/toolkit/ModelText.h"
#include "shell/toolkit/VersionInfo.h"
#include "view/SectionPainter.h"
#include "view/ViewGeometry.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <set>

// The resources live in a static library, where nothing else would pull them in.
static void InitPrintResources()
{
    Q_INIT_RESOURCE(print);
}

namespace {

const QString kLogo = QStringLiteral(":/print/logo.svg");

// Logo scaled into `box` with its aspect ratio; centred, or at the box's top-left corner.
void DrawLogo(QPainter& painter, const QRectF& box, bool centred)
{
    static const bool loaded = (InitPrintResources(), true);
    Q_UNUSED(loaded);
    QSvgRenderer svg(kLogo);
    if (!svg.isValid() || box.width() <= 0 || box.height() <= 0)
        return;
    const QSizeF size = QSizeF(svg.defaultSize()).scaled(box.size(), Qt::KeepAspectRatio);
    QPointF at = box.topLeft();
    if (centred)
        at += QPointF((box.width() - size.width()) / 2, (box.height() - size.height()) / 2);
    svg.render(&painter, QRectF(at, size));
}

QPen PrintPen(int width)
{
    QPen pen(Qt::black, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    pen.setCosmetic(false);
    return pen;
}

void PaintTitleBlock(QPainter& painter, const CPageGeometry& page, const CQuiltmarkDoc& doc,
    int index, const CPrintStamp& stamp, int lineWidth, bool rearView)
{
    const CSubDoc& section = *doc.GetSection(index);
    const CFixtureType* type = doc.GetFixtureType(section);
    CTitleBlockTexts texts;
    texts.fixtureName = type ? FromModelText(type->metaName) : QString();
    texts.section = QString::asprintf("S%d : ", index + 1) + FromModelText(section.name);
    texts.metaSize
        = QString::asprintf("Meta Size: %d x %d", section.GetTileColumns(), section.GetTileRows());
    texts.fixtureSize = QString::asprintf(
        "Fixture Size: %d x %d", section.GetItemColumns(), section.GetItemRows());
    texts.pageInfo = FromModelText(section.info);
    if (rearView)
        texts.viewSide = QStringLiteral("Rear view");
    texts.created = QString::asprintf("Created with Quiltmark V%d.%d.%d.%d\n", stamp.version[0],
                        stamp.version[1], stamp.version[2], stamp.version[3])
        + QString::fromStdString(stamp.date) + QStringLiteral("\n")
        + QString::asprintf("Section: S%d\n", index + 1) + FromModelText(doc.GetTitle());

    const CQtTitleTextMeasure measure(painter.device());
    const CTitleBlockLayout l = LayoutTitleBlock(texts, page, measure);

    painter.setPen(PrintPen(lineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(l.frame);
    painter.drawLine(l.frame.left(), l.split, l.frame.right(), l.split);
    painter.drawLine(l.middle, l.split, l.middle, l.frame.bottom());
    DrawLogo(painter, l.logo, true);

    painter.save();
    painter.setPen(Qt::black);
    for (const CTitleBlockCell* cell : { &l.upper, &l.lower }) {
        for (const CTitleBlockLine& line : cell->lines) {
            painter.setFont(measure.Font(line.font, line.height));
            // The rectangle is the measured line: never let the text engine wrap or
            // elide it a second time.
            painter.drawText(line.rect,
                Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, line.text);
        }
    }
    painter.restore();
}

// Tiles below this many printer dots print as filled cells (as tiles below this many
// pixels do on screen); address text below this many dots is left out.
constexpr double kCellTileDots = 5;
constexpr double kMinTextDots = 2;

void ScaleLayout(CViewLayout& layout, int scale)
{
    layout.itemBase *= scale;
    layout.tile *= scale;
    layout.half *= scale;
    layout.legendUnit *= scale;
    layout.extent *= scale;
    layout.total *= scale;
}

QString DecodePatchText(const std::string& bytes)
{
    // Only digits, letters, blanks and the separator byte 187 ("»" in Windows-1252 and
    // Latin-1) occur here.
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

CPrintStamp CurrentPrintStamp()
{
    CVersionInfo info;
    info.Read();
    CPrintStamp stamp;
    const CVersionInfo::Numbers& v = info.GetFileVersion();
    stamp.version = { v[0], v[1], v[2], v[3] };
    stamp.date = LocalAsctimeText();
    return stamp;
}

QFont MakePrintFont(
    const QString& family, double height, bool bold, bool italic, const QPaintDevice* device)
{
    QFont font(family);
    font.setStyleHint(
        family.startsWith(QLatin1String("Courier")) ? QFont::TypeWriter : QFont::SansSerif);
    font.setBold(bold);
    font.setItalic(italic);
    // A point size carries the fractional height; pixel sizes are whole numbers.
    const double dpi = device ? device->logicalDpiY() : 72.0;
    font.setPointSizeF(std::max(height, 0.05) * 72.0 / std::max(dpi, 1.0));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont MakePrintFont(PrintFont font, double height, const QPaintDevice* device)
{
    switch (font) {
    case PrintFont::Text:
        return MakePrintFont(QStringLiteral("Arial"), height, false, true, device);
    case PrintFont::Heading:
    case PrintFont::Device:
        return MakePrintFont(QStringLiteral("Arial"), height, true, true, device);
    case PrintFont::Port:
        return MakePrintFont(QStringLiteral("Courier New"), height, false, false, device);
    }
    return QFont();
}

CQtTitleTextMeasure::CQtTitleTextMeasure(const QPaintDevice* device)
    : m_device(device)
{
}

const CQtTitleTextMeasure::CEntry& CQtTitleTextMeasure::Entry(PrintFont font, double height) const
{
    const auto key = std::make_pair(font, height);
    auto it = m_fonts.find(key);
    if (it == m_fonts.end()) {
        const QFont made = MakePrintFont(font, height, m_device);
        it = m_fonts
                 .emplace(
                     key, CEntry { made, QFontMetricsF(made, const_cast<QPaintDevice*>(m_device)) })
                 .first;
    }
    return it->second;
}

const QFont& CQtTitleTextMeasure::Font(PrintFont font, double height) const
{
    return Entry(font, height).font;
}

QSizeF CQtTitleTextMeasure::LineSize(PrintFont font, double height, const QString& text) const
{
    const QFontMetricsF& fm = Entry(font, height).metrics;
    const double ink = text.isEmpty() ? 0.0 : fm.boundingRect(text).right();
    return QSizeF(std::max(fm.horizontalAdvance(text), ink), fm.height());
}

CQtPrintTextMeasure::CQtPrintTextMeasure(
    const CPrintFontHeights& heights, const QPaintDevice* device)
    : m_fonts { MakePrintFont(PrintFont::Text, heights.text, device),
        MakePrintFont(PrintFont::Heading, heights.heading, device),
        MakePrintFont(PrintFont::Device, heights.device, device),
        MakePrintFont(PrintFont::Port, heights.port, device) }
    , m_device(device)
{
}

const QFont& CQtPrintTextMeasure::Font(PrintFont font) const
{
    return m_fonts[static_cast<size_t>(font)];
}

QSize CQtPrintTextMeasure::LineSize(PrintFont font, const QString& text) const
{
    const QFontMetricsF fm(Font(font), const_cast<QPaintDevice*>(m_device));
    return QSize(static_cast<int>(std::ceil(fm.horizontalAdvance(text))),
        static_cast<int>(std::ceil(fm.height())));
}

int CQtPrintTextMeasure::WrappedHeight(PrintFont font, const QString& text, int width) const
{
    const QFontMetricsF fm(Font(font), const_cast<QPaintDevice*>(m_device));
    const QRectF r = fm.boundingRect(QRectF(0, 0, std::max(width, 1), 1e9),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return static_cast<int>(std::ceil(r.height()));
}

CPatchMatrixPage ComputePatchMatrixPage(
    const CSubDoc& section, QSize printable, const CPrintViewOptions& options)
{
    CLayoutInput in;
    in.tileColumns = section.GetTileColumns();
    in.tileRows = section.GetTileRows();
    in.itemsAcross = in.tileColumns > 0 ? section.GetItemColumns() / in.tileColumns : 1;
    in.itemsDown = in.tileRows > 0 ? section.GetItemRows() / in.tileRows : 1;
    in.printing = true;
    in.legend = options.connectionMode != ConnectionMode::Hidden;
    in.universes = section.GetUniverseCount();
    in.rear = options.rearView;
    CPatchMatrixPage result;
    result.layout = ComputeLayout(in);
    result.page = ComputePageGeometry(printable, result.layout.extent, PrintContent::PatchMatrix);
    result.scale = PrintUnitScale(result.page.contentWidth);
    if (result.scale > 1) {
        ScaleLayout(result.layout, result.scale);
        result.page
            = ComputePageGeometry(printable, result.layout.extent, PrintContent::PatchMatrix);
    }
    return result;
}

void PaintPatchMatrixPage(QPainter& painter, QSize printable, const CQuiltmarkDoc& doc, int index,
    const CPrintViewOptions& options, const CPrintStamp& stamp,
    const std::function<void(int row, int rows)>& rowPainted)
{
    const CSubDoc* section = doc.GetSection(index);
    if (!section || section->GetTileCount() < 1)
        return;

    const CPatchMatrixPage geometry = ComputePatchMatrixPage(*section, printable, options);
    const CViewLayout& layout = geometry.layout;
    const CPageGeometry& page = geometry.page;
    const int scale = geometry.scale;

    painter.save();
    painter.setWorldTransform(PageTransform(page, printable), true);
    const QPaintDevice* device = painter.device();
    const CPrintFontHeights heights = ComputePrintFontHeights(page.t, layout.tile);
    CPrintResources resources;
    resources.addressFont
        = MakePrintFont(QStringLiteral("Arial"), heights.address, false, true, device);
    resources.firstAddressFont
        = MakePrintFont(QStringLiteral("Arial"), heights.firstAddress, true, true, device);
    resources.firstAddressFont.setUnderline(true);
    resources.labelFont
        = MakePrintFont(QStringLiteral("Arial"), heights.label, false, true, device);
    resources.legendFont
        = MakePrintFont(QStringLiteral("Arial"), heights.legend, true, true, device);
    resources.rotatedAddresses = heights.rotated;
    // Lines keep the weight they have on a page of unscaled units.
    resources.pen1 = PrintPen(scale);
    resources.pen2 = PrintPen(2 * scale);
    resources.pen3 = PrintPen(3 * scale);
    resources.unitScale = scale;
    // Device dots per page unit: what the printer can still resolve.
    const double dots = std::sqrt(std::abs(painter.deviceTransform().determinant()));
    resources.filledCells
        = std::min(layout.tile.width(), layout.tile.height()) * dots < kCellTileDots;
    resources.addresses = !resources.filledCells && heights.address * dots >= kMinTextDots;

    CSectionPaintState state;
    state.printing = true;
    state.print = &resources;
    state.showSwitches = options.showSwitches;
    state.connectionMode = options.connectionMode;
    state.connectionOrder = options.connectionOrder;
    state.focusColumn = options.focusColumn;
    state.focusRow = options.focusRow;
    if (rowPainted) {
        const int rows = section->GetTileRows();
        state.rowPainted = [&rowPainted, rows](int row) { rowPainted(row, rows); };
    }

    CConnectionChains chains;
    if (options.connectionMode != ConnectionMode::Hidden)
        chains = BuildConnectionChains(*section, options.connectionOrder);
    const QRect area(page.windowOrigin, page.windowExtent);
    CSectionPainter sectionPainter(doc, *section, index + 1, layout, state);
    sectionPainter.PaintAll(
        painter, area, options.connectionMode != ConnectionMode::Hidden ? &chains : nullptr);

    PaintTitleBlock(painter, page, doc, index, stamp, scale, options.rearView);
    painter.restore();
}

CDeviceListInput MakeDeviceListInput(const CQuiltmarkDoc& doc, const std::string& date)
{
    CDeviceListInput input;
    input.title = FromModelText(doc.GetTitle());
    input.date = QString::fromStdString(date) + QStringLiteral("\n");
    for (int s = 0; s < doc.GetSectionCount(); ++s)
        input.sectionNames.push_back(FromModelText(doc.GetSection(s)->name));

    // Tile lists only for the universes on ports; each section's chains in one sweep.
    std::set<int> wanted;
    const CKelvraDeviceList& devices = doc.GetDevices();
    for (int d = 0; d < devices.GetDeviceCount(); ++d) {
        const CKelvraDevice* device = devices.GetDevice(d);
        for (int p = 0; p < device->GetPortCount(); ++p) {
            if (device->GetPortUniverse(p) >= 0)
                wanted.insert(device->GetPortUniverse(p));
        }
    }
    std::map<int, std::string> lists;
    for (int s = 0; s < doc.GetSectionCount() && !wanted.empty(); ++s) {
        const CSubDoc& section = *doc.GetSection(s);
        const int columns = section.GetTileColumns();
        if (columns < 1)
            continue;
        const CConnectionChains chains = BuildConnectionChains(section, ConnectionOrder::ByAddress);
        for (const CConnectionChains::Chain& chain : chains.chains) {
            if (!wanted.count(chain.universe))
                continue;
            std::string& text = lists[chain.universe];
            for (int k = chain.begin; k < chain.end; ++k) {
                const CConnectionChains::Cell& cell = chains.cells[static_cast<size_t>(k)];
                CQuiltmarkDoc::AppendPatchTextEntry(
                    text, !text.empty(), s + 1, cell.column, cell.row);
            }
        }
    }

    for (int d = 0; d < devices.GetDeviceCount(); ++d) {
        const CKelvraDevice* device = devices.GetDevice(d);
        CDeviceListDevice entry;
        entry.heading = FromModelText(device->GetName()) + QStringLiteral(" ")
            + QString::fromStdString(device->GetIpAddressText());
        for (int p = 0; p < device->GetPortCount(); ++p) {
            CDeviceListPort port;
            port.portNumber = device->GetPort(p) ? device->GetPort(p)->GetPortNumber() : p;
            port.universe = device->GetPortUniverse(p);
            if (port.universe >= 0) {
                const auto it = lists.find(port.universe);
                if (it != lists.end())
                    port.tiles = DecodePatchText(it->second);
            }
            entry.ports.push_back(std::move(port));
        }
        input.devices.push_back(std::move(entry));
    }
    return input;
}

CDeviceListPrinter::CDeviceListPrinter(
    const CQuiltmarkDoc& doc, QSize printable, const QPaintDevice* device, const CPrintStamp& stamp)
    : m_printable(printable)
    , m_page(ComputePageGeometry(
          printable, QSize(kDeviceListExtent, kDeviceListExtent), PrintContent::Devices))
    , m_heights(ComputePrintFontHeights(m_page.t, QSize(400, 400)))
    , m_measure(m_heights, device)
    , m_layout(LayoutDeviceList(MakeDeviceListInput(doc, stamp.date), m_page, m_measure))
{
}

void CDeviceListPrinter::PaintPage(QPainter& painter, int page) const
{
    if (page < 0 || page >= PageCount())
        return;
    painter.save();
    painter.setWorldTransform(PageTransform(m_page, m_printable), true);
    painter.setPen(Qt::black);
    for (const CDeviceListElement& e : m_layout.pages[static_cast<size_t>(page)].elements) {
        using Kind = CDeviceListElement::Kind;
        if (e.kind == Kind::Logo) {
            DrawLogo(painter, e.rect, false);
            continue;
        }
        int flags = Qt::AlignTop;
        switch (e.kind) {
        case Kind::Title:
            flags |= Qt::AlignHCenter | Qt::TextSingleLine;
            break;
        case Kind::PageText:
            flags |= Qt::AlignRight;
            break;
        case Kind::PortTiles:
            flags |= Qt::AlignLeft | Qt::TextWordWrap;
            break;
        default:
            flags |= Qt::AlignLeft | Qt::TextSingleLine;
            break;
        }
        painter.save();
        if (e.clipped)
            painter.setClipRect(e.rect, Qt::IntersectClip);
        painter.setFont(m_measure.Font(e.font));
        // Rectangles come from rounded-up measurements; a little slack keeps the last
        // glyph or line from being dropped by the text engine's own rounding.
        QRect r = e.rect;
        if (!e.clipped)
            r.adjust(0, 0, 2, 2);
        painter.drawText(r, flags, e.text);
        painter.restore();
    }
    painter.restore();
}

CPrintJobResult RunPrintJob(
    QPagedPaintDevice& device, const CQuiltmarkDoc& doc, const CPrintJob& job)
{
    CPrintJobResult result;
    QPainter painter;
    if (!painter.begin(&device))
        return result;
    result.ok = true;
    const QSize printable(device.width(), device.height());
    // Progress in thousandths of a page; a page's rows of tiles take most of its share.
    constexpr std::uint64_t kPage = 1000;
    std::uint64_t total = 1;
    std::uint64_t reached = 0;
    auto report = [&](std::uint64_t done) {
        if (job.progress && done >= reached) {
            reached = done;
            job.progress->Report(done, total);
        }
    };
    if (job.content == PrintContent::Devices) {
        const CDeviceListPrinter list(doc, printable, &device, job.stamp);
        total = std::max<std::uint64_t>(static_cast<std::uint64_t>(list.PageCount()), 1) * kPage;
        report(0);
        for (int p = 0; p < list.PageCount(); ++p) {
            if (p > 0)
                device.newPage();
            list.PaintPage(painter, p);
            ++result.pages;
            report(static_cast<std::uint64_t>(p + 1) * kPage);
        }
    } else {
        const int count = doc.GetSectionCount();
        const int from = std::clamp(job.fromPage > 0 ? job.fromPage : 1, 1, std::max(count, 1));
        const int to = std::clamp(job.toPage > 0 ? job.toPage : count, from, std::max(count, 1));
        total = static_cast<std::uint64_t>(std::max(std::min(to, count) - from + 1, 1)) * kPage;
        report(0);
        for (int n = from; n <= to && n <= count; ++n) {
            if (n > from)
                device.newPage();
            const std::uint64_t start = static_cast<std::uint64_t>(n - from) * kPage;
            std::function<void(int, int)> rowPainted;
            if (job.progress) {
                rowPainted = [&](int row, int rows) {
                    report(start
                        + static_cast<std::uint64_t>(row + 1) * (kPage * 9 / 10)
                            / static_cast<std::uint64_t>(std::max(rows, 1)));
                };
            }
            PaintPatchMatrixPage(painter, printable, doc, n - 1, job.view, job.stamp, rowPainted);
            result.lastSection = n - 1;
            ++result.pages;
            report(start + kPage);
        }
    }
    painter.end();
    report(total);
    return result;
}
