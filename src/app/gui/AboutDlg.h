#pragma once

#include <QDialog>

// "Kelvra Quiltmark": program icon, version line, copyright and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
