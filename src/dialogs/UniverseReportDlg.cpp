#include "dialogs/UniverseReportDlg.h"

#include "document/QuiltmarkDoc.h"
#include "shell/toolkit/ModelText.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Item data: the row's position, and the conflict's (-1 on the universe row itself).
constexpr int kRowRole = Qt::UserRole;
constexpr int kConflictRole = Qt::UserRole + 1;
// Tiles named in a conflict line; the rest are counted.
constexpr std::size_t kNamedTiles = 12;
constexpr int kOpenConflicts = 200;
// Conflicts and universes without an output stand out in the colours of a warning.
const QColor kConflictColour(255, 205, 200);
const QColor kUnconnectedColour(255, 238, 180);

enum Column { Universe, Channels, Highest, Sections, Output, Conflicts, ColumnCount };

QString Text(const std::string& bytes)
{
    return FromModelText(bytes);
}

} // namespace

CUniverseReportDlg::CUniverseReportDlg(const CQuiltmarkDoc& doc, QWidget* parent)
    : QDialog(parent)
    , m_doc(doc)
    , m_tree(new QTreeWidget(this))
    , m_summary(new QLabel(this))
{
    setObjectName(QStringLiteral("universeReport"));
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(false);
    m_tree->setObjectName(QStringLiteral("universeReportTree"));
    m_tree->setColumnCount(ColumnCount);
    m_tree->setHeaderLabels(
        { QStringLiteral("Universe"), QStringLiteral("Channels"), QStringLiteral("Highest"),
            QStringLiteral("Sections"), QStringLiteral("Output"), QStringLiteral("Conflicts") });
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setAlternatingRowColors(false);
    m_tree->header()->setStretchLastSection(true);
    m_summary->setObjectName(QStringLiteral("universeReportSummary"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyButton"));
    QPushButton* save
        = buttons->addButton(QStringLiteral("Save as CSV..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("saveCsvButton"));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(copy, &QPushButton::clicked, this, &CUniverseReportDlg::OnCopy);
    connect(save, &QPushButton::clicked, this, &CUniverseReportDlg::saveCsvRequested);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &CUniverseReportDlg::AddConflictItems);
    connect(m_tree, &QTreeWidget::itemActivated, this,
        [this](QTreeWidgetItem* item, int) { OnActivated(item); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_tree, 1);
    layout->addWidget(buttons);
    resize(900, 420);
    Refresh();
}

void CUniverseReportDlg::Refresh()
{
    m_rows = BuildUniverseReport(m_doc);
    // The current row stays current across a rebuild, found by its universe.
    int current = -1;
    if (const QTreeWidgetItem* item = m_tree->currentItem()) {
        const QTreeWidgetItem* top = item->parent() ? item->parent() : item;
        current = top->data(Universe, kRowRole).toInt();
    }
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    const QBrush conflictBrush(kConflictColour);
    const QBrush unconnectedBrush(kUnconnectedColour);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(m_rows.size()));
    int conflicts = 0;
    int unconnected = 0;
    QTreeWidgetItem* currentItem = nullptr;
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        const CUniverseReportRow& row = m_rows[r];
        auto* item = new QTreeWidgetItem;
        item->setText(Universe, Text(UniverseText(row.universe)));
        item->setText(Channels, QString::number(row.channelsUsed));
        item->setText(Highest, Text(UsageText(row)));
        item->setText(Sections, Text(OccupantsText(row)));
        item->setText(Output, Text(OutputText(m_doc, row)));
        item->setData(Universe, kRowRole, row.universe);
        item->setData(Universe, kConflictRole, -1);
        item->setData(Channels, kRowRole, static_cast<int>(r));
        if (!row.conflicts.empty()) {
            conflicts += static_cast<int>(row.conflicts.size());
            item->setText(Conflicts,
                row.conflicts.size() == 1
                    ? QStringLiteral("1 conflict")
                    : QStringLiteral("%1 conflicts").arg(row.conflicts.size()));
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
        if (!row.IsConnected())
            ++unconnected;
        if (row.NeedsAttention()) {
            const QBrush& brush = row.conflicts.empty() ? unconnectedBrush : conflictBrush;
            for (int column = 0; column < ColumnCount; ++column)
                item->setBackground(column, brush);
        }
        if (row.universe == current)
            currentItem = item;
        items.append(item);
    }
    m_tree->addTopLevelItems(items);
    // Conflicts are listed open while they are few; a wall laid over another has millions,
    // and those are made only when their universe is opened.
    if (conflicts <= kOpenConflicts)
        for (QTreeWidgetItem* item : items)
            if (item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator)
                item->setExpanded(true);
    if (currentItem)
        m_tree->setCurrentItem(currentItem);
    for (int column = 0; column < Conflicts; ++column)
        m_tree->resizeColumnToContents(column);
    m_tree->setUpdatesEnabled(true);
    const auto count = [](std::size_t n, const char* one, const char* many) {
        return QString::number(n) + QLatin1Char(' ') + QString::fromLatin1(n == 1 ? one : many);
    };
    m_summary->setText(count(m_rows.size(), "universe", "universes") + QStringLiteral(" in use, ")
        + count(static_cast<std::size_t>(conflicts), "conflict", "conflicts") + QStringLiteral(", ")
        + QString::number(unconnected) + QStringLiteral(" not connected."));
}

void CUniverseReportDlg::AddConflictItems(QTreeWidgetItem* item)
{
    if (item->parent() != nullptr || item->childCount() > 0)
        return;
    const int r = item->data(Channels, kRowRole).toInt();
    if (r < 0 || static_cast<std::size_t>(r) >= m_rows.size())
        return;
    const CUniverseReportRow& row = m_rows[static_cast<std::size_t>(r)];
    const QBrush conflictBrush(kConflictColour);
    for (std::size_t c = 0; c < row.conflicts.size(); ++c) {
        auto* child = new QTreeWidgetItem(item);
        child->setText(Conflicts, Text(ConflictText(row.conflicts[c], kNamedTiles)));
        child->setData(Universe, kRowRole, row.universe);
        child->setData(Universe, kConflictRole, static_cast<int>(c));
        child->setData(Channels, kRowRole, r);
        for (int column = 0; column < ColumnCount; ++column)
            child->setBackground(column, conflictBrush);
    }
}

QString CUniverseReportDlg::ReportText() const
{
    return Text(UniverseReportText(m_doc, m_rows));
}

bool CUniverseReportDlg::TilesOf(
    const QTreeWidgetItem* item, int& section, QVector<QPoint>& tiles) const
{
    tiles.clear();
    if (item == nullptr)
        return false;
    const int r = item->data(Channels, kRowRole).toInt();
    const int c = item->data(Universe, kConflictRole).toInt();
    if (r < 0 || static_cast<std::size_t>(r) >= m_rows.size())
        return false;
    const CUniverseReportRow& row = m_rows[static_cast<std::size_t>(r)];
    if (c >= 0 && static_cast<std::size_t>(c) < row.conflicts.size()) {
        // A view shows one section: that of the conflict's first tile, with its tiles.
        const std::vector<CReportTile>& claimed = row.conflicts[static_cast<std::size_t>(c)].tiles;
        section = claimed.front().section;
        for (const CReportTile& tile : claimed)
            if (tile.section == section)
                tiles.append(QPoint(tile.column, tile.row));
        return true;
    }
    if (row.occupants.empty())
        return false;
    // The universe's tiles in its first section.
    section = row.occupants.front().section;
    const CSubDoc* sub = m_doc.GetSection(section);
    if (sub == nullptr)
        return false;
    const CUniverseOccupant& o = row.occupants.front();
    for (int y = o.firstRow; y <= o.lastRow; ++y) {
        for (int x = o.firstColumn; x <= o.lastColumn; ++x) {
            const CTileRecord* tile = sub->GetTile(x, y);
            if (tile && !tile->excluded && tile->universe == row.universe && tile->address >= 0)
                tiles.append(QPoint(x, y));
        }
    }
    return !tiles.isEmpty();
}

void CUniverseReportDlg::OnActivated(QTreeWidgetItem* item)
{
    int section = 0;
    QVector<QPoint> tiles;
    if (TilesOf(item, section, tiles))
        emit tilesRequested(section, tiles);
}

void CUniverseReportDlg::OnCopy()
{
    QApplication::clipboard()->setText(ReportText());
}
