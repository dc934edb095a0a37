#pragma once

#include <QFrame>
#include <array>
#include <cstdint>
#include <optional>

class QKeyEvent;
class QLineEdit;

// An IPv4 address entered in four octet fields, the way network dialogs usually offer it:
// a dot or a third digit moves on to the next field (a dot right after a third digit does not
// move on a second time), Backspace at the start of a field deletes in the previous one,
// values above 255 cannot be typed, a whole dotted address can be pasted into any field and an
// empty field counts as 0. Tab enters and leaves the control as a whole.
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
    // Sent when the value read by GetAddress changes, whether by typing or by the program.
    void addressChanged(uint32_t address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool HandleKey(int index, QKeyEvent* key);
    void OnEdited(int index);
    void PasteInto(int index);
    bool PasteWholeAddress(const QString& text);
    void ShowContextMenu(int index, const QPoint& globalPos);
    void FocusField(int field, bool selectAll);
    void ReportIfChanged();
    int IndexOf(QObject* object) const;

    std::array<QLineEdit*, 4> m_fields {};
    // The field that a third digit has just moved to, while the user has not touched it yet.
    std::optional<int> m_advancedTo;
    uint32_t m_reported = 0;
};
