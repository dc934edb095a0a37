#pragma once

#include <QDialog>

class IUsedUniverses;
class QComboBox;

// Chooses the universe of one DMX port among the universes the project uses. A universe
// that no section uses any more stays selectable, marked as such, so that opening and
// confirming the dialog never changes a port by itself.
class CDialogDeviceDmxEdit : public QDialog {
    Q_OBJECT

public:
    // `universe` is zero-based, -1 for none.
    CDialogDeviceDmxEdit(
        const IUsedUniverses& used, int universe, const QString& title, QWidget* parent = nullptr);

    // The chosen universe after OK (zero-based, -1 for none); the given one otherwise.
    int GetUniverse() const { return m_universe; }

public slots:
    void accept() override;

private:
    int m_universe;
    QComboBox* m_list = nullptr;
};
