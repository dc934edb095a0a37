#include "view/ExtPrintDialog.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

CExtPrintDialog::CExtPrintDialog(
    QPrinter* printer, int sectionCount, int currentSection, PrintContent content, QWidget* parent)
    : QPrintDialog(printer, parent)
    , m_content(content)
    , m_currentSection(std::clamp(currentSection, 1, std::max(sectionCount, 1)))
{
    setOption(QAbstractPrintDialog::PrintSelection, false);
    setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    setOption(QAbstractPrintDialog::PrintPageRange, true);
    setMinMax(1, std::max(sectionCount, 1));
    setFromTo(m_currentSection, m_currentSection);
    setPrintRange(QAbstractPrintDialog::PageRange);

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("printContentPage"));
    page->setWindowTitle(tr("Printer Content"));
    m_group = new QGroupBox(tr("Printer Content"), page);
    m_group->setObjectName(QStringLiteral("printContent"));
    m_patchMatrix = new QRadioButton(tr("Patch Matrix"), m_group);
    m_patchMatrix->setObjectName(QStringLiteral("printPatchMatrix"));
    m_devices = new QRadioButton(tr("Devices"), m_group);
    m_devices->setObjectName(QStringLiteral("printDevices"));
    auto* groupLayout = new QVBoxLayout(m_group);
    groupLayout->addWidget(m_patchMatrix);
    groupLayout->addWidget(m_devices);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(m_group);
    pageLayout->addStretch(1);
    setOptionTabs({ page });

    (m_content == PrintContent::Devices ? m_devices : m_patchMatrix)->setChecked(true);
    connect(m_patchMatrix, &QRadioButton::clicked, this,
        [this] { SetPrintContent(PrintContent::PatchMatrix); });
    connect(m_devices, &QRadioButton::clicked, this,
        [this] { SetPrintContent(PrintContent::Devices); });
}

QAbstractButton* CExtPrintDialog::RangeButton(const char* name) const
{
    return findChild<QAbstractButton*>(QLatin1String(name));
}

QWidget* CExtPrintDialog::RangeWidget(const char* name) const
{
    return findChild<QWidget*>(QLatin1String(name));
}

void CExtPrintDialog::WritePageEdits(int value)
{
    for (const char* name : { "from", "to" }) {
        if (auto* spin = findChild<QSpinBox*>(QLatin1String(name)))
            spin->setValue(value);
    }
}

void CExtPrintDialog::SetPrintContent(PrintContent content)
{
    m_content = content;
    (content == PrintContent::Devices ? m_devices : m_patchMatrix)->setChecked(true);
    ApplyContentState(false);
}

void CExtPrintDialog::ApplyContentState(bool fillEdits)
{
    const bool pages = m_content == PrintContent::PatchMatrix;
    if (!pages) {
        setPrintRange(QAbstractPrintDialog::AllPages);
        if (QAbstractButton* all = RangeButton("printAll"))
            all->setChecked(true);
    } else if (fillEdits) {
        setPrintRange(QAbstractPrintDialog::PageRange);
        if (QAbstractButton* range = RangeButton("printRange"))
            range->setChecked(true);
        WritePageEdits(m_currentSection);
    }
    for (const char* name : { "printRange", "from", "to" }) {
        if (QWidget* w = RangeWidget(name))
            w->setEnabled(pages);
    }
    // The word between the two page edits belongs to them.
    if (auto* range = findChild<QGroupBox*>(QStringLiteral("gbPrintRange"))) {
        if (auto* to
            = range->findChild<QLabel*>(QStringLiteral("label_3"), Qt::FindDirectChildrenOnly))
            to->setEnabled(pages);
    }
    // The platform's free page-set field would pick device-list pages too; it goes quiet
    // while the list is chosen and comes back as the platform had it.
    for (const char* name : { "pagesRadioButton", "pagesLineEdit" }) {
        QWidget* w = RangeWidget(name);
        if (!w)
            continue;
        if (!pages) {
            if (!m_pageSetState.contains(w))
                m_pageSetState.insert(w, w->isEnabled());
            w->setEnabled(false);
        } else if (m_pageSetState.contains(w)) {
            w->setEnabled(m_pageSetState.take(w));
        }
    }
}

void CExtPrintDialog::showEvent(QShowEvent* event)
{
    QPrintDialog::showEvent(event);
    // The platform dialog fills its controls from the printer when it opens; the
    // content's states go on top of that.
    ApplyContentState(true);
}

void CExtPrintDialog::done(int result)
{
    if (result == QDialog::Accepted && m_content == PrintContent::Devices) {
        WritePageEdits(1);
        setFromTo(1, 1);
    }
    QPrintDialog::done(result);
}
