#include "view/TileEditing.h"

#include "document/section/Addressing.h"
#include "document/QuiltmarkDoc.h"
#include "document/section/SubDoc.h"
#include "view/QuiltmarkView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

void ClampDragAxis(int& position, int& grab, int matrixSize, int blockSize, int tileSize)
{
    const int limit = std::max(matrixSize - blockSize, 0);
    if (position < 0) {
        if (grab + position >= 0)
            grab += position;
        position = 0;
    } else if (position > limit) {
        const int overshoot = position - limit;
        const int most = std::max(blockSize - tileSize + 1, 0);
        grab = std::max(grab, std::min(overshoot, most));
        position = limit + 1;
    }
}

CTileEditing::CTileEditing(CQuiltmarkDoc& doc, CQuiltmarkView& view, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_view(&view)
{
    view.AddInputFilter(this);
    // Moves without a button must reach us too: they end a drag whose release got lost.
    view.viewport()->setMouseTracking(true);
}

CTileEditing::~CTileEditing()
{
    CloseToggleEdit();
}

void CTileEditing::OpenToggleEdit()
{
    CloseToggleEdit();
    m_doc.BeginEdit("Toggle Tiles");
    m_editOpen = true;
}

void CTileEditing::CloseToggleEdit()
{
    if (!m_editOpen)
        return;
    m_editOpen = false;
    m_doc.EndEdit();
}

CSubDoc* CTileEditing::Section() const
{
    return m_doc.GetCurrentSection();
}

bool CTileEditing::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_view)
        return false;
    if (watched == m_view->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            // The first click of the pair already did its work.
            return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton)
                return false;
            m_view->setFocus(Qt::MouseFocusReason);
            OnLeftButtonDown(mouse->position().toPoint(), mouse->modifiers());
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            OnMouseMove(mouse->position().toPoint(), mouse->buttons());
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton)
                return false;
            OnLeftButtonUp(mouse->position().toPoint());
            return true;
        }
        default:
            return false;
        }
    }
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && m_state != State::Idle) {
            Cancel();
            return true;
        }
    }
    if (watched == m_view && event->type() == QEvent::FocusOut
        && (m_state == State::Dragging || m_editOpen)) {
        // Another window took the keyboard (a message box): nothing should move or paint
        // blindly, and what that window does is not part of the drag.
        Cancel();
    }
    return false;
}

void CTileEditing::Cancel()
{
    CloseToggleEdit();
    if (m_state == State::Idle || m_state == State::Cancelled)
        return;
    EndDrag();
    // Until the button comes up, further moves must not start a new drag.
    m_state = State::Cancelled;
    if (m_view) {
        m_view->ShowStatus(m_view->GetFocusColumn(), m_view->GetFocusRow());
        m_view->Redraw();
    }
}

void CTileEditing::OnLeftButtonDown(QPoint client, Qt::KeyboardModifiers modifiers)
{
    // A press whose release never came still had its step open.
    CloseToggleEdit();
    CSubDoc* section = Section();
    if (!m_view || !section)
        return;
    m_pressPoint = client;
    m_lastMouse = client;
    // A press that was cancelled or lost its release must not narrow a later selection.
    m_reduceOnRelease = false;
    const int previousColumn = m_view->GetFocusColumn();
    const int previousRow = m_view->GetFocusRow();
    m_view->RecomputeLayout();
    int column = 0;
    int row = 0;
    if (!m_view->HitTest(client, column, row) || !section->GetTile(column, row)) {
        m_state = State::Idle;
        return;
    }
    m_state = State::Pressed;
    m_view->SetFocusCell(column, row);
    if (m_view->GetTileMode() == TileMode::Toggle) {
        OpenToggleEdit();
        ToggleTile(column, row);
        emit documentChanged();
    } else {
        m_grab = QPoint(0, 0);
        SelectOnPress(*section, column, row, previousColumn, previousRow, modifiers);
    }
    m_view->ShowStatus(column, row);
    m_view->Redraw();
}

