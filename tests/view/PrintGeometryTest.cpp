#include "view/PrintGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// Printable area of an A4 portrait sheet at 600 dpi with the usual unprintable rims.
const QSize kA4Portrait(4760, 6779);

TEST(PrintPageGeometry, DeviceListOnA4PortraitIsLimitedByItsWidth)
{
    const CPageGeometry g
        = ComputePageGeometry(kA4Portrait, QSize(2400, 2400), PrintContent::Devices);
    EXPECT_EQ(g.contentWidth, 2400);
    EXPECT_NEAR(g.contentWidth / 210.0, 11.4, 0.05);
    EXPECT_EQ(g.mm, 11); // whole units per millimetre
    EXPECT_NEAR(g.contentHeight, 2400.0 * 6779 / 4760, 1.0);
    EXPECT_EQ(g.left, 165);
    EXPECT_EQ(g.right, 110);
    EXPECT_EQ(g.top, 165);
    EXPECT_EQ(g.bottom, 165);
    EXPECT_EQ(g.windowExtent, QSize(165 + 2400 + 110, g.contentHeight + 330));
    EXPECT_EQ(g.windowOrigin, QPoint(-165, -165));
    EXPECT_DOUBLE_EQ(g.t, 2675 / 10000.0);
}

TEST(PrintPageGeometry, TallMatrixWidensThePageAndLeavesTheTitleBlockFree)
{
    const CPageGeometry g
        = ComputePageGeometry(kA4Portrait, QSize(400, 2000), PrintContent::PatchMatrix);
    const double aspect = 6779.0 / 4760.0;
    EXPECT_NEAR(g.contentWidth, 2000 / (7.0 / 8.0 * aspect), 1.0);
    // The matrix ends where the title block begins.
    EXPECT_LE(2000, g.contentHeight * 7 / 8 + 1);
    EXPECT_EQ(g.left, 7 * g.mm);
    EXPECT_EQ(g.bottom, 7 * g.mm);
    EXPECT_EQ(g.titleBlock.topLeft(), QPoint(g.contentWidth * 2 / 3, g.contentHeight * 7 / 8));
    EXPECT_EQ(g.titleBlock.bottomRight(), QPoint(g.contentWidth, g.contentHeight));
}

TEST(PrintPageGeometry, LandscapeAndTinyExtentsStayUsable)
{
    const CPageGeometry wide
        = ComputePageGeometry(QSize(6779, 4760), QSize(1600, 800), PrintContent::PatchMatrix);
    EXPECT_EQ(wide.contentWidth, 1600);
    const CPageGeometry tiny
        = ComputePageGeometry(QSize(6779, 4760), QSize(1, 1), PrintContent::PatchMatrix);
    EXPECT_GE(tiny.contentWidth, 1);
    EXPECT_GE(tiny.contentHeight, 1);
    EXPECT_GT(tiny.windowExtent.width(), 0);
    // A printer that reports no printable area yet must not divide by zero.
    const CPageGeometry none
        = ComputePageGeometry(QSize(0, 0), QSize(400, 200), PrintContent::PatchMatrix);
    EXPECT_GT(none.windowExtent.height(), 0);
}

TEST(PrintPageGeometry, SmallMatricesAreDrawnInFinerUnits)
{
    EXPECT_EQ(PrintUnitScale(400), 6);
    EXPECT_EQ(PrintUnitScale(2399), 2);
    EXPECT_EQ(PrintUnitScale(2400), 1);
    EXPECT_EQ(PrintUnitScale(1 << 24), 1);
    EXPECT_GE(PrintUnitScale(0), 1);
}

TEST(PrintPageGeometry, TransformIsIsotropicAndPutsTheMarginCornerAtTheOrigin)
{
    const CPageGeometry g
        = ComputePageGeometry(kA4Portrait, QSize(2400, 2400), PrintContent::Devices);
    const QTransform m = PageTransform(g, kA4Portrait);
    EXPECT_DOUBLE_EQ(m.m11(), m.m22());
    const QPointF corner = m.map(QPointF(g.windowOrigin));
    EXPECT_NEAR(corner.x(), 0, 1e-6);
    EXPECT_NEAR(corner.y(), 0, 1e-6);
    const QPointF far
        = m.map(QPointF(g.windowOrigin + QPoint(g.windowExtent.width(), g.windowExtent.height())));
    EXPECT_LE(far.x(), kA4Portrait.width() + 1e-6);
    EXPECT_LE(far.y(), kA4Portrait.height() + 1e-6);
    EXPECT_TRUE(std::abs(far.x() - kA4Portrait.width()) < 1e-6
        || std::abs(far.y() - kA4Portrait.height()) < 1e-6);
}

