// Printing onto PDF files, read back with poppler's tools as a user's viewer would.
#include "ViewTestSupport.h"

#include "app/base/Progress.h"
#include "app/gui/PrintJobs.h"
#include "formats/AsciiScheme.h"
#include "formats/PatchList.h"
#include "formats/SkopeScript.h"
#include "view/ExtPrintDialog.h"
#include "view/PrintCommands.h"
#include "view/PrintPainter.h"
#include "view/SectionPainter.h"

#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <gtest/gtest.h>

namespace {

CPrintStamp FixedStamp()
{
    CPrintStamp stamp;
    stamp.version = { 3, 6, 28, 28 };
    stamp.date = "Wed Jan  2 02:03:55 1980";
    return stamp;
}

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPages(const QString& path)
{
    const QString info = Run(QStringLiteral("pdfinfo"), { path });
    for (const QString& line : info.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

// Text of one page (from 1), or of all pages; runs of blanks made single for comparison.
QString PdfText(const QString& path, int page = 0)
{
    QStringList arguments { QStringLiteral("-raw") };
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
                  << QString::number(page);
    arguments << path << QStringLiteral("-");
    return Run(QStringLiteral("pdftotext"), arguments).simplified();
}

struct CPrintFixture : public ::testing::Test {
    CViewTestDoc t;
    QTemporaryDir dir;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        CQuiltmarkDoc& doc = t.doc;
        doc.GetSection(0)->name = "Front";
        t.SetUp(*doc.GetSection(0), "LUMORA_PIXELDOT_RGB", 4, 2, 0);
        doc.GetSection(0)->info = "Hung from truss 2, data from stage left.";
        t.SetUp(*doc.AddSection(), "BRAKWELL_TILE_2X2", 3, 3, 1);
        doc.GetSection(1)->name = "Back";
        t.SetUp(*doc.AddSection(), "FERROLUX_STACKPOD_1X2", 2, 2, 2);
        doc.GetSection(2)->name = "Side";
        doc.GetSection(0)->GetTile(1, 0)->excluded = 1;
        doc.GetSection(0)->RecountUniverses();
        doc.RebuildTables();
        doc.SetCurrentSection(0);
    }

    // Keeps the files for a look at them when QUILTMARK_KEEP_PRINTS names a folder.
    QString Path(const QString& name) const
    {
        const QString keep = qEnvironmentVariable("QUILTMARK_KEEP_PRINTS");
        return keep.isEmpty() ? dir.filePath(name) : QDir(keep).filePath(name);
    }

    QString WritePdf(const QString& name, PrintContent content)
    {
        const QString path = Path(name);
        QString error;
        EXPECT_TRUE(PrintDocumentToPdf(t.doc, path, content, FixedStamp(), &error))
            << error.toStdString();
        return path;
    }

    void AddDevices(int count)
    {
        CKelvraDeviceList& devices = t.doc.GetDevices();
        for (int i = 0; i < count; ++i)
            devices.AddDeviceFromText("PORTER", "10.0.0." + std::to_string(i + 1));
    }
};

using PrintPdf = CPrintFixture;

TEST_F(PrintPdf, PatchMatrixPrintsOnePagePerSectionWithTitleBlock)
{
    const QString path = WritePdf(QStringLiteral("matrix.pdf"), PrintContent::PatchMatrix);
    ASSERT_EQ(PdfPages(path), 3);
    const QString first = PdfText(path, 1);
    EXPECT_TRUE(first.contains(QStringLiteral("Lumora Pixel Dot 1x1 RGB"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("S1 : Front")));
    EXPECT_TRUE(first.contains(QStringLiteral("Meta Size: 4 x 2")));
    EXPECT_TRUE(first.contains(QStringLiteral("Fixture Size: 4 x 2")));
    EXPECT_TRUE(first.contains(QStringLiteral("Hung from truss 2")));
    EXPECT_TRUE(first.contains(QStringLiteral("Created with Quiltmark V3.6.28.28")));
    EXPECT_TRUE(first.contains(QStringLiteral("Wed Jan 2 02:03:55 1980")));
    EXPECT_TRUE(first.contains(QStringLiteral("Section: S1")));
    EXPECT_TRUE(first.contains(QStringLiteral("U01.1")));
    // The excluded tile B1 prints no address; the one after it starts at channel 7.
    EXPECT_FALSE(first.contains(QStringLiteral("U01.4")));
    EXPECT_TRUE(first.contains(QStringLiteral("U01.7")));
    const QString second = PdfText(path, 2);
    EXPECT_TRUE(second.contains(QStringLiteral("S2 : Back")));
    EXPECT_TRUE(second.contains(QStringLiteral("Meta Size: 3 x 3")));
    EXPECT_TRUE(second.contains(QStringLiteral("Fixture Size: 6 x 6")));
    EXPECT_TRUE(PdfText(path, 3).contains(QStringLiteral("Section: S3")));
}

TEST_F(PrintPdf, SectionWithoutTilesPrintsAnEmptyPageAndTheNextOneStillPrints)
{
    CSubDoc* empty = t.doc.AddSection();
    empty->name = "Empty";
    t.doc.MoveSection(3, 0);
    t.doc.SetCurrentSection(0);
    const QString path = WritePdf(QStringLiteral("empty.pdf"), PrintContent::PatchMatrix);
    ASSERT_EQ(PdfPages(path), 4);
    EXPECT_TRUE(PdfText(path, 1).isEmpty());
    EXPECT_TRUE(PdfText(path, 2).contains(QStringLiteral("Section: S2")));
}

TEST_F(PrintPdf, DeviceListShowsSectionsPortsAndTileLists)
{
    AddDevices(1);
    CKelvraDevice* device = t.doc.GetDevices().GetDevice(0);
    ASSERT_GE(device->GetPortCount(), 2);
    device->SetPortUniverse(0, 0);
    const QString path = WritePdf(QStringLiteral("devices.pdf"), PrintContent::Devices);
    ASSERT_EQ(PdfPages(path), 1);
    const QString text = PdfText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("Page 1"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Kelvra Device-List")));
    EXPECT_TRUE(text.contains(QStringLiteral("Sections:")));
    EXPECT_TRUE(text.contains(QStringLiteral("1: S1:Front")));
    EXPECT_TRUE(text.contains(QStringLiteral("3: S3:Side")));
    EXPECT_TRUE(text.contains(QStringLiteral("10.0.0.1")));
    EXPECT_TRUE(text.contains(QStringLiteral("DMX01: U01")));
    EXPECT_TRUE(text.contains(QStringLiteral("DMX02:")));
    EXPECT_FALSE(text.contains(QStringLiteral("DMX02: U")));
    // Universe 1 feeds the front section's tiles except the excluded B1, by address.
    EXPECT_TRUE(text.contains(QStringLiteral("1:A1 \u00bb 1:C1 \u00bb 1:D1")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("1:B1")));
}

TEST_F(PrintPdf, DeviceTileListsFollowTheAddressOrderOfTheDocument)
{
    AddDevices(1);
    t.doc.GetDevices().GetDevice(0)->SetPortUniverse(0, 1);
    const CDeviceListInput input = MakeDeviceListInput(t.doc, "date");
    std::string expected;
    t.doc.GetUniversePatchText(1, expected);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(input.devices[0].ports[0].tiles,
        QString::fromLatin1(expected.data(), static_cast<int>(expected.size())));
}

TEST_F(PrintPdf, PageRangesPrintTheirSectionsOnly)
{
    // from, to (0: the first or last page) -> the sections printed, one per page.
    struct Case {
        int from;
        int to;
        QStringList sections;
    };
    const QString front = QStringLiteral("S1 : Front");
    const QString back = QStringLiteral("S2 : Back");
    const QString side = QStringLiteral("S3 : Side");
    const Case cases[] = {
        { 2, 3, { back, side } }, { 3, 3, { side } }, { 0, 2, { front, back } },
        { 2, 0, { back, side } },
        { 3, 1, { side } }, // an end before the start prints the start page
        { 9, 9, { side } }, // beyond the last page: the last one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        const QString path = Path(QStringLiteral("range%1-%2.pdf").arg(c.from).arg(c.to));
        QPdfWriter writer(path);
        CPrintJob job;
        job.stamp = FixedStamp();
        job.fromPage = c.from;
        job.toPage = c.to;
        const CPrintJobResult result = RunPrintJob(writer, t.doc, job);
        EXPECT_TRUE(result.ok);
        const int pages = static_cast<int>(c.sections.size());
        EXPECT_EQ(result.pages, pages);
        ASSERT_EQ(PdfPages(path), pages);
        for (int p = 0; p < pages; ++p) {
            const QString text = PdfText(path, p + 1);
            for (const QString& name : { front, back, side })
                EXPECT_EQ(text.contains(name), name == c.sections[p])
                    << p << " " << name.toStdString();
        }
        const QString last = c.sections.back();
        EXPECT_EQ(result.lastSection, last == front ? 0 : last == back ? 1 : 2);
    }
}

TEST_F(PrintPdf, LongDeviceListRunsOntoPageTwo)
{
    AddDevices(60);
    const QString path = WritePdf(QStringLiteral("many-devices.pdf"), PrintContent::Devices);
    const int pages = PdfPages(path);
    ASSERT_GE(pages, 2);
    const QString second = PdfText(path, 2);
    EXPECT_TRUE(second.contains(QStringLiteral("Page 2")));
    EXPECT_FALSE(second.contains(QStringLiteral("Sections:")));
    // Every device exactly once over all pages.
    const QString all = PdfText(path);
    EXPECT_EQ(all.count(QStringLiteral(" 10.0.0.")), 60);
}

TEST_F(PrintPdf, MarkersKeepTheirSizeOnAPageOfFinerUnits)
{
    // A 4 x 2 matrix is printed in finer units, with pens several units wide; markers of a
    // fixed 10 units would drown in their own outline.
    const CSubDoc& section = *t.doc.GetSection(0);
    const QSize printable(1200, 1700);
    QImage image(printable, QImage::Format_RGB32);
    image.fill(Qt::white);
    CPrintViewOptions options;
    options.connectionMode = ConnectionMode::All;
    {
        QPainter painter(&image);
        PaintPatchMatrixPage(painter, printable, t.doc, 0, options, FixedStamp());
    }

    // Where the page put tile (0, 1), the end of the chain, worked out as the page does.
    CLayoutInput in;
    in.tileColumns = 4;
    in.tileRows = 2;
    in.printing = true;
    in.legend = true;
    in.universes = section.GetUniverseCount();
    const CViewLayout layout = ComputeLayout(in);
    const int scale = PrintUnitScale(
        ComputePageGeometry(printable, layout.extent, PrintContent::PatchMatrix).contentWidth);
    ASSERT_GE(scale, 2);
    const CPageGeometry page
        = ComputePageGeometry(printable, layout.extent * scale, PrintContent::PatchMatrix);
    const QTransform toDevice = PageTransform(page, printable);
    const QPoint centre = layout.origin
        + QPoint(layout.tile.width() * scale / 2, layout.tile.height() * scale * 3 / 2);
    auto grey = [&](QPoint units) { return qGray(image.pixel(toDevice.map(units))); };

    // The marker's white fill shows inside its outline, which lies 5 scaled units out; the
    // line arrives from the right.
    EXPECT_GT(grey(centre), 200);
    EXPECT_LT(grey(centre + QPoint(0, -5 * scale)), 100);
    EXPECT_LT(grey(centre + QPoint(-5 * scale, 0)), 100);
    // Between the outline and the tile's own frame the paper stays white.
    EXPECT_GT(grey(centre + QPoint(0, -10 * scale)), 200);
}

struct CPdfWord {
    QRectF box; // points, from the page's top-left corner
    QString text;
};

// Word boxes of page 1 as poppler finds them.
std::vector<CPdfWord> PdfWords(const QString& path)
{
    const QString xhtml = Run(QStringLiteral("pdftotext"),
        { QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
            QStringLiteral("1"), path, QStringLiteral("-") });
    static const char* const pattern
        = R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re";
    static const QRegularExpression word(QString::fromLatin1(pattern));
    std::vector<CPdfWord> words;
    for (auto it = word.globalMatch(xhtml); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        words.push_back({ QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                              QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
            m.captured(5) });
    }
    return words;
}

// Page 1 as pixels, at a resolution that shows lines and small glyphs.
QImage RasterPage(const QString& path)
{
    const QString prefix = path + QStringLiteral(".page");
    Run(QStringLiteral("pdftoppm"),
        { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
            QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
            QStringLiteral("-singlefile"), path, prefix });
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

int DifferentPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

TEST_F(PrintPdf, ConnectionsAndSwitchesPrintWhenShown)
{
    // One page printed with connections and switches each on or off.
    auto print = [&](bool connections, bool switches, int page = 1) {
        const QString path = Path(QStringLiteral("connections%1%2-%3.pdf")
                                      .arg(connections ? 1 : 0)
                                      .arg(switches ? 1 : 0)
                                      .arg(page));
        QPdfWriter writer(path);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
            QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
        CPrintJob job;
        job.view.connectionMode = connections ? ConnectionMode::All : ConnectionMode::Hidden;
        job.view.connectionOrder = ConnectionOrder::ByAddress;
        job.view.showSwitches = switches;
        job.stamp = FixedStamp();
        job.fromPage = page;
        job.toPage = page;
        const CPrintJobResult result = RunPrintJob(writer, t.doc, job);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.pages, 1);
        EXPECT_EQ(result.lastSection, page - 1);
        EXPECT_EQ(PdfPages(path), 1);
        return path;
    };
    // The legend box's label is a word of its own; tile labels only start with it.
    auto hasLegendLabel = [](const QString& path) {
        const std::vector<CPdfWord> words = PdfWords(path);
        return std::any_of(words.begin(), words.end(),
            [](const CPdfWord& w) { return w.text == QLatin1String("U01"); });
    };
    const QString plain = print(false, false);
    const QString both = print(true, true);
    EXPECT_FALSE(hasLegendLabel(plain));
    EXPECT_TRUE(hasLegendLabel(both));
    EXPECT_TRUE(hasLegendLabel(print(true, false)));
    // Switches add only drawing, on the section whose type has them (page 3): the same
    // page without them looks different.
    const QImage withSwitches = RasterPage(print(false, true, 3));
    const QImage without = RasterPage(print(false, false, 3));
    ASSERT_FALSE(without.isNull());
    ASSERT_EQ(withSwitches.size(), without.size());
    EXPECT_GT(DifferentPixels(withSwitches, without), 50);
}

TEST_F(PrintPdf, TitleBlockTextStaysInItsFrameOnEveryPaperAndOrientation)
{
    CSubDoc& section = *t.doc.GetSection(0);
    section.name = "Upstage centre wall above the choir riser";
    section.info = "Hung from truss 2, data from stage left.\n";
    for (int i = 0; i < 5; ++i)
        section.info += "Check every cable run before the doors open, B\xC3\xBChne links. ";
    t.doc.SetPathName("/shows/Festival_Main_Stage_2026_final_final_really_final.patch");
    const std::pair<const char*, QPageSize::PageSizeId> sizes[]
        = { { "a4", QPageSize::A4 }, { "letter", QPageSize::Letter } };
    const std::pair<const char*, QPageLayout::Orientation> orientations[]
        = { { "portrait", QPageLayout::Portrait }, { "landscape", QPageLayout::Landscape } };
    const double margin = 5 * 72 / 25.4; // points
    for (const auto& [sizeName, size] : sizes) {
        for (const auto& [orientationName, orientation] : orientations) {
            const QString name = QStringLiteral("title-%1-%2.pdf").arg(sizeName, orientationName);
            SCOPED_TRACE(name.toStdString());
            const QString path = Path(name);
            QRectF frame;
            QRectF logo;
            {
                // Printer Setup reaches the job this way: as the page layout of the device.
                QPdfWriter writer(path);
                writer.setPageLayout(QPageLayout(
                    QPageSize(size), orientation, QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
                CPrintJob job;
                job.stamp = FixedStamp();
                job.fromPage = job.toPage = 1;
                ASSERT_TRUE(RunPrintJob(writer, t.doc, job).ok);
                const QSize printable(writer.width(), writer.height());
                ASSERT_GT(writer.resolution(), 0);
                const double toPoints = 72.0 / writer.resolution();

                // The frame and the logo box in the PDF's points.
                const CPageGeometry page
                    = ComputePatchMatrixPage(section, printable, CPrintViewOptions()).page;
                const CTitleBlockLayout layout
                    = LayoutTitleBlock(CTitleBlockTexts(), page, CQtTitleTextMeasure(nullptr));
                const QTransform toPage = PageTransform(page, printable)
                    * QTransform::fromScale(toPoints, toPoints)
                    * QTransform::fromTranslate(margin, margin);
                frame = toPage.mapRect(QRectF(layout.frame));
                logo = toPage.mapRect(layout.logo);
            }
            const std::vector<CPdfWord> words = PdfWords(path);
            ASSERT_FALSE(words.empty());
            std::vector<const CPdfWord*> block;
            for (const CPdfWord& w : words) {
                // Everything below the matrix belongs to the title block.
                if (w.box.center().y() > frame.top())
                    block.push_back(&w);
            }
            QString text;
            for (const CPdfWord* w : block)
                text += w->text + QLatin1Char(' ');
            EXPECT_TRUE(text.contains(QStringLiteral("Created with Quiltmark")))
                << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("Lumora"))) << text.toStdString();
            const double slack = 0.5;
            for (const CPdfWord* w : block) {
                EXPECT_TRUE(frame.adjusted(-slack, -slack, slack, slack).contains(w->box))
                    << w->text.toStdString();
                EXPECT_FALSE(logo.intersects(w->box)) << w->text.toStdString();
                for (const CPdfWord* other : block) {
                    if (other == w)
                        continue;
                    // Poppler's boxes reach the font's full ascent and descent; lines
                    // that touch may share a sliver of them.
                    const QRectF both = w->box.intersected(other->box);
                    EXPECT_FALSE(
                        both.height() > 0.25 * std::min(w->box.height(), other->box.height())
                        && both.width() > 0)
                        << w->text.toStdString() << " / " << other->text.toStdString();
                }
            }
        }
    }
}

TEST_F(PrintPdf, StoredExtremesShowTheirTrueNumbersOnScreenPaperAndInExports)
{
    // A file may hold any int; shown one-based, 2147483647 must read 2147483648, and
    // forming it must not overflow (the sanitizer build stops on that).
    CSubDoc& section = *t.doc.GetSection(0);
    CTileRecord* tile = section.GetTile(0, 0);
    tile->universe = INT_MAX;
    tile->address = INT_MAX;
    section.RebuildItems();
    section.RecountUniverses();
    t.doc.RebuildTables();
    AddDevices(1);
    t.doc.GetDevices().GetDevice(0)->SetPortUniverse(0, INT_MAX);
    const QString shown = QStringLiteral("U2147483648.2147483648");

    EXPECT_TRUE(PdfText(WritePdf(QStringLiteral("extreme.pdf"), PrintContent::PatchMatrix), 1)
                    .contains(shown));
    EXPECT_TRUE(PdfText(WritePdf(QStringLiteral("extreme-devices.pdf"), PrintContent::Devices))
                    .contains(QStringLiteral("DMX01: U2147483648 :")));

    CViewUnderTest v(t.doc);
    v.view->SetConnectionMode(ConnectionMode::All);
    v.Render(); // tile and item labels, legend box
    EXPECT_TRUE(v.view->StatusText(0, 0).endsWith(
        QStringLiteral("DMX: U2147483648.2147483648 ... 2147483650")))
        << v.view->StatusText(0, 0).toStdString();

    const std::vector<std::string> patch = BuildPatchList(section);
    ASSERT_FALSE(patch.empty());
    EXPECT_NE(patch.back().find(";U2147483648.2147483648"), std::string::npos) << patch.back();
    EXPECT_NE(BuildAsciiScheme(section).find("| U2147483648.2147483648  |"), std::string::npos);
    EXPECT_NE(
        BuildSkopeScript(section, 1, "now").find("SetDmxAddress(-1, 2147483648, 2147483648);"),
        std::string::npos);
}

struct PrintCommandsTest : public CPrintFixture {
    QPrinter printer { QPrinter::HighResolution };
    std::unique_ptr<CViewUnderTest> view;
    std::unique_ptr<CPrintCommands> commands;

    void SetUp() override
    {
        CPrintFixture::SetUp();
        view = std::make_unique<CViewUnderTest>(t.doc);
        commands = std::make_unique<CPrintCommands>(t.doc, *view->view, printer);
        commands->SetStamp(FixedStamp());
    }
    QString Target(const QString& name)
    {
        const QString path = Path(name);
        QFile::remove(path);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return path;
    }
};

TEST_F(PrintCommandsTest, DialogDefaultsPrintOnlyTheCurrentSection)
{
    t.doc.SetCurrentSection(1);
    const QString path = Target(QStringLiteral("default.pdf"));
    int proposed = 0;
    commands->SetDialogRunner([&](CExtPrintDialog& dialog) {
        dialog.show();
        proposed = dialog.findChild<QSpinBox*>(QStringLiteral("from"))
            ? dialog.findChild<QSpinBox*>(QStringLiteral("from"))->value()
            : dialog.fromPage();
        EXPECT_TRUE(dialog.PatchMatrixButton()->isChecked());
        return true;
    });
    ASSERT_TRUE(commands->OnCommand(CommandId::FilePrint));
    EXPECT_EQ(proposed, 2);
    ASSERT_EQ(PdfPages(path), 1);
    EXPECT_TRUE(PdfText(path).contains(QStringLiteral("S2 : Back")));
    EXPECT_EQ(t.doc.GetCurrentSectionIndex(), 1);
}

TEST_F(PrintCommandsTest, AllPagesLeaveTheLastSectionCurrent)
{
    const QString path = Target(QStringLiteral("all.pdf"));
    int followed = -1;
    QObject::connect(commands.get(), &CPrintCommands::currentSectionPrinted,
        [&](int index) { followed = index; });
    commands->SetDialogRunner([](CExtPrintDialog& dialog) {
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
        return true;
    });
    commands->OnFilePrint();
    EXPECT_EQ(PdfPages(path), 3);
    EXPECT_EQ(t.doc.GetCurrentSectionIndex(), 2);
    EXPECT_EQ(followed, 2);
}

TEST_F(PrintCommandsTest, DevicesChoiceDisablesTheRangeAndIsResetAfterTheJob)
{
    AddDevices(2);
    const QString path = Target(QStringLiteral("dialog-devices.pdf"));
    bool ran = false;
    commands->SetDialogRunner([&ran](CExtPrintDialog& dialog) {
        dialog.show();
        QSpinBox* from = dialog.findChild<QSpinBox*>(QStringLiteral("from"));
        QSpinBox* to = dialog.findChild<QSpinBox*>(QStringLiteral("to"));
        // A printer with page sets offers a free page field as well; the device list is
        // printed whole, so it must be off while Devices is chosen, and back afterwards.
        QWidget* pageSet = dialog.findChild<QWidget*>(QStringLiteral("pagesRadioButton"));
        if (!from || !to || !pageSet) {
            ADD_FAILURE() << "the print dialog has no page range fields";
            return false;
        }
        ran = true;
        pageSet->setEnabled(true);
        from->setValue(2);
        dialog.DevicesButton()->click();
        EXPECT_EQ(dialog.GetPrintContent(), PrintContent::Devices);
        EXPECT_FALSE(pageSet->isEnabled());
        EXPECT_FALSE(from->isEnabled());
        EXPECT_FALSE(to->isEnabled());
        dialog.PatchMatrixButton()->click();
        EXPECT_EQ(dialog.GetPrintContent(), PrintContent::PatchMatrix);
        EXPECT_TRUE(pageSet->isEnabled());
        EXPECT_TRUE(from->isEnabled());
        EXPECT_TRUE(to->isEnabled());
        dialog.DevicesButton()->click();
        dialog.done(QDialog::Accepted);
        // The device list starts at its first page whatever the range said.
        EXPECT_EQ(from->value(), 1);
        return true;
    });
    commands->OnFilePrint();
    EXPECT_TRUE(ran);
    ASSERT_EQ(PdfPages(path), 1);
    EXPECT_TRUE(PdfText(path).contains(QStringLiteral("Kelvra Device-List")));
    EXPECT_EQ(commands->GetPrintContent(), PrintContent::PatchMatrix);
    EXPECT_EQ(t.doc.GetCurrentSectionIndex(), 0);
}

TEST_F(PrintCommandsTest, CancelPrintsNothing)
{
    const QString path = Target(QStringLiteral("cancel.pdf"));
    commands->SetPrintContent(PrintContent::Devices);
    commands->SetDialogRunner([](CExtPrintDialog& dialog) {
        EXPECT_EQ(dialog.GetPrintContent(), PrintContent::Devices);
        return false;
    });
    commands->OnFilePrint();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(commands->GetPrintContent(), PrintContent::PatchMatrix);
}

TEST_F(PrintCommandsTest, PreviewShowsEverySectionAndKeepsItsPageArrangement)
{
    QSettings().remove(QLatin1String(CPrintCommands::kPreviewPagesKey));
    int pages = 0;
    commands->SetPreviewRunner([&](QPrintPreviewDialog& dialog) {
        QPrintPreviewWidget* preview = dialog.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(preview->viewMode(), QPrintPreviewWidget::SinglePageView);
        dialog.show();
        preview->updatePreview();
        pages = preview->pageCount();
        preview->setViewMode(QPrintPreviewWidget::FacingPagesView);
        dialog.close();
    });
    commands->OnCommand(CommandId::FilePrintPreview);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(QSettings().value(QLatin1String(CPrintCommands::kPreviewPagesKey)).toInt(), 2);
    // Looking at pages is not printing them: the current section stays.
    EXPECT_EQ(t.doc.GetCurrentSectionIndex(), 0);

    commands->SetPreviewRunner([](QPrintPreviewDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QPrintPreviewWidget*>()->viewMode(),
            QPrintPreviewWidget::FacingPagesView);
    });
    commands->OnCommand(CommandId::FilePrintPreview);
}

// Runs the --print-pdf entry as main would, with the shipped library.
int RunPrintPdfWith(QStringList arguments)
{
    arguments.prepend(QStringLiteral("quiltmark"));
    std::vector<std::string> texts;
    for (const QString& a : arguments)
        texts.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(texts.size());
    EXPECT_TRUE(IsPrintPdfInvocation(argc, argv.data()) == arguments.contains("--print-pdf"));
    return RunPrintPdf(argc, argv.data());
}

TEST(PrintPdfCommandLine, PrintsEveryExampleProjectWithoutADisplay)
{
    const QDir examples(QStringLiteral(QUILTMARK_SOURCE_DIR "/examples"));
    const QStringList projects = examples.entryList({ QStringLiteral("*.patch") }, QDir::Files);
    if (projects.isEmpty())
        GTEST_SKIP() << "no example projects";
    QTemporaryDir dir;
    const QString keep = qEnvironmentVariable("QUILTMARK_KEEP_PRINTS");
    const QDir out(keep.isEmpty() ? dir.path() : keep);
    const QString library = QStringLiteral(QUILTMARK_SOURCE_DIR "/resources/metalib.xml");
    for (const QString& project : projects) {
        SCOPED_TRACE(project.toStdString());
        const QString base = QFileInfo(project).completeBaseName();
        const QString matrix = out.filePath(base + QStringLiteral(".pdf"));
        const QString devices = out.filePath(base + QStringLiteral("-devices.pdf"));
        EXPECT_EQ(RunPrintPdfWith(
                      { "--print-pdf", matrix, "--library", library, examples.filePath(project) }),
            0);
        EXPECT_GE(PdfPages(matrix), 1);
        EXPECT_TRUE(PdfText(matrix).contains(QStringLiteral("Created with Quiltmark V3.6.28.28")));
        EXPECT_EQ(RunPrintPdfWith({ "--print-pdf", devices, "--devices", "--date", "today",
                      "--library", library, examples.filePath(project) }),
            0);
        const QString list = PdfText(devices);
        EXPECT_TRUE(list.contains(QStringLiteral("Kelvra Device-List")));
        EXPECT_TRUE(list.contains(QStringLiteral("Sections:")));
    }
}

TEST(PrintPdfCommandLine, RefusesBadArgumentsAndUnreadableFiles)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.pdf"));
    EXPECT_EQ(RunPrintPdfWith({ "--print-pdf", out }), 2);
    EXPECT_EQ(RunPrintPdfWith({ "--print-pdf" }), 2);
    EXPECT_EQ(RunPrintPdfWith({ "--print-pdf", out, "--bogus", "x.patch" }), 2);
    EXPECT_EQ(RunPrintPdfWith({ "--print-pdf", out, "--library",
                  QStringLiteral(QUILTMARK_SOURCE_DIR "/resources/metalib.xml"),
                  dir.filePath(QStringLiteral("missing.patch")) }),
        1);
    EXPECT_FALSE(QFile::exists(out));
    // A folder that cannot be written leaves no half-written file behind.
    EXPECT_EQ(RunPrintPdfWith({ "--print-pdf", dir.filePath(QStringLiteral("no/such/out.pdf")),
                  "--library", QStringLiteral(QUILTMARK_SOURCE_DIR "/resources/metalib.xml"),
                  QStringLiteral(QUILTMARK_SOURCE_DIR "/examples/stage-wall.patch") }),
        1);
}

} // namespace

// A section far larger than the page has dots: tiles become filled cells in paper shades
// (not a blur of outlines and invisible text), and excluded positions stay white.
TEST(PrintLargeSection, TilesSmallerThanAFewDotsPrintAsFilledCells)
{
    CViewTestDoc t;
    CSubDoc& s = t.SetUp("ZIDUZU_COLOR_BEAMER", 400, 400);
    for (int row = 100; row < 200; ++row) {
        for (int column = 100; column < 200; ++column)
            s.GetTile(column, row)->excluded = 1;
    }
    QImage page(700, 990, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        PaintPatchMatrixPage(painter, page.size(), t.doc, 0, CPrintViewOptions(), FixedStamp());
    }
    const CPatchMatrixPage geometry = ComputePatchMatrixPage(s, page.size(), CPrintViewOptions());
    const QTransform toPage = PageTransform(geometry.page, page.size());
    auto pixelOfTile = [&](int column, int row) {
        return toPage.map(geometry.layout.TileRect(column, row).center());
    };
    auto shade = [&](int column, int row) {
        return s.GetTile(column, row)->address == 0 ? PrintCellColours::FirstAddress
                                                    : PrintCellColours::Tile;
    };
    EXPECT_EQ(At(page, pixelOfTile(50, 300)), shade(50, 300));
    EXPECT_EQ(At(page, pixelOfTile(350, 51)), shade(350, 51));
    EXPECT_EQ(At(page, pixelOfTile(150, 150)), PrintCellColours::Excluded);
    // The whole matrix is shaded: no white gaps between the cells of present tiles.
    const QRect inner(pixelOfTile(220, 220), pixelOfTile(380, 380));
    EXPECT_EQ(CountNear(page, inner, Qt::white, 1), 0);
    EXPECT_GT(
        CountNear(page, inner, PrintCellColours::Tile, 1), inner.width() * inner.height() / 2);
}

// Progress goes up in steps, never back, and ends at the total, for every content.
TEST_F(PrintPdf, ProgressRisesToItsTotal)
{
    for (PrintContent content : { PrintContent::PatchMatrix, PrintContent::Devices }) {
        AddDevices(1);
        CRecordingProgress progress;
        CPrintJob job;
        job.content = content;
        job.stamp = FixedStamp();
        job.progress = &progress;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        const CPrintJobResult result = RunPrintJob(writer, t.doc, job);
        ASSERT_TRUE(result.ok);
        ASSERT_GE(progress.reports.size(), 2u);
        for (size_t i = 1; i < progress.reports.size(); ++i) {
            EXPECT_GE(progress.reports[i].first, progress.reports[i - 1].first);
            EXPECT_EQ(progress.reports[i].second, progress.reports[0].second);
        }
        EXPECT_EQ(progress.reports.back().first, progress.reports.back().second);
    }
}
