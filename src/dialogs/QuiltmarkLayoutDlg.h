#pragma once

#include <QWizardPage>

class CClampedSpinBox;
class QCheckBox;
class QComboBox;
class QRadioButton;
class CMatrixPreview;

// The addressing layout page: base universe, start address, highest address, origin
// corner, primary direction and snake mode. Page 2 of "Create New Matrix", and the only
// page of the sheet that re-addresses selected tiles.
class CQuiltmarkLayoutDlg : public QWizardPage {
    Q_OBJECT

public:
    explicit CQuiltmarkLayoutDlg(QWidget* parent = nullptr);

    // Values as the user sees them: universe and addresses one-based.
    int baseUniverse = 1;
    int firstAddress = 1;
    int highestAddress = 512;
    int origin = 0;
    int direction = 0;
    int snake = 0;
    // Offer Back besides Finish.
    bool showBack = false;

    // Controls -> values, clamping the three numbers into 1..512 (and showing the result).
    void ReadControls();
    // Values -> controls.
    void LoadControls();

    static int ClampAddress(int value);

protected:
    void initializePage() override;
    bool validatePage() override;

private:
    void UpdatePreview();

    CClampedSpinBox* m_universe;
    CClampedSpinBox* m_first;
    CClampedSpinBox* m_highest;
    QRadioButton* m_origin[4];
    QComboBox* m_direction;
    QCheckBox* m_snake;
    CMatrixPreview* m_preview;
};