TEST(PrintFonts, TileSizeLimitsTheAddressFonts)
{
    // Large page unit: the limits bite. Tall tile: rotated, a quarter of the inset width.
    const CPrintFontHeights tall = ComputePrintFontHeights(1.0, QSize(100, 200));
    EXPECT_TRUE(tall.rotated);
    EXPECT_DOUBLE_EQ(tall.address, 20.0);
    EXPECT_DOUBLE_EQ(tall.label, 20.0);
    EXPECT_NEAR(tall.firstAddress, 22.0, 1e-9);

    const CPrintFontHeights wide = ComputePrintFontHeights(1.0, QSize(200, 100));
    EXPECT_FALSE(wide.rotated);
    EXPECT_DOUBLE_EQ(wide.address, 15.0); // (100 - 2 x 20) / 4

    // Small page unit: the table's heights stand.
    const CPrintFontHeights roomy = ComputePrintFontHeights(0.1, QSize(400, 400));
    EXPECT_FALSE(roomy.rotated);
    EXPECT_DOUBLE_EQ(roomy.address, 14.0);
    EXPECT_DOUBLE_EQ(roomy.firstAddress, 15.0);
    EXPECT_DOUBLE_EQ(roomy.text, 10.0);
    EXPECT_DOUBLE_EQ(roomy.heading, 17.0);
    EXPECT_DOUBLE_EQ(roomy.port, 17.0);
    EXPECT_DOUBLE_EQ(roomy.legend, 13.0);
    // The legend font fits three lines into half a tile.
    EXPECT_DOUBLE_EQ(ComputePrintFontHeights(1.0, QSize(100, 100)).legend, 15.0);
}

TEST(PrintDate, AsctimeForm)
{
    std::tm t {};
    t.tm_year = 80;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_wday = 3;
    t.tm_hour = 2;
    t.tm_min = 3;
    t.tm_sec = 55;
    EXPECT_EQ(AsctimeText(t), "Wed Jan  2 02:03:55 1980");
    t.tm_mday = 21;
    t.tm_mon = 11;
    EXPECT_EQ(AsctimeText(t), "Wed Dec 21 02:03:55 1980");
    EXPECT_EQ(LocalAsctimeText().size(), 24u);
}

// Fixed-pitch stand-in for the title block: a character (code point) is half the font
// height wide, a line 1.15 font heights high, as in Arial.
class CFakeTitleMeasure : public ITitleTextMeasure {
public:
    QSizeF LineSize(PrintFont, double height, const QString& text) const override
    {
        return QSizeF(0.5 * height * static_cast<double>(text.toUcs4().size()), 1.15 * height);
    }
};

// Printable areas at 600 dpi inside 5 mm rims.
struct CPaper {
    const char* name;
    QSize printable;
};
const CPaper kPapers[]
    = { { "A4 portrait", QSize(4724, 6780) }, { "A4 landscape", QSize(6780, 4724) },
          { "Letter portrait", QSize(4864, 6364) }, { "Letter landscape", QSize(6364, 4864) } };

CTitleBlockTexts ShortTexts()
{
    CTitleBlockTexts t;
    t.fixtureName = QStringLiteral("Lumora Pixel Dot 1x1 RGB");
    t.section = QStringLiteral("S1 : Front");
    t.metaSize = QStringLiteral("Meta Size: 4 x 2");
    t.fixtureSize = QStringLiteral("Fixture Size: 4 x 2");
    t.pageInfo = QStringLiteral("Hung from truss 2.");
    t.created = QStringLiteral(
        "Created with Quiltmark V3.6.28.28\nWed Jan  2 02:03:55 1980\nSection: S1\nshow.patch");
    return t;
}

