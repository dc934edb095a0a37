#pragma once

#include <QDialog>

class CKelvraDevice;
class CIpAddressEdit;
class QAbstractSpinBox;
class QComboBox;
class QLabel;

// Type and IP address of one device; when adding, also how many devices to create.
// Works on the device it is given: OK applies the type and address to it, Cancel leaves
// it alone.
class CDialogDeviceEdit : public QDialog {
    Q_OBJECT

public:
    enum Mode { Add = 0, AddAndConnect = 1, Edit = 2 };

    static constexpr const char* kNotAnInteger = "Please enter an integer.";

    CDialogDeviceEdit(
        CKelvraDevice& device, int mode, const QString& title, QWidget* parent = nullptr);

    int GetMode() const { return m_mode; }
    // Number of devices to add, as confirmed with OK (mode Add only; 1 otherwise).
    int GetNumber() const { return m_number; }

public slots:
    void accept() override;

private:
    CKelvraDevice& m_device;
    int m_mode;
    int m_number = 1;
    QComboBox* m_type = nullptr;
    CIpAddressEdit* m_address = nullptr;
    QLabel* m_numberLabel = nullptr;
    QAbstractSpinBox* m_numberSpin = nullptr;
};
