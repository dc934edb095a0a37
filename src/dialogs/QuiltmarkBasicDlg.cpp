#include "dialogs/QuiltmarkBasicDlg.h"

#include "app/library/FixtureType.h"
#include "app/base/UserMessages.h"
#include "dialogs/ClampedSpinBox.h"
#include "document/QuiltmarkDoc.h"
#include "document/section/SubDoc.h"
#include "app/base/StoredText.h"
#include "shell/toolkit/ModelText.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kMaxUnits = 2000;

QLabel* UnitsLabel(QWidget* parent)
{
    return new QLabel(QObject::tr("units"), parent);
}

} // namespace

CQuiltmarkBasicDlg::CQuiltmarkBasicDlg(CQuiltmarkDoc& doc, int sectionIndex, QWidget* parent)
    : QWizardPage(parent)
    , m_doc(doc)
    , m_sectionIndex(sectionIndex)
{
    setObjectName("basicPage");
    setTitle(tr("Basic Matrix Setup"));

    auto* typeBox = new QGroupBox(tr("Meta Type"), this);
    auto* typeGrid = new QGridLayout(typeBox);
    m_fixture = new QComboBox(typeBox);
    m_fixture->setObjectName("fixtureType");
    m_fixture->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* fixtureLabel = new QLabel(tr("Fixture Type"), typeBox);
    fixtureLabel->setBuddy(m_fixture);
    typeGrid->addWidget(fixtureLabel, 0, 0);
    typeGrid->addWidget(m_fixture, 0, 1);
    typeGrid->addWidget(new QLabel(tr("*Skope ready"), typeBox), 0, 2);
    m_orientation = new QComboBox(typeBox);
    m_orientation->setObjectName("orientation");
    m_orientation->addItems({ QString::fromUtf8("Standard (0°)"),
        QString::fromUtf8("Turned clockwise (90°)"), QString::fromUtf8("Turned clockwise (180°)"),
        QString::fromUtf8("Turned clockwise (270°)") });
    auto* orientationLabel = new QLabel(tr("&Orientation"), typeBox);
    orientationLabel->setBuddy(m_orientation);
    typeGrid->addWidget(orientationLabel, 1, 0);
    typeGrid->addWidget(m_orientation, 1, 1);
    m_style = new QComboBox(typeBox);
    m_style->setObjectName("skopeStyle");
    m_styleLabel = new QLabel(tr("Skope Style"), typeBox);
    m_styleLabel->setObjectName("skopeStyleLabel");
    m_styleLabel->setBuddy(m_style);
    typeGrid->addWidget(m_styleLabel, 2, 0);
    typeGrid->addWidget(m_style, 2, 1);
    typeGrid->setColumnStretch(3, 1);

    auto* sizeBox = new QGroupBox(tr("Size"), this);
    auto* sizeGrid = new QGridLayout(sizeBox);
    m_width = new CClampedSpinBox(sizeBox);
    m_width->setObjectName("matrixWidth");
    m_width->SetArrowRange(1, kMaxUnits);
    m_height = new CClampedSpinBox(sizeBox);
    m_height->setObjectName("matrixHeight");
    m_height->SetArrowRange(1, kMaxUnits);
    sizeGrid->addWidget(new QLabel(tr("Width"), sizeBox), 0, 0);
    sizeGrid->addWidget(m_width, 0, 1);
    sizeGrid->addWidget(UnitsLabel(sizeBox), 0, 2);
    sizeGrid->addWidget(new QLabel(tr("Height"), sizeBox), 1, 0);
    sizeGrid->addWidget(m_height, 1, 1);
    sizeGrid->addWidget(UnitsLabel(sizeBox), 1, 2);
    auto* note = new QLabel(
        tr("Combined fixtures count as one unit. E.g. one Virezoviv counts as one unit "
           "although it contains two RGB Faders in each column and each row."),
        sizeBox);
    note->setWordWrap(true);
    sizeGrid->addWidget(note, 2, 0, 1, 4);
    sizeGrid->setColumnStretch(3, 1);

    auto* screenBox = new QGroupBox(tr("Screen ID"), this);
    auto* screenForm = new QFormLayout(screenBox);
    m_screenName = new QLineEdit(screenBox);
    m_screenName->setObjectName("screenName");
    m_screenName->setMaxLength(CSubDoc::kMaxTextLength);
    m_screenId = new CClampedSpinBox(screenBox);
    m_screenId->setObjectName("screenId");
    m_screenId->setRange(0, 999999999);
    m_screenId->SetArrowRange(1, 10000);
    screenForm->addRow(tr("Screen Name"), m_screenName);
    screenForm->addRow(tr("Basic Screen ID"), m_screenId);

    auto* page = new QVBoxLayout(this);
    page->addWidget(typeBox);
    page->addWidget(sizeBox);
    page->addWidget(screenBox);

    connect(m_fixture, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        fixType = index;
        FillStyles();
    });
}