CTitleBlockTexts LongTexts()
{
    CTitleBlockTexts t = ShortTexts();
    t.fixtureName = QStringLiteral("Brakwell Tile 2x2 ").repeated(7);
    t.section = QStringLiteral("S8 : ") + QStringLiteral("Upstage centre wall ").repeated(6);
    // Multi-byte characters, one outside the 16-bit plane, where cuts may fall.
    t.pageInfo = QString::fromUtf8("B\u00fchne links \u2192 Truss 2 \U0001F3AD data from "
                                   "stage left, ")
                     .repeated(6);
    t.created = QStringLiteral("Created with Quiltmark V3.6.28.28\nWed Jan  2 02:03:55 "
                               "1980\nSection: S8\n")
        + QStringLiteral("/home/designer/Festival_Main_Stage_2026/").repeated(3)
        + QString::fromUtf8("B\u00fchne.patch");
    return t;
}

CTitleBlockTexts MultiLineTexts()
{
    CTitleBlockTexts t = ShortTexts();
    for (int i = 1; i <= 15; ++i)
        t.pageInfo += QStringLiteral("Line %1: cable run %1\r\n").arg(i);
    return t;
}

CTitleBlockTexts UnbreakableTexts()
{
    CTitleBlockTexts t = ShortTexts();
    t.pageInfo = QString(300, QChar(0x00e9)); // one 300-letter word
    return t;
}

// Letters and digits of `text`, blanks, line breaks and ellipses left out.
QString Ink(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (!c.isSpace() && c != QChar(0x2026))
            out += c;
    }
    return out;
}

QString Shown(const CTitleBlockCell& cell)
{
    QString all;
    for (const CTitleBlockLine& line : cell.lines)
        all += line.text;
    return Ink(all);
}

bool Inside(const QRectF& inner, const QRectF& outer)
{
    const double e = 1e-9;
    return inner.left() >= outer.left() - e && inner.right() <= outer.right() + e
        && inner.top() >= outer.top() - e && inner.bottom() <= outer.bottom() + e;
}

bool Overlap(const QRectF& a, const QRectF& b)
{
    const QRectF both = a.intersected(b);
    return both.width() > 1e-9 && both.height() > 1e-9;
}

// Everything the title block must hold to on any page with any texts.
void CheckTitleBlock(const CTitleBlockLayout& l, const CPageGeometry& page,
    const CTitleBlockTexts& texts, const std::string& where)
{
    SCOPED_TRACE(where);
    // The cells lie between the frame and its dividing lines.
    EXPECT_TRUE(Inside(l.upper.rect,
        QRectF(l.frame.left(), l.frame.top(), l.frame.width(), l.split - l.frame.top())));
    EXPECT_TRUE(Inside(l.lower.rect, QRectF(QPointF(l.middle, l.split), l.frame.bottomRight())));

    const CPrintFontHeights nominal = ComputePrintFontHeights(page.t, QSize(1, 1));
    const double floor = TitleFloorScale(page);
    std::vector<QRectF> all { l.logo };
    for (const CTitleBlockCell* cell : { &l.upper, &l.lower }) {
        EXPECT_GE(cell->scale, floor);
        for (const CTitleBlockLine& line : cell->lines) {
            EXPECT_TRUE(Inside(line.rect, cell->rect)) << line.text.toStdString();
            const double full = line.font == PrintFont::Heading ? nominal.heading : nominal.text;
            EXPECT_GE(line.height, full * floor - 1e-9);
            EXPECT_LE(line.height, full + 1e-9);
            // A cut never leaves half a character behind.
            EXPECT_EQ(QString::fromUtf8(line.text.toUtf8()), line.text);
            EXPECT_FALSE(line.text.contains(QChar::ReplacementCharacter));
            for (const QRectF& other : all)
                EXPECT_FALSE(Overlap(line.rect, other)) << line.text.toStdString();
            all.push_back(line.rect);
        }
    }

    // What is shown is the text itself, whole or, when cut, its beginning with an ellipsis.
    const QString upper = Ink(
        texts.fixtureName + texts.section + texts.metaSize + texts.fixtureSize + texts.pageInfo);
    const QString lower = Ink(texts.created);
    const std::pair<const CTitleBlockCell*, QString> cells[]
        = { { &l.upper, upper }, { &l.lower, lower } };
    for (const auto& [cell, text] : cells) {
        if (cell->cut) {
            EXPECT_TRUE(text.startsWith(Shown(*cell)));
            EXPECT_TRUE(cell->lines.empty() || cell->lines.back().text.endsWith(QChar(0x2026)));
        } else {
            EXPECT_EQ(Shown(*cell), text);
        }
    }
}

