#include "view/DialogBarPages.h"

#include "shell/toolkit/ExtTabCtrl.h"

#include <QHBoxLayout>
#include <QPushButton>

CDialogBarPages::CDialogBarPages(QWidget* parent)
    : QWidget(parent)
    , m_add(new QPushButton(QStringLiteral("Add"), this))
    , m_delete(new QPushButton(QStringLiteral("Delete"), this))
    , m_tabs(new CExtTabCtrl(this))
{
    setObjectName(QStringLiteral("sectionsBar"));
    setWindowTitle(QStringLiteral("This is docking dialog bar"));
    m_add->setObjectName(QStringLiteral("addButton"));
    m_delete->setObjectName(QStringLiteral("deleteButton"));
    m_add->setToolTip(QStringLiteral("Add Section"));
    m_delete->setToolTip(QStringLiteral("Delete Current Section"));
    // The buttons must not keep the focus a label edit needs, and Enter belongs to the tabs.
    m_add->setAutoDefault(false);
    m_delete->setAutoDefault(false);
    m_tabs->SetMaxLabelLength(kLabelLimit);
    m_tabs->InsertItem(0, QStringLiteral("new 1"));

    // The tab strip takes all the width right of the buttons, also after every resize.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    layout->addWidget(m_add);
    layout->addSpacing(3);
    layout->addWidget(m_delete);
    layout->addSpacing(5);
    layout->addWidget(m_tabs, 1);

    connect(m_add, &QPushButton::clicked, this, &CDialogBarPages::addClicked);
    connect(m_delete, &QPushButton::clicked, this, &CDialogBarPages::deleteClicked);
    connect(m_tabs, &CExtTabCtrl::selectionChanged, this, &CDialogBarPages::sectionSelected);
    connect(m_tabs, &CExtTabCtrl::labelEdited, this,
        [this](CExtTabCtrl* tabs) { emit labelEdited(tabs->GetEditedTab()); });
    connect(m_tabs, &CExtTabCtrl::tabMovedTo, this, &CDialogBarPages::tabMoved);
}
