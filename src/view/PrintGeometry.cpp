#include "view/PrintGeometry.h"

#include "shell/toolkit/ModelText.h"

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

namespace {

const QString kEllipsis = QStringLiteral("\u2026");

struct CTitleParagraph {
    PrintFont font = PrintFont::Text;
    double height = 0; // nominal font height
    QString text;
};

QString WithoutTrailingBlanks(QString text)
{
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

// Position of the last character of `word` after which a broken word may end, or -1.
qsizetype LastSeparator(const QString& word)
{
    const QString separators = QStringLiteral("/\\_-.");
    for (qsizetype i = word.size() - 1; i >= 0; --i) {
        if (separators.contains(word[i]))
            return i;
    }
    return -1;
}

// Paragraphs of a text with line breaks; line breaks at its end add nothing.
void AddParagraphs(std::vector<CTitleParagraph>& out, PrintFont font, double height, QString text)
{
    text.remove(QLatin1Char('\r'));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return;
    for (const QString& line : text.split(QLatin1Char('\n')))
        out.push_back({ font, height, line });
}

// Fits paragraphs into one cell. Cuts work on the UTF-8 form, with the model's cut, so
// that no character is ever split.
class CTitleCellFitter {
public:
    CTitleCellFitter(const ITitleTextMeasure& measure, const QRectF& cell, double floor)
        : m_measure(measure)
        , m_cell(cell)
        , m_floor(floor)
    {
    }

    CTitleBlockCell Fit(const std::vector<CTitleParagraph>& paragraphs) const
    {
        // Shrinking is tried first with whole words, then with words broken.
        for (const bool breakWords : { false, true }) {
            for (int step = 0;; ++step) {
                const double scale = std::max(1.0 - 0.05 * step, m_floor);
                std::vector<CTitleBlockLine> lines;
                if (WrapAll(paragraphs, scale, breakWords, false, lines)
                    && Height(lines) <= m_cell.height())
                    return Place(std::move(lines), scale, false);
                if (scale <= m_floor)
                    break;
            }
        }
        std::vector<CTitleBlockLine> lines;
        const bool whole = WrapAll(paragraphs, m_floor, true, true, lines);
        return Place(std::move(lines), m_floor, !whole);
    }

private:
    double Width(const CTitleBlockLine& line, const QString& text) const
    {
        return m_measure.LineSize(line.font, line.height, text).width();
    }
    bool Fits(const CTitleBlockLine& line, const QString& text) const
    {
        return Width(line, text) <= m_cell.width();
    }

    static double Height(const std::vector<CTitleBlockLine>& lines)
    {
        double h = 0;
        for (const CTitleBlockLine& line : lines)
            h += line.rect.height();
        return h;
    }

    // Longest start of `text` that `fits`, cut on a character boundary; the rest is the
    // remainder of the UTF-8 bytes.
    template <typename Fits>
    QString LongestStart(const QString& text, Fits fits, QString* rest = nullptr) const
    {
        const std::string bytes = ToModelText(text);
        int low = 0;
        int high = static_cast<int>(bytes.size());
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (fits(FromModelText(CutUtf8(bytes, mid))))
                low = mid;
            else
                high = mid - 1;
        }
        const std::string start = CutUtf8(bytes, low);
        if (rest)
            *rest = FromModelText(bytes.substr(start.size()));
        return FromModelText(start);
    }

    // `text` with an ellipsis, cut as far as needed to fit; empty when not even the
    // ellipsis fits.
    QString WithEllipsis(const CTitleBlockLine& line, const QString& text) const
    {
        if (!Fits(line, kEllipsis))
            return QString();
        const QString start = LongestStart(text,
            [&](const QString& t) { return Fits(line, WithoutTrailingBlanks(t) + kEllipsis); });
        return WithoutTrailingBlanks(start) + kEllipsis;
    }

    // Wraps every paragraph at `scale`. False when a word is wider than the cell and may
    // not be broken, or when not even one character fits; with `cutting` such a text is
    // cut with an ellipsis instead and the others go on.
    bool WrapAll(const std::vector<CTitleParagraph>& paragraphs, double scale, bool breakWords,
        bool cutting, std::vector<CTitleBlockLine>& lines) const
    {
        bool whole = true;
        for (const CTitleParagraph& p : paragraphs) {
            CTitleBlockLine line;
            line.font = p.font;
            line.height = p.height * scale;
            line.rect.setHeight(
                m_measure.LineSize(p.font, line.height, QStringLiteral("X")).height());
            if (!Wrap(p.text, breakWords, line, lines)) {
                if (!cutting)
                    return false;
                whole = false;
            }
        }
        return whole;
    }

    // Appends the lines of one paragraph in the font of `line`.
    bool Wrap(const QString& text, bool breakWords, CTitleBlockLine line,
        std::vector<CTitleBlockLine>& lines) const
    {
        auto push = [&](const QString& shown) {
            line.text = shown;
            lines.push_back(line);
        };
        QString current;
        bool started = false;
        for (QString word : text.split(QLatin1Char(' '))) {
            if (started) {
                const QString joined = current + QLatin1Char(' ') + word;
                if (Fits(line, joined)) {
                    current = joined;
                    continue;
                }
                push(current);
            }
            while (!Fits(line, word)) {
                if (!breakWords)
                    return false;
                QString rest;
                QString start = LongestStart(
                    word, [&](const QString& t) { return Fits(line, t); }, &rest);
                if (start.isEmpty()) {
                    const QString cut = WithEllipsis(line, word);
                    if (!cut.isEmpty())
                        push(cut);
                    return false;
                }
                // Paths and file names break best after a separator.
                const qsizetype separator = LastSeparator(start);
                if (separator > 0) {
                    rest = start.mid(separator + 1) + rest;
                    start.truncate(separator + 1);
                }
                push(start);
                word = rest;
            }
            current = word;
            started = true;
        }
        push(current);
        return true;
    }

    // Lines top to bottom from the cell's corner; those below the cell are left out and
    // the last one shown ends in an ellipsis.
    CTitleBlockCell Place(std::vector<CTitleBlockLine> lines, double scale, bool cut) const
    {
        CTitleBlockCell cell;
        cell.rect = m_cell;
        cell.scale = scale;
        double y = m_cell.top();
        for (CTitleBlockLine& line : lines) {
            const double h = line.rect.height();
            if (y + h > m_cell.bottom()) {
                cut = true;
                if (!cell.lines.empty()) {
                    CTitleBlockLine& last = cell.lines.back();
                    last.text = WithEllipsis(last, last.text);
                    last.rect.setWidth(Width(last, last.text));
                }
                break;
            }
            line.rect = QRectF(m_cell.left(), y, Width(line, line.text), h);
            cell.lines.push_back(std::move(line));
            y += h;
        }
        cell.cut = cut;
        return cell;
    }

    const ITitleTextMeasure& m_measure;
    QRectF m_cell;
    double m_floor;
};

} // namespace

