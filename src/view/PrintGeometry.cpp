#include "view/PrintGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

CPageGeometry ComputePageGeometry(QSize printable, QSize extent, PrintContent content)
{
    CPageGeometry g;
    const double dw = std::max(printable.width(), 1);
    const double dh = std::max(printable.height(), 1);
    const double aspect = dh / dw;
    const double ew = std::max(extent.width(), 1);
    const double eh = std::max(extent.height(), 1);
    // The matrix keeps the lowest eighth of the page free for the title block.
    const double box = 7.0 / 8.0 * aspect;
    // Rounded up so that a tall matrix never reaches into the title block.
    const double w = eh > ew * box ? std::ceil(eh / box) : ew;
    g.contentWidth = std::max(static_cast<int>(w), 1);
    g.contentHeight = std::max(static_cast<int>(g.contentWidth * aspect), 1);
    g.titleBlock = QRect(QPoint(g.contentWidth * 2 / 3, g.contentHeight * 7 / 8),
        QPoint(g.contentWidth, g.contentHeight));
    g.mm = g.contentWidth / 210;
    if (content == PrintContent::PatchMatrix) {
        g.left = g.right = g.top = g.bottom = 7 * g.mm;
    } else {
        g.left = 15 * g.mm;
        g.right = 10 * g.mm;
        g.top = 15 * g.mm;
        g.bottom = 15 * g.mm;
    }
    g.windowExtent = QSize(g.left + g.contentWidth + g.right, g.contentHeight + g.top + g.bottom);
    g.windowOrigin = QPoint(-g.left, -g.top);
    g.t = g.windowExtent.width() / 10000.0;
    return g;
}

int PrintUnitScale(int contentWidth)
{
    if (contentWidth >= kDeviceListExtent || contentWidth < 1)
        return contentWidth < 1 ? kDeviceListExtent : 1;
    return (kDeviceListExtent + contentWidth - 1) / contentWidth;
}

QTransform PageTransform(const CPageGeometry& page, QSize printable)
{
    const double sx = printable.width() / static_cast<double>(page.windowExtent.width());
    const double sy = printable.height() / static_cast<double>(page.windowExtent.height());
    const double s = std::min(sx, sy);
    QTransform m;
    m.scale(s, s);
    m.translate(-page.windowOrigin.x(), -page.windowOrigin.y());
    return m;
}

CPrintFontHeights ComputePrintFontHeights(double t, QSize tile)
{
    CPrintFontHeights f;
    f.address = 140 * t;
    f.firstAddress = 150 * t;
    f.text = 100 * t;
    f.heading = 170 * t;
    f.device = 170 * t;
    f.port = 170 * t;

    const int inset = tile.width() / 10;
    const QSize inner(tile.width() - 2 * inset, tile.height() - 2 * inset);
    f.rotated = tile.height() > tile.width();
    const double limit = (f.rotated ? inner.width() : inner.height()) / 4.0;
    if (limit < 150 * t) {
        f.address = limit;
        f.firstAddress = 1.1 * limit;
    }
    f.label = f.address;
    f.legend = std::min(130 * t, (tile.width() * 0.9 / 2) / 3);
    return f;
}

std::string AsctimeText(const std::tm& time)
{
    static const char* const days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char* const months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %d",
        days[std::clamp(time.tm_wday, 0, 6)], months[std::clamp(time.tm_mon, 0, 11)], time.tm_mday,
        time.tm_hour, time.tm_min, time.tm_sec, 1900 + time.tm_year);
    return buffer;
}

std::string LocalAsctimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return AsctimeText(local);
}

QString PortLabelText(const CDeviceListPort& port)
{
    // Stored numbers may be any int: shown one-based in 64 bits, they cannot overflow.
    const long long portNumber = static_cast<long long>(port.portNumber) + 1;
    if (port.universe < 0)
        return QString::asprintf("DMX%.2lld:", portNumber);
    return QString::asprintf(
        "DMX%.2lld: U%.2lld  :    ", portNumber, static_cast<long long>(port.universe) + 1);
}

namespace {

class CDeviceListBuilder {
public:
    CDeviceListBuilder(
        const CDeviceListInput& input, const CPageGeometry& page, const IPrintTextMeasure& measure)
        : m_input(input)
        , m_measure(measure)
    {
        m_layout.bandHeight = 15 * page.mm;
        m_layout.rightEdge = page.contentWidth - 5 * page.mm;
        m_layout.pageLimit = page.contentHeight - 15 * page.mm;
    }

    CDeviceListLayout Build()
    {
        StartPage();
        SectionList();
        for (const CDeviceListDevice& device : m_input.devices)
            Device(device);
        return std::move(m_layout);
    }

private:
    void Add(CDeviceListElement::Kind kind, PrintFont font, const QRect& rect, const QString& text,
        bool clipped = false)
    {
        CDeviceListElement e;
        e.kind = kind;
        e.font = font;
        e.rect = rect;
        e.text = text;
        e.clipped = clipped;
        m_layout.pages.back().elements.push_back(std::move(e));
    }

    void StartPage()
    {
        m_layout.pages.emplace_back();
        const int number = static_cast<int>(m_layout.pages.size());
        const int b = m_layout.bandHeight;
        const int right = m_layout.rightEdge;
        const QRect logo(0, 0, 2 * b, b * 3 / 5);
        Add(CDeviceListElement::Kind::Logo, PrintFont::Text, logo, QString());
        const QSize title = m_measure.LineSize(PrintFont::Heading, m_input.title);
        Add(CDeviceListElement::Kind::Title, PrintFont::Heading,
            QRect(logo.width(), 0, std::max(right - 2 * logo.width(), 1), title.height()),
            m_input.title);
        const QString pageText = QString::asprintf("Page %d\n", number) + m_input.date
            + QStringLiteral("Kelvra Device-List");
        const int lineHeight = m_measure.LineSize(PrintFont::Text, QStringLiteral("X")).height();
        Add(CDeviceListElement::Kind::PageText, PrintFont::Text,
            QRect(0, 0, std::max(right, 1), 3 * lineHeight), pageText);
        m_x = 0;
        m_y = b + b / 5;
        m_pageHasBody = false;
    }

