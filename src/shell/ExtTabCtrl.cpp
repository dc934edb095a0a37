#include "shell/ExtTabCtrl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QToolButton>

namespace {

constexpr int kMarginX = 15;
constexpr int kMarginY = 4;
constexpr int kTextOffset = 5;
constexpr int kMaxLabelLimit = 256;

// Characters of the label as the user counts them (a character outside the basic plane
// is one character, not two).
int CharacterCount(const QString& text)
{
    int count = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++count;
    }
    return count;
}

bool IsAcceptedCharacter(char32_t c)
{
    return c >= 32 && c != 127 && !(c >= 0x80 && c < 0xA0) && QChar::isPrint(c);
}

} // namespace

CExtTabCtrl::CExtTabCtrl(QWidget* parent)
    : QTabBar(parent)
{
    setObjectName(QStringLiteral("sectionTabs"));
    setExpanding(false);
    setElideMode(Qt::ElideNone);
    setUsesScrollButtons(true);
    setDrawBase(false);
    setFocusPolicy(Qt::StrongFocus);
    m_caretTimer.setInterval(qMax(100, QApplication::cursorFlashTime() / 2));
    connect(&m_caretTimer, &QTimer::timeout, this, [this] {
        m_caretVisible = !m_caretVisible;
        update();
    });
    connect(this, &QTabBar::currentChanged, this, [this](int index) {
        // Selecting another tab ends the edit of the previous one.
        if (IsEditing() && index != m_editedTab)
            Commit();
        if (!m_quiet && !m_dragging)
            emit selectionChanged(index);
    });
}

void CExtTabCtrl::SetMaxLabelLength(int length)
{
    m_maxLength = qBound(0, length, kMaxLabelLimit);
}

QString CExtTabCtrl::Prefix(int index)
{
    return QStringLiteral("S%1: ").arg(index + 1);
}

void CExtTabCtrl::SetLabel(int index, const QString& label)
{
    setTabText(index, label.left(kMaxLabelLimit));
}

int CExtTabCtrl::InsertItem(int index, const QString& label)
{
    // A menu command may arrive while a label is being typed; keep what was typed.
    Commit();
    m_quiet = true;
    const int at = insertTab(index, label.left(kMaxLabelLimit));
    m_quiet = false;
    return at;
}

void CExtTabCtrl::DeleteItem(int index)
{
    // Indices shift under a running edit: give the old label back first.
    CancelEdit();
    m_quiet = true;
    removeTab(index);
    m_quiet = false;
}

void CExtTabCtrl::DeleteAllItems()
{
    CancelEdit();
    m_quiet = true;
    while (count() > 0)
        removeTab(count() - 1);
    m_quiet = false;
}

void CExtTabCtrl::SetCurSel(int index)
{
    m_quiet = true;
    setCurrentIndex(index);
    m_quiet = false;
}

void CExtTabCtrl::SetCurFocus(int index)
{
    if (index >= 0 && index < count() && index != currentIndex())
        setCurrentIndex(index);
}

// ---- editing -----------------------------------------------------------------------

void CExtTabCtrl::StartEdit(int index)
{
    if (index < 0 || index >= count() || m_dragging)
        return;
    if (IsEditing())
        Commit();
    m_editState = EditState::Editing;
    m_editedTab = index;
    m_editText = m_savedLabel = tabText(index);
    m_caret = m_editText.size();
    m_caretVisible = true;
    m_caretTimer.start();
    setFocus(Qt::MouseFocusReason);
    update();
}

void CExtTabCtrl::Commit()
{
    if (m_editState != EditState::Editing)
        return;
    m_editState = EditState::Committed;
    m_caretTimer.stop();
    update();
    emit labelEdited(this);
    // An owner that does not answer keeps the label as typed.
    if (m_editState == EditState::Committed)
        EndEdit(true);
}

void CExtTabCtrl::EndEdit(bool accept)
{
    if (m_editState == EditState::None)
        return;
    if (!accept && m_editedTab >= 0 && m_editedTab < count())
        setTabText(m_editedTab, m_savedLabel);
    m_editState = EditState::None;
    m_caretTimer.stop();
    update();
}

void CExtTabCtrl::CancelEdit()
{
    if (m_editState == EditState::None)
        return;
    m_editState = EditState::CancelRequested;
    EndEdit(false);
}

void CExtTabCtrl::ShowEditText()
{
    m_caretVisible = true;
    m_caretTimer.start();
    setTabText(m_editedTab, m_editText);
    update();
}

