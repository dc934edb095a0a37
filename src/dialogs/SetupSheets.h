#pragma once

#include <QWizard>

class CQuiltmarkBasicDlg;
class CQuiltmarkDoc;
class CQuiltmarkLayoutDlg;
class CSubDoc;

// "Create New Matrix": sets up the current section through the basic page and the
// addressing layout page. Finish writes the values back, sets the section up and
// re-addresses it.
class CCreateMatrixSheet : public QWizard {
    Q_OBJECT

public:
    // Proposes a base universe after the ones in use when the section's is 0; the section
    // takes it only on Finish.
    CCreateMatrixSheet(CQuiltmarkDoc& doc, QWidget* parent = nullptr);

    CQuiltmarkBasicDlg* BasicPage() const { return m_basic; }
    CQuiltmarkLayoutDlg* LayoutPage() const { return m_layout; }

    void accept() override;

private:
    CQuiltmarkDoc& m_doc;
    CSubDoc* m_section;
    CQuiltmarkBasicDlg* m_basic;
    CQuiltmarkLayoutDlg* m_layout;
};

// "Modify selected items in the curret Section": re-addresses the selected tiles with
// values of the layout page, starting from the focus tile's address.
class CModifySelectionSheet : public QWizard {
    Q_OBJECT

public:
    // With `createItems` the selected tiles are made present again before addressing.
    CModifySelectionSheet(CQuiltmarkDoc& doc, int focusColumn, int focusRow, bool createItems,
        QWidget* parent = nullptr);

    CQuiltmarkLayoutDlg* LayoutPage() const { return m_layout; }

    void accept() override;

private:
    CQuiltmarkDoc& m_doc;
    CSubDoc* m_section;
    bool m_createItems;
    CQuiltmarkLayoutDlg* m_layout;
};
