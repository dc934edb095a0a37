#pragma once

#include "document/UniverseReport.h"

#include <QDialog>
#include <QPoint>
#include <QVector>
#include <vector>

class CQuiltmarkDoc;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The universes in use with their channels, sections, output port and conflicts. It stays
// open beside the window and is rebuilt whenever it is told the project changed; it never
// changes the project itself, it only asks for tiles to be shown and for a file to be saved.
class CUniverseReportDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Universe Report";

    explicit CUniverseReportDlg(const CQuiltmarkDoc& doc, QWidget* parent = nullptr);

    // Reads the project again (call after every change of it).
    void Refresh();
    const std::vector<CUniverseReportRow>& Rows() const { return m_rows; }
    QTreeWidget* Tree() const { return m_tree; }
    // What Copy puts on the clipboard.
    QString ReportText() const;
    // The tiles a double-click on `item` asks for: one section, its tiles in that row or
    // conflict. False for an item that names none.
    bool TilesOf(const QTreeWidgetItem* item, int& section, QVector<QPoint>& tiles) const;

signals:
    void tilesRequested(int section, const QVector<QPoint>& tiles);
    void saveCsvRequested();

private:
    void OnActivated(QTreeWidgetItem* item);
    void AddConflictItems(QTreeWidgetItem* item);
    void OnCopy();

    const CQuiltmarkDoc& m_doc;
    std::vector<CUniverseReportRow> m_rows;
    QTreeWidget* m_tree;
    QLabel* m_summary;
};
