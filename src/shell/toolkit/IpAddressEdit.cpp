#include "shell/toolkit/IpAddressEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStringList>
#include <QValidator>

namespace {

// Digits only, at most three, and never more than 255: a keystroke, paste or drop that would
// break this is not accepted. The fields have no maximum length, as that would cut a pasted
// "1234" to 123 before the validator could refuse it.
// The value of one field's text: one to three digits, at most 255.
std::optional<int> OctetValue(const QString& text)
{
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int value = text.toInt();
    return value <= 255 ? std::optional<int>(value) : std::nullopt;
}

class COctetValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        if (input.isEmpty())
            return Intermediate;
        return OctetValue(input) ? Acceptable : Invalid;
    }
};

// Octets of a pasted dotted address (blanks around it allowed, none inside), or nothing when
// the text is not exactly one.
std::optional<std::array<int, 4>> ParseDotted(const QString& text)
{
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> octets {};
    for (int i = 0; i < 4; ++i) {
        const std::optional<int> value = OctetValue(parts[i]);
        if (!value)
            return std::nullopt;
        octets[static_cast<size_t>(i)] = *value;
    }
    return octets;
}

bool IsModifierOnly(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

} // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent)
    : QFrame(parent)
{
    // Look like one line edit that happens to hold four fields.
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000"));
    for (int i = 0; i < 4; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("octet%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(new COctetValidator(field));
        field->setFixedWidth(fieldWidth);
        // Tab enters the control at the first field and leaves it from any field; inside it
        // the dot and the arrows move.
        field->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnEdited(i); });
        m_fields[static_cast<size_t>(i)] = field;
        layout->addWidget(field);
        if (i < 3) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
    }
    layout->addStretch(1);
    setFocusProxy(m_fields[0]);
}

uint32_t CIpAddressEdit::GetAddress() const
{
    uint32_t address = 0;
    for (int i = 0; i < 4; ++i)
        address = (address << 8) | static_cast<uint32_t>(GetOctet(i));
    return address;
}

void CIpAddressEdit::SetAddress(uint32_t address)
{
    m_advancedTo.reset();
    for (int i = 0; i < 4; ++i) {
        const uint32_t octet = (address >> (24 - 8 * i)) & 255u;
        m_fields[static_cast<size_t>(i)]->setText(QString::number(octet));
    }
    ReportIfChanged();
}

int CIpAddressEdit::GetOctet(int field) const
{
    if (field < 0 || field > 3)
        return 0;
    // The validator keeps the text to at most three digits within 0..255, so base 10 is the
    // only reading ("016" is 16) and an empty field reads as 0.
    return m_fields[static_cast<size_t>(field)]->text().toInt(nullptr, 10);
}

bool CIpAddressEdit::IsBlank() const
{
    for (QLineEdit* field : m_fields) {
        if (!field->text().isEmpty())
            return false;
    }
    return true;
}

void CIpAddressEdit::Clear()
{
    m_advancedTo.reset();
    for (QLineEdit* field : m_fields)
        field->clear();
    ReportIfChanged();
}

QLineEdit* CIpAddressEdit::Field(int field) const
{
    return field >= 0 && field < 4 ? m_fields[static_cast<size_t>(field)] : nullptr;
}

void CIpAddressEdit::OnEdited(int index)
{
    // A full octet moves on, so an address can be typed as plain digits. The dot the user
    // may type next belongs to the octet just finished, so it must not move on again.
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    if (index < 3 && field->text().size() == 3 && field->cursorPosition() == 3) {
        FocusField(index + 1, true);
        m_advancedTo = index + 1;
    }
    ReportIfChanged();
}

