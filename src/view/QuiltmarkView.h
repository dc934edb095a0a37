#pragma once

#include "shell/Commands.h"
#include "view/Connections.h"
#include "view/SectionPainter.h"
#include "view/ViewGeometry.h"

#include <QAbstractScrollArea>
#include <QPixmap>
#include <vector>

class CQuiltmarkDoc;
class CSubDoc;

// The single scrolling view of the main window: shows and edits the current section.
// Groups of commands (sections, editing, devices, printing) plug in as handlers that the
// view consults before its own commands, so each concern stays in its own file.
class CQuiltmarkView : public QAbstractScrollArea, public ICommandTarget {
    Q_OBJECT

public:
    explicit CQuiltmarkView(CQuiltmarkDoc& doc, QWidget* parent = nullptr);
    ~CQuiltmarkView() override;

    CQuiltmarkDoc& GetDocument() { return m_doc; }

    // Handlers are not owned; they must outlive the view or be removed first.
    void AddCommandHandler(ICommandTarget* handler);
    void RemoveCommandHandler(ICommandTarget* handler);
    // Lets `filter` see the events of the view and its viewport until the view is torn
    // down; events sent during the teardown are no longer the view's.
    void AddInputFilter(QObject* filter);

    bool OnCommand(CommandId id) override;
    bool OnUpdateCommand(CommandId id, CCommandState& state) override;

    // After File New / File Open: focus cell back to the first tile, layout and redraw.
    void OnInitialUpdate();
    // Invalidates the whole client area. Call after every change of tiles: it also drops
    // the connection chains kept between paints.
    void Redraw();

    // ---- geometry -------------------------------------------------------------------
    // Lays out the current section for the client area (as every paint does first).
    const CViewLayout& RecomputeLayout();
    const CViewLayout& GetLayout() const { return m_layout; }
    QPoint ScrollPosition() const;
    // Tile under a client point (scroll position included); false off the tiles.
    bool HitTest(QPoint client, int& column, int& row) const;
    // Draws what the window shows for `area` (client coordinates) onto any painter.
    void RenderTo(QPainter& painter, const QRect& area);

    // ---- view state -------------------------------------------------------------------
    int GetZoom() const { return m_zoom; }
    ZoomMode GetZoomMode() const { return m_zoomMode; }
    void SetZoom(int percent); // switches to Manual
    void SetZoomMode(ZoomMode mode);
    void ZoomIn();
    void ZoomOut();
    bool IsShowingSwitches() const { return m_showSwitches; }
    void SetShowSwitches(bool show);
    ConnectionMode GetConnectionMode() const { return m_connectionMode; }
    void SetConnectionMode(ConnectionMode mode);
    ConnectionOrder GetConnectionOrder() const { return m_connectionOrder; }
    void SetConnectionOrder(ConnectionOrder order);

    // State of the editing side, drawn here.
    TileMode GetTileMode() const { return m_tileMode; }
    void SetTileMode(TileMode mode);
    int GetFocusColumn() const { return m_focusColumn; }
    int GetFocusRow() const { return m_focusRow; }
    void SetFocusCell(int column, int row);
    bool IsDragging() const { return m_dragging; }
    void SetDragging(bool dragging);

    // "POS: B3    DMX: U01.1 ... 3" for the status bar's first pane.
    QString StatusText(int column, int row) const;
    // Sends the status text of a tile to the status bar.
    void ShowStatus(int column, int row);

signals:
    // Text of the status bar's first pane (tile position and DMX range).
    void statusTextChanged(const QString& text);
    // The document's section list changed shape (after New/Open): refill the sections bar.
    void sectionsReset();
    // The view is being destroyed and is still whole: whoever filters its events stops now.
    void destroying();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CLayoutInput MakeLayoutInput(const CSubDoc& section) const;
    CSectionPaintState MakePaintState() const;
    void UpdateScrollBars(QSize total);
    const CConnectionChains& Chains(const CSubDoc& section);

    CQuiltmarkDoc& m_doc;
    std::vector<ICommandTarget*> m_handlers;

    CViewLayout m_layout;
    int m_zoom = 100;
    ZoomMode m_zoomMode = ZoomMode::Page;
    bool m_showSwitches = false;
    ConnectionMode m_connectionMode = ConnectionMode::Hidden;
    ConnectionOrder m_connectionOrder = ConnectionOrder::ByPosition;
    TileMode m_tileMode = TileMode::Toggle;
    int m_focusColumn = 0;
    int m_focusRow = 0;
    bool m_dragging = false;
    QPixmap m_emptyPicture;

    // Chains are rebuilt when Redraw is called or the section, order or tiles change.
    CConnectionChains m_chains;
    bool m_chainsValid = false;
    const CSubDoc* m_chainsSection = nullptr;
    const void* m_chainsTiles = nullptr;
    int m_chainsTileCount = 0;
    int m_chainsColumns = 0; // a reshaped grid of the same size moves every tile
    int m_chainsHighestAddress = 0;
    ConnectionOrder m_chainsOrder = ConnectionOrder::ByPosition;
};
