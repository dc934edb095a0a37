#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class CQuiltmarkDoc;
class CQuiltmarkView;
class CSubDoc;
class QKeyEvent;
class QMouseEvent;

// Keeps a dragged block inside the matrix along one axis. `position` is the pointer minus
// the grab offset, relative to the matrix origin; it comes back clamped to 0..limit + 1
// (limit = matrix - block), so that integer division by the tile size gives a cell from
// which the block stays flush with the edge. The grab offset follows the pointer beyond
// an edge so that the block moves back as soon as the pointer does.
void ClampDragAxis(int& position, int& grab, int matrixSize, int blockSize, int tileSize);

// The mouse and keyboard side of the matrix view. In Toggle mode a press toggles a tile
// and a drag paints that state onto the tiles passed; in Move/Edit mode clicks select
// and a drag moves the selected block. A small state machine: idle -> pressed ->
// dragging -> idle, driven by the view's viewport events.
class CTileEditing : public QObject {
    Q_OBJECT

public:
    enum class State { Idle, Pressed, Dragging, Cancelled };

    CTileEditing(CQuiltmarkDoc& doc, CQuiltmarkView& view, QObject* parent = nullptr);
    ~CTileEditing() override;

    State GetState() const { return m_state; }
    QPoint GetGrabOffset() const { return m_grab; }
    // Stops a press or drag without moving anything (mode switch, Esc, Undo). Tiles a
    // toggle drag already painted stay so and form its step of the history.
    void Cancel();

signals:
    // Tiles of the document changed (toggled, painted or moved).
    void documentChanged();

public:
    // The steps, in client coordinates of the viewport.
    void OnLeftButtonDown(QPoint client, Qt::KeyboardModifiers modifiers);
    void OnMouseMove(QPoint client, Qt::MouseButtons buttons);
    void OnLeftButtonUp(QPoint client);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CSubDoc* Section() const;
    // Cell under the pointer minus the grab offset, clamped so the selection stays inside.
    bool DragTarget(QPoint client, int& column, int& row);
    bool BeginDrag();
    void ShowMoveTargets(int column, int row);
    void EndDrag();
    void ToggleTile(int column, int row);
    // Paints every cell from the last painted one to (column, row); true when any changed.
    bool PaintTowards(int column, int row);
    // A toggle press opens one step of the history for the whole drag; every way out of
    // the drag closes it, so no later edit joins it.
    void OpenToggleEdit();
    void CloseToggleEdit();
    void SelectOnPress(CSubDoc& section, int column, int row, int previousColumn, int previousRow,
        Qt::KeyboardModifiers modifiers);

    CQuiltmarkDoc& m_doc;
    QPointer<CQuiltmarkView> m_view;
    State m_state = State::Idle;
    QPoint m_pressPoint;
    bool m_paintState = false; // excluded state a toggle drag paints
    bool m_reduceOnRelease = false; // press on a selected tile: narrow the selection on release
    bool m_editOpen = false;
    int m_lastPaintColumn = -1;
    int m_lastPaintRow = -1;
    QPoint m_grab;
    QPoint m_lastMouse;
};