void CExtTabCtrl::keyPressEvent(QKeyEvent* event)
{
    if (!IsEditing()) {
        QTabBar::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Commit();
        return;
    case Qt::Key_Escape:
        CancelEdit();
        return;
    case Qt::Key_Backspace:
        if (m_caret > 0) {
            int from = m_caret - 1;
            if (from > 0 && m_editText.at(from).isLowSurrogate())
                --from;
            m_editText.remove(from, m_caret - from);
            m_caret = from;
        }
        break;
    case Qt::Key_Delete:
        if (m_caret < m_editText.size()) {
            const int n = m_editText.at(m_caret).isHighSurrogate() ? 2 : 1;
            m_editText.remove(m_caret, n);
        }
        break;
    case Qt::Key_Home:
        m_caret = 0;
        break;
    case Qt::Key_End:
        m_caret = m_editText.size();
        break;
    case Qt::Key_Left:
        if (m_caret > 0)
            m_caret -= (m_caret > 1 && m_editText.at(m_caret - 1).isLowSurrogate()) ? 2 : 1;
        break;
    case Qt::Key_Right:
        if (m_caret < m_editText.size())
            m_caret += m_editText.at(m_caret).isHighSurrogate() ? 2 : 1;
        break;
    default: {
        const QString typed = event->text();
        for (char32_t c : typed.toUcs4()) {
            if (!IsAcceptedCharacter(c) || CharacterCount(m_editText) >= m_maxLength)
                continue;
            const QString piece = QString::fromUcs4(&c, 1);
            m_editText.insert(m_caret, piece);
            m_caret += piece.size();
        }
        break;
    }
    }
    ShowEditText();
    event->accept();
}

bool CExtTabCtrl::event(QEvent* event)
{
    // While editing, the keys belong to the label, not to menu shortcuts or default buttons.
    if (event->type() == QEvent::ShortcutOverride && IsEditing()) {
        auto* key = static_cast<QKeyEvent*>(event);
        const auto mods = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        if (mods == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::WindowDeactivate && m_dragging)
        CancelDrag();
    return QTabBar::event(event);
}

void CExtTabCtrl::focusOutEvent(QFocusEvent* event)
{
    // An opening menu takes the focus only for a moment; anything else ends the edit.
    if (IsEditing() && event->reason() != Qt::PopupFocusReason)
        Commit();
    QTabBar::focusOutEvent(event);
}

// ---- drawing -----------------------------------------------------------------------

QSize CExtTabCtrl::tabSizeHint(int index) const
{
    // Fixed-size tabs: every tab is as wide as the widest label needs.
    const QFontMetrics fm(font());
    int width = 60;
    for (int i = 0; i < count(); ++i)
        width = qMax(width, fm.horizontalAdvance(Prefix(i) + tabText(i)) + 2 * kMarginX + 4);
    const int height = qMax(QTabBar::tabSizeHint(index).height(), fm.height() + 2 * kMarginY + 6);
    return QSize(width, height);
}

QSize CExtTabCtrl::minimumTabSizeHint(int index) const
{
    return tabSizeHint(index);
}

QRect CExtTabCtrl::LabelRect(int index) const
{
    const QRect tab = tabRect(index);
    const QFontMetrics fm(font());
    const int x = tab.left() + kTextOffset + fm.horizontalAdvance(Prefix(index));
    const int y = tab.top() + (tab.height() - fm.height()) / 2;
    return QRect(x, y, fm.horizontalAdvance(tabText(index)), fm.height());
}

void CExtTabCtrl::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    const QFontMetrics fm(font());
    const int selected = currentIndex();
    // The selected tab is drawn last, over its neighbours.
    QList<int> order;
    for (int i = 0; i < count(); ++i) {
        if (i != selected)
            order.append(i);
    }
    if (selected >= 0)
        order.append(selected);

    const QColor hot = palette().color(QPalette::Link);
    for (int i : order) {
        QStyleOptionTab option;
        initStyleOption(&option, i);
        option.text.clear();
        painter.drawControl(QStyle::CE_TabBarTab, option);

        const QRect tab = tabRect(i);
        const int top = tab.top() + (tab.height() - fm.height()) / 2;
        painter.setPen(PrefixColour());
        painter.drawText(QPoint(tab.left() + kTextOffset, top + fm.ascent()), Prefix(i));

        const QRect label = LabelRect(i);
        if (i == m_editedTab && m_editState == EditState::Editing) {
            const QRect frame = label.adjusted(-2, -2, 2, 2);
            painter.fillRect(frame, palette().color(QPalette::Button));
            QPen dotted(palette().color(QPalette::WindowText), 1, Qt::DotLine);
            painter.setPen(dotted);
            painter.drawRect(frame.adjusted(0, 0, -1, -1));
        }
        painter.setPen(hot);
        painter.drawText(QPoint(label.left(), top + fm.ascent()), tabText(i));
        if (i == m_editedTab && m_editState == EditState::Editing && m_caretVisible) {
            const int x = label.left() + fm.horizontalAdvance(m_editText.left(m_caret));
            painter.fillRect(
                QRect(x, label.top(), 1, fm.height()), palette().color(QPalette::WindowText));
        }
    }
    if (m_dragging && !m_marker.isEmpty())
        painter.fillRect(m_marker, hot);
}