void CQuiltmarkBasicDlg::initializePage()
{
    LoadControls();
}

void CQuiltmarkBasicDlg::LoadControls()
{
    const CMetaLib& library = m_doc.GetLibrary();
    {
        const QSignalBlocker block(m_fixture);
        m_fixture->clear();
        for (int i = 0; i < library.GetCount(); ++i)
            m_fixture->addItem(FromModelText(library.GetAt(i)->metaName));
        m_fixture->setCurrentIndex(fixType >= 0 && fixType < library.GetCount() ? fixType : -1);
    }
    m_orientation->setCurrentIndex(orientation >= 0 && orientation < 4 ? orientation : 0);
    m_width->setValue(width);
    m_height->setValue(height);
    m_screenName->setText(FromModelText(screenName));
    m_screenId->setValue(screenId);
    FillStyles();
}

void CQuiltmarkBasicDlg::FillStyles()
{
    const CFixtureType* type = m_doc.GetLibrary().GetAt(m_fixture->currentIndex());
    const int count = type ? static_cast<int>(type->styles.size()) : 0;
    {
        const QSignalBlocker block(m_style);
        m_style->clear();
        for (int i = 0; i < count; ++i)
            m_style->addItem(FromModelText(type->styles[static_cast<size_t>(i)]));
        // Index 0 is the first style anyway; anything outside the new list starts over.
        m_style->setCurrentIndex(
            count == 0 ? -1 : (styleIndex > 0 && styleIndex < count ? styleIndex : 0));
    }
    m_style->setVisible(count > 0);
    m_styleLabel->setVisible(count > 0);
}

void CQuiltmarkBasicDlg::ReadControls()
{
    m_width->interpretText();
    m_height->interpretText();
    m_screenId->interpretText();
    fixType = m_fixture->currentIndex();
    orientation = m_orientation->currentIndex();
    styleIndex = m_style->count() > 0 ? m_style->currentIndex() : 0;
    width = m_width->value();
    height = m_height->value();
    bool replaced = false;
    screenName = ToProjectText(m_screenName->text(), CSubDoc::kMaxTextLength, &replaced);
    if (replaced) {
        m_screenName->setText(FromModelText(screenName));
        m_doc.Messages().ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
    }
    screenId = m_screenId->value();
}

bool CQuiltmarkBasicDlg::CheckSize()
{
    const CFixtureType* type = m_doc.GetLibrary().GetAt(fixType);
    QString problem;
    if (!type)
        problem = tr("Please choose a fixture type.");
    else if (!type->IsUsable())
        problem
            = tr("The fixture type \"%1\" cannot be used: its size in metalib.xml is not valid.")
                  .arg(FromModelText(type->metaName));
    else if (width < 1 || height < 1 || width > kMaxUnits || height > kMaxUnits)
        problem = tr("Width and height must lie between 1 and %1 units.").arg(kMaxUnits);
    else if (static_cast<long long>(width) * height * type->QuarksPerFixture() > CSubDoc::kMaxItems)
        problem
            = tr("A matrix of %1 x %2 units of this fixture type would hold more than %3 items.\n"
                 "Please choose a smaller size.")
                  .arg(width)
                  .arg(height)
                  .arg(CSubDoc::kMaxItems);
    if (problem.isEmpty())
        return true;
    m_doc.Messages().ShowMessage(ToModelText(problem), MessageIcon::Warning);
    return false;
}

QString CQuiltmarkBasicDlg::ScreenIdMessage(long long oldId, long long newId)
{
    return QStringLiteral("The screen-id must be uniqe in this quiltmark document.\n"
                          "Your screen-id was modified by quiltmark from %1 to %2")
        .arg(oldId)
        .arg(newId);
}

void CQuiltmarkBasicDlg::CheckScreenId()
{
    if (m_doc.IsScreenIdRangeFree(m_sectionIndex, screenId, fixType, width, height))
        return;
    const long long freeId = m_doc.GetFirstFreeScreenId(m_sectionIndex, fixType, width, height);
    const long long oldId = screenId;
    screenId = static_cast<int>(std::min<long long>(freeId, 999999999));
    m_screenId->setValue(screenId);
    m_doc.Messages().ShowMessage(
        ToModelText(ScreenIdMessage(oldId, screenId)), MessageIcon::Warning);
}

bool CQuiltmarkBasicDlg::validatePage()
{
    ReadControls();
    if (!CheckSize())
        return false;
    CheckScreenId();
    return true;
}