TEST(TitleBlockLayout, TextsStayInTheirCellsOnEveryPaperAndOrientation)
{
    const std::pair<const char*, CTitleBlockTexts> cases[]
        = { { "short", ShortTexts() }, { "long", LongTexts() }, { "multi-line", MultiLineTexts() },
              { "unbreakable", UnbreakableTexts() } };
    const QSize extents[] = { QSize(2400, 1200), QSize(1200, 4800) };
    for (const CPaper& paper : kPapers) {
        for (const QSize& extent : extents) {
            const CPageGeometry page
                = ComputePageGeometry(paper.printable, extent, PrintContent::PatchMatrix);
            for (const auto& [name, texts] : cases) {
                const CTitleBlockLayout l = LayoutTitleBlock(texts, page, CFakeTitleMeasure());
                CheckTitleBlock(l, page, texts, std::string(paper.name) + ", " + name);
            }
        }
    }
    // A page too small for the insets leaves the cells empty instead of reversing them.
    const CPageGeometry tiny
        = ComputePageGeometry(QSize(20, 20), QSize(1, 1), PrintContent::PatchMatrix);
    const CTitleBlockLayout none = LayoutTitleBlock(LongTexts(), tiny, CFakeTitleMeasure());
    EXPECT_TRUE(none.upper.lines.empty());
    EXPECT_TRUE(none.lower.lines.empty());
}

TEST(TitleBlockLayout, ShortTextsAreWholeAndLongOnesShrinkThenCut)
{
    for (const CPaper& paper : kPapers) {
        SCOPED_TRACE(paper.name);
        const CPageGeometry page
            = ComputePageGeometry(paper.printable, QSize(2400, 1200), PrintContent::PatchMatrix);
        const bool portrait = paper.printable.height() > paper.printable.width();
        const CTitleBlockLayout fits = LayoutTitleBlock(ShortTexts(), page, CFakeTitleMeasure());
        EXPECT_FALSE(fits.upper.cut);
        EXPECT_FALSE(fits.lower.cut);
        ASSERT_EQ(fits.upper.lines.size(), 5u);
        EXPECT_EQ(fits.upper.lines[0].font, PrintFont::Heading);
        EXPECT_EQ(fits.upper.lines[4].text, QStringLiteral("Hung from truss 2."));
        ASSERT_EQ(fits.lower.lines.size(), 4u);
        EXPECT_EQ(fits.lower.lines[1].text, QStringLiteral("Wed Jan  2 02:03:55 1980"));
        // Portrait has room for the upper texts at full size; landscape shrinks them.
        EXPECT_EQ(fits.upper.scale == 1.0, portrait);

        // Fifteen lines of notes cannot all fit: they shrink to the floor, the first ones
        // are shown and the last one shown ends in an ellipsis.
        const CTitleBlockLayout many
            = LayoutTitleBlock(MultiLineTexts(), page, CFakeTitleMeasure());
        EXPECT_TRUE(many.upper.cut);
        EXPECT_DOUBLE_EQ(many.upper.scale, TitleFloorScale(page));
        EXPECT_GE(many.upper.lines.size(), 5u);
        EXPECT_EQ(many.upper.lines[3].text, QStringLiteral("Fixture Size: 4 x 2"));
        EXPECT_TRUE(many.upper.lines.back().text.endsWith(QChar(0x2026)));
        EXPECT_FALSE(many.lower.cut);
    }
}

// Fixed-pitch stand-in: 10 units per character, 20 per line, words wrap at blanks.
class CFakeMeasure : public IPrintTextMeasure {
public:
    QSize LineSize(PrintFont, const QString& text) const override
    {
        return QSize(10 * static_cast<int>(text.size()), 20);
    }
    int WrappedHeight(PrintFont, const QString& text, int width) const override
    {
        const int perLine = std::max(width / 10, 1);
        int lines = 1;
        int used = 0;
        for (const QString& word : text.split(QLatin1Char(' '))) {
            const int need = used == 0 ? static_cast<int>(word.size())
                                       : used + 1 + static_cast<int>(word.size());
            if (need > perLine && used > 0) {
                ++lines;
                used = static_cast<int>(word.size());
            } else {
                used = need;
            }
        }
        return 20 * lines;
    }
};

using Kind = CDeviceListElement::Kind;

