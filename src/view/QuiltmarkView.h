#pragma once

#include "shell/toolkit/Commands.h"
#include "view/Connections.h"
#include "view/EditPrompts.h"
#include "view/SectionPainter.h"
#include "view/ViewGeometry.h"

#include <QAbstractScrollArea>
#include <QPixmap>
#include <future>
#include <vector>

class CQuiltmarkDoc;
class CSubDoc;

// The single scrolling view of the main window: shows and edits the current section.
// Groups of commands (sections, editing, devices, printing) plug in as handlers that the
// view consults before its own commands, so each concern stays in its own file.
class CQuiltmarkView : public QAbstractScrollArea, public CCommandBindings {
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
    // Invalidates the whole client area. Call after every change of tiles: it also marks
    // the connection chains kept between paints as out of date.
    void Redraw();
    // Chains of large sections are rebuilt aside; this waits until they are in place
    // (tests, benchmarks). Returns at once when nothing is being built.
    void WaitForConnections();
    // The chains the next paint draws when they match the tiles as they are now; null
    // otherwise (tests).
    const CConnectionChains* CurrentChains() const;

    // Lays out the current section for the client area (as every paint does first).
    const CViewLayout& RecomputeLayout();
    const CViewLayout& GetLayout() const { return m_layout; }
    QPoint ScrollPosition() const;
    // Tile under a client point (scroll position included); false off the tiles.
    bool HitTest(QPoint client, int& column, int& row) const;
    // Draws what the window shows for `area` (client coordinates) onto any painter.
    void RenderTo(QPainter& painter, const QRect& area);

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
    // The wall as seen from behind: columns mirrored, addresses unchanged. Like the other
    // view settings it lives only in the view.
    bool IsRearView() const { return m_rear; }
    void SetRearView(bool rear);

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
    // What the tool tip says about a tile of the current section; empty off the tiles.
    QString ToolTipText(int column, int row) const;

    // ---- go to ----------------------------------------------------------------------
    static constexpr const char* kGoToNotUnderstood
        = "Please enter a tile (B3 or 2:B3), a DMX address (U03.145 or 3.145) or a screen id.";
    // Asks for a tile, address or screen id and goes there; a message when nothing is
    // found, and then nothing changes.
    void OnGoTo();
    // Makes `section` current, selects just the tile, gives it the focus and scrolls it
    // to the middle of the window. False, with nothing changed, for a tile that is not there.
    bool GoToTile(int section, int column, int row);
    void SetGoToPrompt(CTextPrompt prompt) { m_goToPrompt = std::move(prompt); }

signals:
    // Text of the status bar's first pane (tile position and DMX range).
    void statusTextChanged(const QString& text);
    // The document's section list changed shape (after New/Open): refill the sections bar.
    void sectionsReset();
    // A mode shown checked on the menus changed: zoom, connections, switches or tile mode.
    void modesChanged();
    // The view is being destroyed and is still whole: whoever filters its events stops now.
    void destroying();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BindCommands();
    CLayoutInput MakeLayoutInput(const CSubDoc& section) const;
    CSectionPaintState MakePaintState() const;
    void UpdateScrollBars(QSize total);
    // Repaints after a change of view settings only; the tiles stayed as they were.
    void Repaint();

    // What a set of chains was built from. The generation counts Redraw calls, so chains
    // of an older generation may no longer match the tiles.
    struct CChainsKey {
        const CSubDoc* section = nullptr;
        const void* tiles = nullptr;
        int tileCount = 0;
        int columns = 0; // a reshaped grid of the same size moves every tile
        int highestAddress = 0;
        ConnectionOrder order = ConnectionOrder::ByPosition;
        unsigned generation = 0;

        // Same grid and order: such chains may stand in while newer ones are built.
        bool SameShape(const CChainsKey& o) const
        {
            return section == o.section && tileCount == o.tileCount && columns == o.columns
                && order == o.order;
        }
        bool operator==(const CChainsKey& o) const
        {
            return SameShape(o) && tiles == o.tiles && highestAddress == o.highestAddress
                && generation == o.generation;
        }
    };
    CChainsKey ChainsKeyOf(const CSubDoc& section) const;
    // The chains to draw: the current ones, or those of the last edit while the current
    // ones are built aside; null when there are none for this grid yet.
    const CConnectionChains* Chains(const CSubDoc& section);
    void StartChainBuild(const CSubDoc& section, const CChainsKey& key);
    void TakeBuiltChains();

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
    bool m_rear = false;
    QPixmap m_emptyPicture;
    CTextPrompt m_goToPrompt;
    QString m_lastGoTo;

    // Chains are rebuilt when Redraw is called or the section, order or tiles change.
    // Large sections build them on a worker from a copy of the tiles, so that a paint
    // never waits for them; the previous chains are drawn until the new ones arrive.
    CConnectionChains m_chains;
    bool m_haveChains = false;
    CChainsKey m_chainsKey;
    unsigned m_generation = 1;
    std::future<CConnectionChains> m_build;
    CChainsKey m_buildKey;
    CChainGrid m_snapshot; // the worker's input; only written while none runs
};
