#pragma once

#include <QFrame>
#include <array>
#include <cstdint>

class QLineEdit;

// An IPv4 address entered in four octet fields, the way network dialogs usually offer it:
// a dot or a third digit moves on to the next field, Backspace at the start of a field goes
// back, values above 255 cannot be typed and an empty field counts as 0.
// The children are named "octet0" (most significant) to "octet3".
class CIpAddressEdit : public QFrame {
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    // First field is the most significant byte.
    uint32_t GetAddress() const;
    void SetAddress(uint32_t address);
    // Value of one field, 0..255 (0 when empty); 0 for a field index outside 0..3.
    int GetOctet(int field) const;
    // True when every field is empty.
    bool IsBlank() const;
    void Clear();

    QLineEdit* Field(int field) const;

signals:
    void addressChanged(uint32_t address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FocusField(int field, bool selectAll);
    int IndexOf(QObject* object) const;

    std::array<QLineEdit*, 4> m_fields {};
};