CDeviceListInput Input(int devices, int portsEach)
{
    CDeviceListInput in;
    in.title = QStringLiteral("show.patch");
    in.date = QStringLiteral("Wed Jan  2 02:03:55 1980\n");
    in.sectionNames = { QStringLiteral("Front"), QStringLiteral("Back") };
    for (int d = 0; d < devices; ++d) {
        CDeviceListDevice device;
        device.heading = QStringLiteral("Porter %1 10.0.0.%1").arg(d + 1);
        for (int p = 0; p < portsEach; ++p)
            device.ports.push_back({ p, p % 3 == 2 ? -1 : p, QStringLiteral("1:A1 \u00bb 1:B1") });
        in.devices.push_back(device);
    }
    return in;
}

std::vector<const CDeviceListElement*> All(const CDeviceListLayout& l, Kind kind, int page = -1)
{
    std::vector<const CDeviceListElement*> out;
    for (size_t p = 0; p < l.pages.size(); ++p) {
        if (page >= 0 && static_cast<int>(p) != page)
            continue;
        for (const CDeviceListElement& e : l.pages[p].elements) {
            if (e.kind == kind)
                out.push_back(&e);
        }
    }
    return out;
}

const CPageGeometry kDevicePage
    = ComputePageGeometry(kA4Portrait, QSize(2400, 2400), PrintContent::Devices);

TEST(DeviceListLayout, FirstPageCarriesHeaderAndSectionList)
{
    const CDeviceListLayout l = LayoutDeviceList(Input(1, 2), kDevicePage, CFakeMeasure());
    ASSERT_EQ(l.pages.size(), 1u);
    EXPECT_EQ(l.bandHeight, 165);
    EXPECT_EQ(l.rightEdge, 2400 - 55);
    const auto pageText = All(l, Kind::PageText);
    ASSERT_EQ(pageText.size(), 1u);
    EXPECT_EQ(
        pageText[0]->text, QStringLiteral("Page 1\nWed Jan  2 02:03:55 1980\nKelvra Device-List"));
    const auto lines = All(l, Kind::SectionLine);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->text, QStringLiteral("1:   S1:Front"));
    EXPECT_EQ(lines[1]->text, QStringLiteral("2:   S2:Back"));
    EXPECT_EQ(lines[0]->rect.left(), 30); // indented by "XXX"
    const auto heading = All(l, Kind::SectionsHeading);
    ASSERT_EQ(heading.size(), 1u);
    EXPECT_EQ(heading[0]->rect.top(), 165 + 33);
    // The title is centred between the logo and a right edge moved in by as much.
    const auto title = All(l, Kind::Title);
    ASSERT_EQ(title.size(), 1u);
    EXPECT_EQ(title[0]->rect.left(), 330);
    EXPECT_EQ(title[0]->rect.right() + 1, 2345 - 330);
}

TEST(DeviceListLayout, PortLinesLabelsAndTileLists)
{
    const CDeviceListLayout l = LayoutDeviceList(Input(1, 3), kDevicePage, CFakeMeasure());
    const auto labels = All(l, Kind::PortLabel);
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0]->text, QStringLiteral("DMX01: U01  :    "));
    EXPECT_EQ(labels[1]->text, QStringLiteral("DMX02: U02  :    "));
    // A port without a universe prints only its label.
    EXPECT_EQ(labels[2]->text, QStringLiteral("DMX03:"));
    const auto tiles = All(l, Kind::PortTiles);
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(tiles[0]->rect.left(), labels[0]->rect.right() + 1);
    EXPECT_EQ(tiles[0]->rect.right() + 1, l.rightEdge);
    EXPECT_LT(labels[0]->rect.top(), labels[1]->rect.top());
    const auto device = All(l, Kind::DeviceHeading);
    ASSERT_EQ(device.size(), 1u);
    EXPECT_LT(device[0]->rect.bottom(), labels[0]->rect.top());
}

