#include "devices/gui/DialogDeviceDmxEdit.h"

#include "devices/KelvraDeviceList.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

CDialogDeviceDmxEdit::CDialogDeviceDmxEdit(
    const IUsedUniverses& used, int universe, const QString& title, QWidget* parent)
    : QDialog(parent)
    , m_universe(universe)
{
    setWindowTitle(title);

    auto* frame = new QGroupBox(tr("Universe"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    m_list = new QComboBox(frame);
    m_list->setObjectName(QStringLiteral("universeCombo"));
    m_list->setEditable(false);
    frameLayout->addWidget(m_list);

    int selected = -1;
    // Bounded by the reported count so that a misbehaving set cannot loop forever.
    const int count = used.GetUsedUniverseCount();
    int u = -1;
    for (int i = 0; i < count; ++i) {
        u = used.GetNextUsedUniverse(u);
        if (u < 0)
            break;
        if (u == universe)
            selected = m_list->count();
        m_list->addItem(QString::asprintf("U%.2lld", static_cast<long long>(u) + 1), u);
    }
    if (universe >= 0 && selected < 0) {
        selected = m_list->count();
        m_list->addItem(
            QString::asprintf("U%.2lld [does not exist]", static_cast<long long>(universe) + 1),
            universe);
    }
    if (universe < 0)
        selected = m_list->count();
    m_list->addItem(QString(), -1);
    m_list->setCurrentIndex(selected);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CDialogDeviceDmxEdit::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDialogDeviceDmxEdit::reject);

    auto* layout = new QVBoxLayout(this);
    // Wide enough that a window manager can show the whole title.
    frame->setMinimumWidth(std::max(240, fontMetrics().horizontalAdvance(title) + 60));
    layout->addWidget(frame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_list->setFocus();
}

void CDialogDeviceDmxEdit::accept()
{
    m_universe = m_list->currentData().toInt();
    QDialog::accept();
}
