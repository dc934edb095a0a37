#include "app/gui/AboutDlg.h"

#include "shell/toolkit/VersionInfo.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(const QString& libraryLine, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("Kelvra Quiltmark"));
    CVersionInfo version;
    version.Read();

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/quiltmark.svg")).pixmap(32, 32));
    auto* versionLine = new QLabel(version.AboutVersionLine(), this);
    versionLine->setObjectName(QStringLiteral("aboutVersion"));
    auto* copyright = new QLabel(version.GetString(QStringLiteral("LegalCopyright")), this);
    copyright->setObjectName(QStringLiteral("aboutCopyright"));
    // Which file is in use matters once a user copy of the library exists.
    auto* library = new QLabel(libraryLine, this);
    library->setObjectName(QStringLiteral("aboutLibrary"));
    library->setTextInteractionFlags(Qt::TextSelectableByMouse);
    library->setWordWrap(true);
    library->setVisible(!libraryLine.isEmpty());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(versionLine, 0, 1);
    layout->addWidget(copyright, 1, 1);
    layout->addWidget(library, 2, 1);
    layout->addWidget(buttons, 0, 2, 3, 1, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    layout->setHorizontalSpacing(16);
    // About 251 by 73 dialog units at the usual dialog font.
    setMinimumSize(376, 118);
    setSizeGripEnabled(false);
}