TEST(DeviceListLayout, LongDeviceContinuesOnTheNextPageWithoutRepeatingItsHeading)
{
    const CDeviceListLayout l = LayoutDeviceList(Input(1, 400), kDevicePage, CFakeMeasure());
    ASSERT_GE(l.pages.size(), 3u);
    EXPECT_EQ(All(l, Kind::DeviceHeading, 0).size(), 1u);
    EXPECT_EQ(All(l, Kind::DeviceHeading).size(), 1u);
    EXPECT_EQ(All(l, Kind::SectionsHeading, 1).size(), 0u);
    const auto pageText = All(l, Kind::PageText, 1);
    ASSERT_EQ(pageText.size(), 1u);
    EXPECT_TRUE(pageText[0]->text.startsWith(QStringLiteral("Page 2\n")));
    // Every port once, in order, and none below the page limit.
    const auto labels = All(l, Kind::PortLabel);
    ASSERT_EQ(labels.size(), 400u);
    for (size_t i = 0; i < labels.size(); ++i) {
        const QString number = labels[i]->text.mid(3, labels[i]->text.indexOf(':') - 3);
        EXPECT_EQ(number.toInt(), static_cast<int>(i) + 1);
    }
    for (size_t p = 0; p < l.pages.size(); ++p) {
        for (const CDeviceListElement& e : l.pages[p].elements)
            EXPECT_LE(e.rect.bottom(), l.pageLimit) << "page " << p;
    }
    const auto second = All(l, Kind::PortLabel, 1);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front()->rect.top(), 165 + 33);
}

TEST(DeviceListLayout, HeadingIsNeverLeftAloneAtTheFootOfAPage)
{
    const CDeviceListLayout l = LayoutDeviceList(Input(80, 2), kDevicePage, CFakeMeasure());
    ASSERT_GE(l.pages.size(), 2u);
    EXPECT_EQ(All(l, Kind::DeviceHeading).size(), 80u);
    for (const CDeviceListPage& page : l.pages) {
        ASSERT_FALSE(page.elements.empty());
        EXPECT_NE(page.elements.back().kind, Kind::DeviceHeading);
    }
    // Half a heading's height parts it from what is above; a heading that opens a page
    // starts right below the header band (B + B / 5).
    const auto first = All(l, Kind::DeviceHeading, 0);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0]->rect.top(), 198 + 24 + 2 * 24 + 30 + 10);
    for (size_t p = 1; p < l.pages.size(); ++p) {
        const auto headings = All(l, Kind::DeviceHeading, static_cast<int>(p));
        ASSERT_FALSE(headings.empty());
        EXPECT_EQ(headings[0]->rect.top(), 198) << "page " << p;
        if (headings.size() > 1) {
            const auto labels = All(l, Kind::PortLabel, static_cast<int>(p));
            ASSERT_GE(labels.size(), 2u);
            EXPECT_EQ(headings[1]->rect.top(), labels[1]->rect.bottom() + 1 + 4 + 10);
        }
    }
}

TEST(DeviceListLayout, DevicesWithoutPortsAndOversizedLinesStillAdvance)
{
    CDeviceListInput in = Input(3, 1);
    in.devices[1].ports.clear();
    // A tile list far longer than a page: printed cut off, the next port follows.
    QStringList many;
    for (int i = 0; i < 20000; ++i)
        many << QStringLiteral("1:A%1").arg(i + 1);
    in.devices[2].ports.push_back({ 1, 0, many.join(QStringLiteral(" \u00bb ")) });
    in.devices[2].ports.push_back({ 2, -1, QString() });
    const CDeviceListLayout l = LayoutDeviceList(in, kDevicePage, CFakeMeasure());
    EXPECT_EQ(All(l, Kind::DeviceHeading).size(), 3u);
    const auto labels = All(l, Kind::PortLabel);
    ASSERT_EQ(labels.size(), 4u);
    const auto tiles = All(l, Kind::PortTiles);
    const auto clipped = std::count_if(
        tiles.begin(), tiles.end(), [](const CDeviceListElement* e) { return e->clipped; });
    EXPECT_EQ(clipped, 1);
    for (size_t p = 0; p < l.pages.size(); ++p) {
        for (const CDeviceListElement& e : l.pages[p].elements)
            EXPECT_LE(e.rect.bottom(), l.pageLimit);
    }
    EXPECT_LE(l.pages.size(), 3u);
}

TEST(DeviceListLayout, EmptyListIsOnePage)
{
    CDeviceListInput in;
    const CDeviceListLayout l = LayoutDeviceList(in, kDevicePage, CFakeMeasure());
    ASSERT_EQ(l.pages.size(), 1u);
    EXPECT_EQ(All(l, Kind::SectionsHeading).size(), 1u);
}

} // namespace
