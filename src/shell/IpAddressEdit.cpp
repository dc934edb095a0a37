#include "shell/IpAddressEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QValidator>

namespace {

// Digits only, at most three, and never more than 255: a keystroke that would break this
// is simply not accepted.
class COctetValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        if (input.isEmpty())
            return Intermediate;
        if (input.size() > 3)
            return Invalid;
        for (QChar c : input) {
            if (c < u'0' || c > u'9')
                return Invalid;
        }
        return input.toInt() <= 255 ? Acceptable : Invalid;
    }
};

// Octets of a pasted dotted address, or nothing when the text is not one.
bool ParseDotted(const QString& text, std::array<int, 4>& octets)
{
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int value = parts[i].toInt(&ok);
        if (!ok || parts[i].size() > 3 || value < 0 || value > 255)
            return false;
        octets[static_cast<size_t>(i)] = value;
    }
    return true;
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
        field->setMaxLength(3);
        field->setValidator(new COctetValidator(field));
        field->setFixedWidth(fieldWidth);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            // A full octet moves on, so an address can be typed as plain digits.
            if (i < 3 && text.size() == 3
                && m_fields[static_cast<size_t>(i)]->cursorPosition() == 3)
                FocusField(i + 1, true);
            emit addressChanged(GetAddress());
        });
        connect(field, &QLineEdit::editingFinished, this, [field] {
            // Leading zeros read the same but look like octal; show the plain number.
            if (!field->text().isEmpty())
                field->setText(QString::number(field->text().toInt()));
        });
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
    for (int i = 0; i < 4; ++i) {
        const uint32_t octet = (address >> (24 - 8 * i)) & 255u;
        m_fields[static_cast<size_t>(i)]->setText(QString::number(octet));
    }
    emit addressChanged(GetAddress());
}

int CIpAddressEdit::GetOctet(int field) const
{
    if (field < 0 || field > 3)
        return 0;
    // The validator keeps the text within 0..255; an empty field reads as 0.
    return m_fields[static_cast<size_t>(field)]->text().toInt();
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
    for (QLineEdit* field : m_fields)
        field->clear();
    emit addressChanged(0);
}

QLineEdit* CIpAddressEdit::Field(int field) const
{
    return field >= 0 && field < 4 ? m_fields[static_cast<size_t>(field)] : nullptr;
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
    if (index < 0 || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);

    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    const bool atStart = field->cursorPosition() == 0 && !field->hasSelectedText();
    const bool atEnd = field->cursorPosition() == field->text().size() && !field->hasSelectedText();

    if (key->matches(QKeySequence::Paste)) {
        std::array<int, 4> octets {};
        const QString text = QApplication::clipboard()->text();
        if (ParseDotted(text, octets)) {
            for (int i = 0; i < 4; ++i)
                m_fields[static_cast<size_t>(i)]->setText(
                    QString::number(octets[static_cast<size_t>(i)]));
            emit addressChanged(GetAddress());
            FocusField(3, false);
            return true;
        }
        return QFrame::eventFilter(watched, event);
    }

    switch (key->key()) {
    case Qt::Key_Period:
        // The dot itself never enters a field; it only moves on.
        if (index < 3)
            FocusField(index + 1, true);
        return true;
    case Qt::Key_Backspace:
        if (atStart && index > 0) {
            FocusField(index - 1, false);
            return true;
        }
        break;
    case Qt::Key_Left:
        if (atStart && index > 0 && key->modifiers() == Qt::NoModifier) {
            FocusField(index - 1, false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (atEnd && index < 3 && key->modifiers() == Qt::NoModifier) {
            QLineEdit* next = m_fields[static_cast<size_t>(index + 1)];
            next->setFocus(Qt::OtherFocusReason);
            next->home(false);
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