void CTileEditing::SelectOnPress(CSubDoc& section, int column, int row, int previousColumn,
    int previousRow, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    CTileRecord* tile = section.GetTile(column, row);
    // A plain press on a tile of the selection keeps the selection, so that the whole
    // block can be dragged; a click without a drag still selects only this tile.
    m_reduceOnRelease = !ctrl && !shift && tile->selected;
    if (m_reduceOnRelease)
        return;
    if (!ctrl)
        section.SelectAll(false);
    tile->selected = tile->selected ? 0 : 1;
    if (shift && section.GetTile(previousColumn, previousRow))
        section.SelectRect(previousColumn, previousRow, column, row);
}

void CTileEditing::ToggleTile(int column, int row)
{
    CSubDoc& section = *Section();
    const CTileRecord* tile = section.GetTile(column, row);
    m_paintState = !tile->excluded;
    m_lastPaintColumn = column;
    m_lastPaintRow = row;
    m_doc.ExcludeTiles(section, { { column, row } }, m_paintState);
}

bool CTileEditing::PaintTowards(int column, int row)
{
    // A fast pointer skips cells between two mouse events: paint every cell on the way.
    const int fromColumn = m_lastPaintColumn < 0 ? column : m_lastPaintColumn;
    const int fromRow = m_lastPaintRow < 0 ? row : m_lastPaintRow;
    const int dc = column - fromColumn;
    const int dr = row - fromRow;
    const int steps = std::max(std::abs(dc), std::abs(dr));
    std::vector<std::pair<int, int>> cells;
    for (int i = 1; i <= steps; ++i) {
        const int c
            = fromColumn + static_cast<int>(std::lround(static_cast<double>(dc) * i / steps));
        const int r = fromRow + static_cast<int>(std::lround(static_cast<double>(dr) * i / steps));
        // The tile pressed on keeps the state it was toggled to.
        if (c != m_view->GetFocusColumn() || r != m_view->GetFocusRow())
            cells.emplace_back(c, r);
    }
    m_lastPaintColumn = column;
    m_lastPaintRow = row;
    return m_doc.ExcludeTiles(*Section(), cells, m_paintState) > 0;
}

void CTileEditing::OnMouseMove(QPoint client, Qt::MouseButtons buttons)
{
    CSubDoc* section = Section();
    if (!m_view || !section)
        return;
    if (m_state != State::Idle && !(buttons & Qt::LeftButton)) {
        // The release went elsewhere: end without a move.
        CloseToggleEdit();
        EndDrag();
        m_state = State::Idle;
        m_view->Redraw();
        return;
    }
    const TileMode mode = m_view->GetTileMode();
    if (mode == TileMode::MoveEdit && m_state == State::Pressed) {
        const int reach = QApplication::startDragDistance() + 5;
        const QPoint d = client - m_pressPoint;
        if (std::abs(d.x()) > reach || std::abs(d.y()) > reach)
            BeginDrag();
    }
    if (mode == TileMode::Toggle && m_state == State::Pressed) {
        int column = 0;
        int row = 0;
        if (m_view->HitTest(client, column, row) && section->GetTile(column, row)) {
            if ((column != m_lastPaintColumn || row != m_lastPaintRow)
                && PaintTowards(column, row)) {
                m_view->Redraw();
                emit documentChanged();
            }
            m_view->ShowStatus(column, row);
        }
    }
    if (m_state == State::Dragging) {
        m_view->viewport()->setCursor(Qt::SizeAllCursor);
        int column = 0;
        int row = 0;
        if (DragTarget(client, column, row)) {
            ShowMoveTargets(column, row);
            m_view->ShowStatus(column, row);
            m_view->Redraw();
        }
    }
    m_lastMouse = client;
}

