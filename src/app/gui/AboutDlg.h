#pragma once

#include <QDialog>

// "Kelvra Quiltmark": program icon, version line, copyright, the fixture library in use
// (`libraryLine`) and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(const QString& libraryLine = QString(), QWidget* parent = nullptr);
};
