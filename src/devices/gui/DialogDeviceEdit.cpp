#include "devices/gui/DialogDeviceEdit.h"

#include "devices/KelvraDevice.h"
#include "shell/toolkit/IpAddressEdit.h"
#include "shell/toolkit/ModelText.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kSpinLowest = 1;
constexpr int kSpinHighest = 99;

// A two-digit count with arrows. The arrows stay within 1..99, typing allows 0..99, and an
// empty text is left as it is so that OK can say it is not a number.
class CCountSpin : public QAbstractSpinBox {
public:
    explicit CCountSpin(QWidget* parent)
        : QAbstractSpinBox(parent)
    {
        lineEdit()->setMaxLength(2);
        lineEdit()->setText(QString::number(kSpinLowest));
    }

    QValidator::State validate(QString& input, int&) const override
    {
        if (input.size() > 2)
            return QValidator::Invalid;
        for (QChar c : input) {
            if (c < u'0' || c > u'9')
                return QValidator::Invalid;
        }
        return input.isEmpty() ? QValidator::Intermediate : QValidator::Acceptable;
    }

    void fixup(QString&) const override { }

    void stepBy(int steps) override
    {
        bool ok = false;
        int value = text().toInt(&ok);
        if (!ok)
            value = kSpinLowest - (steps > 0 ? 1 : 0);
        value = std::clamp(value + steps, kSpinLowest, kSpinHighest);
        lineEdit()->setText(QString::number(value));
        selectAll();
    }

protected:
    StepEnabled stepEnabled() const override
    {
        bool ok = false;
        const int value = text().toInt(&ok);
        if (!ok)
            return StepUpEnabled | StepDownEnabled;
        StepEnabled enabled = StepNone;
        if (value < kSpinHighest)
            enabled |= StepUpEnabled;
        if (value > kSpinLowest)
            enabled |= StepDownEnabled;
        return enabled;
    }
};

} // namespace

CDialogDeviceEdit::CDialogDeviceEdit(
    CKelvraDevice& device, int mode, const QString& title, QWidget* parent)
    : QDialog(parent)
    , m_device(device)
    , m_mode(mode)
{
    setWindowTitle(title);

    auto* frame = new QGroupBox(tr("Device"), this);
    auto* form = new QFormLayout(frame);

    m_type = new QComboBox(frame);
    m_type->setObjectName(QStringLiteral("typeCombo"));
    m_type->setEditable(false);
    for (int type = 0; type < kDeviceTypeCount; ++type)
        m_type->addItem(FromModelText(DeviceTypeName(type)));
    m_type->setCurrentIndex(std::clamp(device.GetType(), 0, kDeviceTypeCount - 1));
    form->addRow(tr("Type"), m_type);

    m_address = new CIpAddressEdit(frame);
    m_address->setObjectName(QStringLiteral("ipAddress"));
    m_address->SetAddress(device.GetIpAddress());
    form->addRow(tr("IP Address"), m_address);

    m_numberSpin = new CCountSpin(frame);
    m_numberSpin->setObjectName(QStringLiteral("numberSpin"));
    m_numberLabel = new QLabel(tr("Number"), frame);
    m_numberLabel->setBuddy(m_numberSpin);
    form->addRow(m_numberLabel, m_numberSpin);
    // Only plain adding asks for a count; the other modes decide it themselves.
    const bool askNumber = mode == Add;
    m_numberLabel->setVisible(askNumber);
    m_numberSpin->setVisible(askNumber);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CDialogDeviceEdit::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDialogDeviceEdit::reject);

    auto* layout = new QVBoxLayout(this);
    // Wide enough that a window manager can show the whole title.
    frame->setMinimumWidth(std::max(240, fontMetrics().horizontalAdvance(title) + 60));
    layout->addWidget(frame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_type->setFocus();
}

void CDialogDeviceEdit::accept()
{
    if (m_mode == Add) {
        bool ok = false;
        const int number = m_numberSpin->text().toInt(&ok);
        if (!ok) {
            QMessageBox::warning(this, QCoreApplication::applicationName(), tr(kNotAnInteger));
            m_numberSpin->setFocus();
            m_numberSpin->selectAll();
            return;
        }
        m_number = number;
    }
    m_device.SetType(m_type->currentIndex(), m_address->GetAddress());
    QDialog::accept();
}
