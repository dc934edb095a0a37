#include "shell/toolkit/ExtTabCtrl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QToolButton>
#include <QValidator>

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

// Start of the character before `pos` (a surrogate pair is stepped over whole).
int PreviousCharacter(const QString& text, int pos)
{
    return pos > 1 && text.at(pos - 1).isLowSurrogate() && text.at(pos - 2).isHighSurrogate()
        ? pos - 2
        : pos - 1;
}

} // namespace

// Keeps control characters out of a label and stops it growing past the limit: what is
// typed or pasted beyond it is dropped, the text around it kept. A label that is already
// longer (read from a file) may be shortened but not lengthened.
class CLabelValidator : public QValidator {
public:
    using QValidator::QValidator;

    void SetLimit(int characters) { m_limit = characters; }

    State validate(QString& input, int& pos) const override
    {
        QString kept;
        int keptPos = 0;
        for (int i = 0; i < input.size();) {
            const int n = input.at(i).isHighSurrogate() && i + 1 < input.size()
                    && input.at(i + 1).isLowSurrogate()
                ? 2
                : 1;
            const QString piece = input.mid(i, n);
            if (IsAcceptedCharacter(piece.toUcs4().value(0)))
                kept += piece;
            if (i < pos)
                keptPos = kept.size();
            i += n;
        }
        if (pos >= input.size())
            keptPos = kept.size();
        // The newest characters sit just before the cursor: those go first.
        int excess = CharacterCount(kept) - m_limit;
        while (excess > 0 && keptPos > 0) {
            const int from = PreviousCharacter(kept, keptPos);
            kept.remove(from, keptPos - from);
            keptPos = from;
            --excess;
        }
        while (excess-- > 0 && !kept.isEmpty())
            kept.chop(kept.size() - PreviousCharacter(kept, kept.size()));
        input = kept;
        pos = keptPos;
        return Acceptable;
    }

private:
    int m_limit = 0;
};

CExtTabCtrl::CExtTabCtrl(QWidget* parent)
    : QTabBar(parent)
{
    setObjectName(QStringLiteral("sectionTabs"));
    setExpanding(false);
    setElideMode(Qt::ElideNone);
    setUsesScrollButtons(true);
    setDrawBase(false);
    setFocusPolicy(Qt::StrongFocus);
    m_editor = new QLineEdit(this);
    m_editor->setObjectName(QStringLiteral("tabLabelEditor"));
    m_editor->setFrame(false);
    m_editor->hide();
    m_validator = new CLabelValidator(m_editor);
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::textChanged, this, &CExtTabCtrl::OnEditorTextChanged);
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

void CExtTabCtrl::StartEdit(int index)
{
    if (index < 0 || index >= count() || m_dragging)
        return;
    if (IsEditing())
        Commit();
    m_editedTab = index;
    m_savedLabel = tabText(index);
    // The stored label is taken as it is, even when longer than a label may now grow.
    m_editor->setValidator(nullptr);
    m_editor->setText(m_savedLabel);
    m_validator->SetLimit(qMax(m_maxLength, CharacterCount(m_savedLabel)));
    m_editor->setValidator(m_validator);
    m_editState = EditState::Editing;
    PlaceEditor();
    m_editor->show();
    m_editor->setFocus(Qt::MouseFocusReason);
    update();
}

QString CExtTabCtrl::GetEditText() const
{
    return m_editor->text();
}

int CExtTabCtrl::GetCaret() const
{
    return m_editor->cursorPosition();
}

void CExtTabCtrl::OnEditorTextChanged(const QString& text)
{
    if (!IsEditing())
        return;
    // Text deleted makes room again, down to the limit.
    m_validator->SetLimit(qMax(m_maxLength, CharacterCount(text)));
    // The tab shows the label as typed and grows with it.
    setTabText(m_editedTab, text);
    PlaceEditor();
}

void CExtTabCtrl::PlaceEditor()
{
    if (m_editedTab < 0 || m_editedTab >= count())
        return;
    const QRect tab = tabRect(m_editedTab);
    const QFontMetrics fm(font());
    const int left = tab.left() + kTextOffset + fm.horizontalAdvance(Prefix(m_editedTab)) - 2;
    const int height = fm.height() + 4;
    const QRect place(left, tab.top() + (tab.height() - height) / 2,
        qMax(tab.right() - kTextOffset - left, fm.averageCharWidth()), height);
    if (m_editor->geometry() != place)
        m_editor->setGeometry(place);
}

void CExtTabCtrl::Commit()
{
    if (m_editState != EditState::Editing)
        return;
    m_editState = EditState::Committed;
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
    // The strip keeps the keyboard, as before the edit.
    if (m_editor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    update();
}

void CExtTabCtrl::CancelEdit()
{
    if (m_editState == EditState::None)
        return;
    m_editState = EditState::CancelRequested;
    EndEdit(false);
}

void CExtTabCtrl::ForwardToEditor(QEvent* event)
{
    // An event the editor leaves comes back here through its parent: it stops then.
    m_forwarding = true;
    QApplication::sendEvent(m_editor, event);
    m_forwarding = false;
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
        break;
    case Qt::Key_Escape:
        CancelEdit();
        break;
    default:
        if (!m_forwarding)
            ForwardToEditor(event);
        break;
    }
    event->accept();
}

bool CExtTabCtrl::event(QEvent* event)
{
    // While editing, the keys belong to the label, not to menu shortcuts or default buttons:
    // those without Ctrl or Alt, and the editor's own (select all, copy, paste, undo).
    if (event->type() == QEvent::ShortcutOverride && IsEditing() && !m_forwarding) {
        auto* key = static_cast<QKeyEvent*>(event);
        const auto mods = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        if (mods == Qt::NoModifier) {
            event->accept();
            return true;
        }
        event->ignore();
        ForwardToEditor(event);
        if (event->isAccepted())
            return true;
    }
    if (event->type() == QEvent::WindowDeactivate && m_dragging)
        CancelDrag();
    return QTabBar::event(event);
}

bool CExtTabCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_editor || !IsEditing())
        return QTabBar::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == Qt::NoModifier) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Commit();
            return true;
        }
        if (key == Qt::Key_Escape) {
            CancelEdit();
            return true;
        }
        break;
    }
    case QEvent::FocusOut:
        // An opening menu takes the focus only for a moment, and a click on the strip
        // itself keeps the edit going; anything else ends it.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason
            && QApplication::focusWidget() != this)
            Commit();
        break;
    default:
        break;
    }
    return QTabBar::eventFilter(watched, event);
}

void CExtTabCtrl::focusOutEvent(QFocusEvent* event)
{
    // An opening menu takes the focus only for a moment, and the editor is part of the
    // strip; anything else ends the edit.
    if (IsEditing() && event->reason() != Qt::PopupFocusReason
        && QApplication::focusWidget() != m_editor)
        Commit();
    QTabBar::focusOutEvent(event);
}

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

        // The edited label is shown by the editor over it.
        if (i == m_editedTab && IsEditing())
            continue;
        painter.setPen(hot);
        painter.drawText(QPoint(LabelRect(i).left(), top + fm.ascent()), tabText(i));
    }
    if (m_dragging && !m_marker.isEmpty())
        painter.fillRect(m_marker, hot);
    // Tabs move when the strip scrolls or another tab changes width.
    if (IsEditing())
        PlaceEditor();
}

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