// ---- mouse: click to edit, drag to reorder ------------------------------------------

void CExtTabCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QTabBar::mousePressEvent(event);
        return;
    }
    const int index = tabAt(event->position().toPoint());
    m_pressed = true;
    m_pressTab = index;
    m_pressPos = event->position().toPoint();
    m_pressOnCurrent = index >= 0 && index == currentIndex();
    if (IsEditing() && index != m_editedTab)
        Commit();
    QTabBar::mousePressEvent(event);
}

void CExtTabCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_pressed && !m_dragging && !IsEditing() && count() >= 2 && m_pressTab >= 0
        && (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragging = true;
        m_dragSource = m_pressTab;
        setCursor(Qt::DragMoveCursor);
    }
    if (m_dragging) {
        UpdateDrag(pos);
        return;
    }
    QTabBar::mouseMoveEvent(event);
}

void CExtTabCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QTabBar::mouseReleaseEvent(event);
        return;
    }
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (m_dragging) {
        FinishDrag();
        return;
    }
    QTabBar::mouseReleaseEvent(event);
    if (wasPressed && m_pressOnCurrent && m_editState == EditState::None
        && tabAt(event->position().toPoint()) == m_pressTab)
        StartEdit(m_pressTab);
}

int CExtTabCtrl::DropPosition(const QPoint& pos) const
{
    for (int i = 0; i < count(); ++i) {
        const QRect r = tabRect(i);
        if (pos.x() <= r.right())
            return pos.x() >= r.center().x() ? i + 1 : i;
    }
    return count();
}

QRect CExtTabCtrl::MarkerFor(int position) const
{
    if (count() == 0)
        return {};
    if (position < count()) {
        const QRect r = tabRect(position);
        return QRect(r.left(), r.top(), 2, r.height());
    }
    const QRect r = tabRect(count() - 1);
    return QRect(r.right() - 1, r.top(), 2, r.height());
}

void CExtTabCtrl::UpdateDrag(const QPoint& pos)
{
    if (pos.x() < 0)
        ScrollTabs(true);
    else if (pos.x() > width())
        ScrollTabs(false);
    m_dropPosition = DropPosition(pos);
    const QRect marker = MarkerFor(m_dropPosition);
    if (marker != m_marker) {
        update(m_marker.adjusted(-1, -1, 1, 1));
        m_marker = marker;
        update(m_marker.adjusted(-1, -1, 1, 1));
    }
}

void CExtTabCtrl::ScrollTabs(bool left)
{
    // The strip's own scroll arrows know the scroll position; press the matching one.
    for (QToolButton* button : findChildren<QToolButton*>()) {
        if (!button->isVisible() || !button->isEnabled())
            continue;
        const bool isLeft = button->arrowType() == Qt::LeftArrow;
        if (isLeft == left) {
            button->click();
            return;
        }
    }
}

void CExtTabCtrl::FinishDrag()
{
    const int source = m_dragSource;
    const int position = m_dropPosition;
    CancelDrag();
    if (source < 0 || position < 0)
        return;
    const int final = position > source ? position - 1 : position;
    if (final == source)
        return;
    m_quiet = true;
    moveTab(source, final);
    setCurrentIndex(final);
    m_quiet = false;
    emit selectionChanged(final);
    emit tabMovedTo(source, final);
}

void CExtTabCtrl::CancelDrag()
{
    m_dragging = false;
    m_pressed = false;
    m_dragSource = -1;
    m_dropPosition = -1;
    update(m_marker.adjusted(-1, -1, 1, 1));
    m_marker = QRect();
    unsetCursor();
}
