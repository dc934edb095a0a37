#pragma once

#include <QWizardPage>
#include <string>

class CClampedSpinBox;
class CQuiltmarkDoc;
class QComboBox;
class QLabel;
class QLineEdit;

// "Basic Matrix Setup": fixture type, orientation, visualiser style, size in tiles, screen
// name and basic screen id of the current section. Page 1 of "Create New Matrix".
class CQuiltmarkBasicDlg : public QWizardPage {
    Q_OBJECT

public:
    // `sectionIndex` is skipped by the screen-id check (the section being set up).
    CQuiltmarkBasicDlg(CQuiltmarkDoc& doc, int sectionIndex, QWidget* parent = nullptr);

    int fixType = 0;
    int orientation = 0;
    int styleIndex = 0;
    int width = 6;
    int height = 3;
    std::string screenName;
    int screenId = 1;

    void LoadControls();
    void ReadControls();

    // The screen-id message shown when the id is moved to a free range.
    static QString ScreenIdMessage(long long oldId, long long newId);

protected:
    void initializePage() override;
    bool validatePage() override;

private:
    void FillStyles();
    bool CheckSize();
    void CheckScreenId();

    CQuiltmarkDoc& m_doc;
    int m_sectionIndex;
    QComboBox* m_fixture;
    QComboBox* m_orientation;
    QLabel* m_styleLabel;
    QComboBox* m_style;
    CClampedSpinBox* m_width;
    CClampedSpinBox* m_height;
    QLineEdit* m_screenName;
    CClampedSpinBox* m_screenId;
};
