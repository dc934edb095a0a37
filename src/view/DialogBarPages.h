#pragma once

#include <QWidget>

class CExtTabCtrl;
class QPushButton;

// The sections bar: "Add" and "Delete" on the left, one tab per section on the right.
// It only passes the user's actions on; the section commands do the work.
class CDialogBarPages : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLabelLimit = 30;

    explicit CDialogBarPages(QWidget* parent = nullptr);

    CExtTabCtrl& Tabs() { return *m_tabs; }
    QPushButton& AddButton() { return *m_add; }
    QPushButton& DeleteButton() { return *m_delete; }

signals:
    void addClicked();
    void deleteClicked();
    // The user selected another tab.
    void sectionSelected(int index);
    // An in-place edit of a tab label was committed; the tab shows the new label.
    void labelEdited(int index);
    void tabMoved(int from, int to);

private:
    QPushButton* m_add;
    QPushButton* m_delete;
    CExtTabCtrl* m_tabs;
};