    void SectionList()
    {
        const QString heading = QStringLiteral("Sections:");
        const QSize hs = m_measure.LineSize(PrintFont::Heading, heading);
        Add(CDeviceListElement::Kind::SectionsHeading, PrintFont::Heading,
            QRect(m_x, m_y, hs.width(), hs.height()), heading);
        m_y += hs.height() + hs.height() / 5;
        const int indent = m_measure.LineSize(PrintFont::Text, QStringLiteral("XXX")).width();
        for (size_t i = 0; i < m_input.sectionNames.size(); ++i) {
            const int n = static_cast<int>(i) + 1;
            const QString line = QString::asprintf("%d:   S%d:", n, n) + m_input.sectionNames[i];
            const QSize ls = m_measure.LineSize(PrintFont::Text, line);
            Add(CDeviceListElement::Kind::SectionLine, PrintFont::Text,
                QRect(m_x + indent, m_y, ls.width(), ls.height()), line);
            m_y += ls.height() + ls.height() / 5;
        }
        m_y += hs.height() * 3 / 2;
        m_x = 0;
        m_pageHasBody = true;
    }

    int Room() const { return m_layout.pageLimit - m_y; }

    void Device(const CDeviceListDevice& device)
    {
        const QSize hs = m_measure.LineSize(PrintFont::Device, device.heading);
        const int h = hs.height();
        // The heading keeps its first port line with it: a heading alone at the foot of
        // a page would leave the ports on the next page without a name.
        const int needed
            = h / 2 + h + h / 5 + (device.ports.empty() ? 0 : PortLineHeight(device.ports.front()));
        // The half-line gap parts a heading from what stands above it; at the top of a
        // fresh page there is nothing to part it from.
        if (needed > Room() && m_pageHasBody)
            StartPage();
        else
            m_y += h / 2;
        const bool clipped = h > Room();
        Add(CDeviceListElement::Kind::DeviceHeading, PrintFont::Device,
            QRect(m_x, m_y, hs.width(), clipped ? std::max(Room(), 1) : h), device.heading,
            clipped);
        m_y += h + h / 5;
        m_pageHasBody = true;
        for (const CDeviceListPort& port : device.ports)
            Port(port);
    }

    struct PortMetrics {
        QString label;
        int indent = 0;
        QSize labelSize;
        int tilesLeft = 0;
        int tilesWidth = 1;
        bool hasTiles = false;
        int tilesHeight = 0;
        int content = 0;
    };

    PortMetrics MeasurePort(const CDeviceListPort& port) const
    {
        PortMetrics m;
        m.label = PortLabelText(port);
        m.indent = m_measure.LineSize(PrintFont::Port, QStringLiteral("XXX")).width();
        m.labelSize = m_measure.LineSize(PrintFont::Port, m.label);
        m.tilesLeft = m_x + m.labelSize.width() + m.indent;
        m.tilesWidth = std::max(m_layout.rightEdge - m.tilesLeft, 1);
        m.hasTiles = port.universe >= 0 && !port.tiles.isEmpty();
        m.tilesHeight
            = m.hasTiles ? m_measure.WrappedHeight(PrintFont::Port, port.tiles, m.tilesWidth) : 0;
        m.content = std::max(m.labelSize.height(), m.tilesHeight);
        return m;
    }

    int PortLineHeight(const CDeviceListPort& port) const
    {
        const int content = MeasurePort(port).content;
        return content + content / 5;
    }

    void Port(const CDeviceListPort& port)
    {
        const PortMetrics m = MeasurePort(port);
        const QString& label = m.label;
        const int indent = m.indent;
        const QSize ls = m.labelSize;
        const int tilesLeft = m.tilesLeft;
        const int tilesWidth = m.tilesWidth;
        const bool hasTiles = m.hasTiles;
        const int th = m.tilesHeight;
        const int content = m.content;
        const int line = content + content / 5;
        if (line > Room() && m_pageHasBody)
            StartPage();
        // A line longer than a whole page is cut at the page's limit rather than moved on
        // from page to page for ever.
        const bool clipped = content > Room();
        const int shown = clipped ? std::max(Room(), 1) : content;
        Add(CDeviceListElement::Kind::PortLabel, PrintFont::Port,
            QRect(m_x + indent, m_y, ls.width(), std::min(ls.height(), shown)), label, clipped);
        if (hasTiles) {
            Add(CDeviceListElement::Kind::PortTiles, PrintFont::Port,
                QRect(tilesLeft, m_y, tilesWidth, std::min(th, shown)), port.tiles, clipped);
        }
        m_y += line;
        m_pageHasBody = true;
    }

    const CDeviceListInput& m_input;
    const IPrintTextMeasure& m_measure;
    CDeviceListLayout m_layout;
    int m_x = 0;
    int m_y = 0;
    // Something besides the header is on the page: only then is a new page any roomier.
    bool m_pageHasBody = false;
};

} // namespace

CDeviceListLayout LayoutDeviceList(
    const CDeviceListInput& input, const CPageGeometry& page, const IPrintTextMeasure& measure)
{
    return CDeviceListBuilder(input, page, measure).Build();
}