double TitleFloorScale(const CPageGeometry& page)
{
    // The text font is a hundredth of the page width high.
    const double width = std::max(page.windowExtent.width(), 1);
    const double height = std::max(page.windowExtent.height(), 1);
    return std::min(0.6 * std::min(width, height) / width, 1.0);
}

CTitleBlockLayout LayoutTitleBlock(
    const CTitleBlockTexts& texts, const CPageGeometry& page, const ITitleTextMeasure& measure)
{
    CTitleBlockLayout l;
    QRect block = page.titleBlock;
    block.setTop(block.top() + block.height() * 5 / 100);
    l.frame = block;
    l.split = block.top() + block.height() * 3 / 5;
    l.middle = block.left() + block.width() / 2;
    const int lowerHeight = block.bottom() - l.split;
    const int logoInset = lowerHeight / 5 + 1;
    l.logo = QRectF(QPointF(block.left() + logoInset, l.split + logoInset),
        QPointF(l.middle - logoInset, block.bottom() - logoInset));

    // The texts keep the inset from every line around them, so none touches a line.
    const int inset = block.height() / 15 + 1;
    const QRectF upper(QPointF(block.left() + inset, block.top() + inset),
        QPointF(block.right() - inset, l.split - inset));
    const QRectF lower(QPointF(l.middle + inset, l.split + inset),
        QPointF(block.right() - inset, block.bottom() - inset));

    const CPrintFontHeights heights = ComputePrintFontHeights(page.t, QSize(1, 1));
    std::vector<CTitleParagraph> upperText;
    upperText.push_back({ PrintFont::Heading, heights.heading, texts.fixtureName });
    upperText.push_back({ PrintFont::Text, heights.text, texts.section });
    upperText.push_back({ PrintFont::Text, heights.text, texts.metaSize });
    upperText.push_back({ PrintFont::Text, heights.text, texts.fixtureSize });
    if (!texts.viewSide.isEmpty())
        upperText.push_back({ PrintFont::Heading, heights.text, texts.viewSide });
    AddParagraphs(upperText, PrintFont::Text, heights.text, texts.pageInfo);
    std::vector<CTitleParagraph> lowerText;
    AddParagraphs(lowerText, PrintFont::Text, heights.text, texts.created);

    const double floor = TitleFloorScale(page);
    // A page too small for any inset leaves empty cells rather than reversed ones.
    auto cell = [](const QRectF& r) { return r.isValid() ? r : QRectF(r.topLeft(), QSizeF()); };
    l.upper = CTitleCellFitter(measure, cell(upper), floor).Fit(upperText);
    l.lower = CTitleCellFitter(measure, cell(lower), floor).Fit(lowerText);
    return l;
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