bool CIpAddressEdit::HandleKey(int index, QKeyEvent* key)
{
    // Shift or AltGr pressed on the way to a dot is not a keystroke of its own.
    if (IsModifierOnly(key->key()))
        return false;
    const bool justAdvanced = m_advancedTo == index;
    m_advancedTo.reset();

    if (key->matches(QKeySequence::Paste)) {
        PasteInto(index);
        return true;
    }

    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    const bool atStart = field->cursorPosition() == 0 && !field->hasSelectedText();
    const bool atEnd = field->cursorPosition() == field->text().size() && !field->hasSelectedText();
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const bool commandModifier
        = (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    // The keypad's decimal key gives a comma on some keyboards.
    const bool separator = key->key() == Qt::Key_Period
        || (key->key() == Qt::Key_Comma && (key->modifiers() & Qt::KeypadModifier));

    if (separator && !commandModifier) {
        // The dot itself never enters a field; it only moves on.
        if (justAdvanced)
            m_advancedTo = index;
        else if (index < 3)
            FocusField(index + 1, true);
        return true;
    }
    if (key->key() == Qt::Key_Backtab && index > 0) {
        // Only the first field is in the tab chain; leave backwards from there.
        m_fields[0]->setFocus(Qt::BacktabFocusReason);
        focusNextPrevChild(false);
        return true;
    }
    if (modifiers != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Backspace:
        if (atStart && index > 0) {
            FocusField(index - 1, false);
            m_fields[static_cast<size_t>(index - 1)]->backspace();
            ReportIfChanged();
            return true;
        }
        break;
    case Qt::Key_Left:
        if (atStart && index > 0) {
            FocusField(index - 1, false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (atEnd && index < 3) {
            QLineEdit* next = m_fields[static_cast<size_t>(index + 1)];
            next->setFocus(Qt::OtherFocusReason);
            next->home(false);
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

void CIpAddressEdit::PasteInto(int index)
{
    if (PasteWholeAddress(QApplication::clipboard()->text()))
        return;
    // Anything else goes through the field's own rules: digits that fit, nothing else.
    m_fields[static_cast<size_t>(index)]->paste();
    ReportIfChanged();
}

bool CIpAddressEdit::PasteWholeAddress(const QString& text)
{
    const std::optional<std::array<int, 4>> octets = ParseDotted(text);
    if (!octets)
        return false;
    m_advancedTo.reset();
    for (int i = 0; i < 4; ++i)
        m_fields[static_cast<size_t>(i)]->setText(
            QString::number((*octets)[static_cast<size_t>(i)]));
    ReportIfChanged();
    FocusField(3, false);
    return true;
}

void CIpAddressEdit::ShowContextMenu(int index, const QPoint& globalPos)
{
    QMenu* menu = m_fields[static_cast<size_t>(index)]->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's Paste must take a whole address as Ctrl+V does. The action is known by its
    // name where Qt gives one, else by the text QLineEdit gives it (translated the same way).
    const QString pasteText = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (action->objectName() != QLatin1String("edit-paste")
            && !action->text().startsWith(pasteText))
            continue;
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, [this, index] { PasteInto(index); });
        break;
    }
    menu->popup(globalPos);
}

void CIpAddressEdit::FocusField(int field, bool selectAll)
{
    QLineEdit* edit = Field(field);
    if (!edit)
        return;
    edit->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        edit->selectAll();
    else
        edit->end(false);
}

void CIpAddressEdit::ReportIfChanged()
{
    const uint32_t address = GetAddress();
    if (address == m_reported)
        return;
    m_reported = address;
    emit addressChanged(address);
}

int CIpAddressEdit::IndexOf(QObject* object) const
{
    for (int i = 0; i < 4; ++i) {
        if (m_fields[static_cast<size_t>(i)] == object)
            return i;
    }
    return -1;
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    const int index = IndexOf(watched);
    if (index < 0)
        return QFrame::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::KeyPress:
        if (HandleKey(index, static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::ContextMenu:
        ShowContextMenu(index, static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::MouseButtonPress:
        // A click puts the cursor somewhere on purpose; a dot typed next is meant.
        m_advancedTo.reset();
        break;
    case QEvent::MouseButtonRelease:
        // The middle button pastes the selection where the platform has one.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton
            && QApplication::clipboard()->supportsSelection()
            && PasteWholeAddress(QApplication::clipboard()->text(QClipboard::Selection)))
            return true;
        break;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData()->hasText() && PasteWholeAddress(drop->mimeData()->text())) {
            drop->acceptProposedAction();
            return true;
        }
        break;
    }
    case QEvent::FocusOut: {
        if (m_advancedTo == index)
            m_advancedTo.reset();
        // Leading zeros read the same but look like octal; show the plain number.
        QLineEdit* field = m_fields[static_cast<size_t>(index)];
        if (!field->text().isEmpty()) {
            const QString plain = QString::number(GetOctet(index));
            if (plain != field->text())
                field->setText(plain);
        }
        break;
    }
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