bool CTileEditing::BeginDrag()
{
    CSubDoc* section = Section();
    const std::optional<CTileRect> bounds = section->GetSelectionBounds();
    // Nothing selected: there is nothing to move.
    if (!bounds)
        return false;
    m_reduceOnRelease = false;
    m_view->RecomputeLayout();
    const CViewLayout& layout = m_view->GetLayout();
    // Measured at the press, so that the block stays under the point that was grabbed
    // instead of lagging behind by the drag threshold.
    // Positions are taken as drawn, from the matrix's drawn left edge, so that the rear
    // view drags the block the way the pointer goes.
    const QPoint relative = m_pressPoint + m_view->ScrollPosition() - layout.MatrixRect().topLeft();
    const int drawnColumn = layout.DrawnBlockColumn(bounds->x, bounds->w);
    m_grab = QPoint(relative.x() < 0 ? 0 : relative.x() - drawnColumn * layout.tile.width(),
        relative.y() < 0 ? 0 : relative.y() - bounds->y * layout.tile.height());
    m_state = State::Dragging;
    m_view->SetDragging(true);
    m_view->viewport()->setCursor(Qt::SizeAllCursor);
    return true;
}

bool CTileEditing::DragTarget(QPoint client, int& column, int& row)
{
    const CSubDoc* section = Section();
    const std::optional<CTileRect> bounds = section->GetSelectionBounds();
    const CViewLayout& layout = m_view->GetLayout();
    const int tw = std::max(layout.tile.width(), 1);
    const int th = std::max(layout.tile.height(), 1);
    if (!bounds)
        return false;
    const QPoint relative = client + m_view->ScrollPosition() - layout.MatrixRect().topLeft();
    int x = relative.x() - m_grab.x();
    int y = relative.y() - m_grab.y();
    ClampDragAxis(x, m_grab.rx(), section->GetTileColumns() * tw, bounds->w * tw, tw);
    ClampDragAxis(y, m_grab.ry(), section->GetTileRows() * th, bounds->h * th, th);
    // limit + 1 stays in the last cell only for tiles wider than one pixel.
    column = layout.DrawnBlockColumn(
        std::min(x / tw, section->GetTileColumns() - bounds->w), bounds->w);
    row = std::min(y / th, section->GetTileRows() - bounds->h);
    return true;
}

void CTileEditing::ShowMoveTargets(int column, int row)
{
    CSubDoc& section = *Section();
    section.SetAllMoveTargets(false);
    const std::optional<CTileRect> bounds = section.GetSelectionBounds();
    if (!bounds)
        return;
    for (int j = 0; j < bounds->h; ++j) {
        for (int i = 0; i < bounds->w; ++i) {
            const CTileRecord* source = section.GetTile(bounds->x + i, bounds->y + j);
            CTileRecord* target = section.GetTile(column + i, row + j);
            if (source && target)
                target->moveTarget = source->selected;
        }
    }
}

void CTileEditing::EndDrag()
{
    if (CSubDoc* section = Section())
        section->SetAllMoveTargets(false);
    if (!m_view)
        return;
    if (m_view->IsDragging())
        m_view->SetDragging(false);
    m_view->viewport()->unsetCursor();
}

void CTileEditing::OnLeftButtonUp(QPoint client)
{
    CSubDoc* section = Section();
    const State state = m_state;
    m_state = State::Idle;
    CloseToggleEdit();
    if (!m_view || !section)
        return;
    if (state == State::Pressed && m_reduceOnRelease) {
        // The press kept the selection for a drag that did not come: select just this tile.
        m_reduceOnRelease = false;
        section->SelectAll(false);
        if (CTileRecord* tile = section->GetTile(m_view->GetFocusColumn(), m_view->GetFocusRow()))
            tile->selected = 1;
        m_view->Redraw();
        return;
    }
    if (state != State::Dragging) {
        if (state == State::Cancelled)
            m_view->Redraw();
        return;
    }
    int column = 0;
    int row = 0;
    const bool hit = DragTarget(client, column, row);
    EndDrag();
    if (hit) {
        m_view->SetFocusCell(column, row);
        const std::optional<CTileRect> bounds = section->GetSelectionBounds();
        if (bounds && (bounds->x != column || bounds->y != row)) {
            m_doc.MoveSelectedTiles(*section, column, row);
            emit documentChanged();
        }
        m_view->ShowStatus(column, row);
    }
    m_grab = QPoint(0, 0);
    m_view->Redraw();
}
