#pragma once

#include "view/PrintGeometry.h"

#include <QHash>
#include <QPrintDialog>

class QAbstractButton;
class QGroupBox;
class QRadioButton;
class QShowEvent;

// The print dialog with the choice of what to print. Patch-matrix pages are sections, so
// the page range starts at the current section; the device list is always printed whole.
class CExtPrintDialog : public QPrintDialog {
    Q_OBJECT

public:
    // `currentSection` counts from 1.
    CExtPrintDialog(QPrinter* printer, int sectionCount, int currentSection, PrintContent content,
        QWidget* parent = nullptr);

    PrintContent GetPrintContent() const { return m_content; }
    // As clicking the radio button: sets the content and the page-range controls.
    void SetPrintContent(PrintContent content);
    int GetCurrentSection() const { return m_currentSection; }

    QGroupBox* ContentGroup() const { return m_group; }
    QRadioButton* PatchMatrixButton() const { return m_patchMatrix; }
    QRadioButton* DevicesButton() const { return m_devices; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The standard page-range controls, where the platform's dialog has them.
    QAbstractButton* RangeButton(const char* name) const;
    QWidget* RangeWidget(const char* name) const;
    void ApplyContentState(bool fillEdits);
    void WritePageEdits(int value);

    PrintContent m_content;
    int m_currentSection;
    QGroupBox* m_group = nullptr;
    QRadioButton* m_patchMatrix = nullptr;
    QRadioButton* m_devices = nullptr;
    // Enabled states of the platform's page-set controls while Devices has them disabled.
    QHash<QWidget*, bool> m_pageSetState;
};
