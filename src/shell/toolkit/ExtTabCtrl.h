#pragma once

#include <QRect>
#include <QTabBar>

class CLabelValidator;
class QLineEdit;

// The tab strip of the sections bar: numbered labels ("S1: "), in-place renaming in a line
// editor laid over the tab, and reordering by dragging a tab with an insertion marker.
class CExtTabCtrl : public QTabBar {
    Q_OBJECT

public:
    enum class EditState { None, Editing, Committed, CancelRequested };

    explicit CExtTabCtrl(QWidget* parent = nullptr);

    // Clamped to 0..256; 32 at creation.
    void SetMaxLabelLength(int length);
    int GetMaxLabelLength() const { return m_maxLength; }

    // The tab whose editing ended last (valid while the owner handles labelEdited).
    int GetEditedTab() const { return m_editedTab; }
    EditState GetEditState() const { return m_editState; }
    bool IsEditing() const { return m_editState == EditState::Editing; }
    QString GetEditText() const;
    int GetCaret() const;
    // The line editor over the edited tab; hidden while no label is edited.
    QLineEdit* Editor() const { return m_editor; }
    // Ends editing: accept keeps the edited label, reject puts the saved one back.
    void EndEdit(bool accept);
    // Starts editing the tab as a click on the selected tab does.
    void StartEdit(int index);

    QString GetLabel(int index) const { return tabText(index); }
    void SetLabel(int index, const QString& label);

    bool IsDragging() const { return m_dragging; }
    // Marker of the drop position while dragging (empty otherwise).
    QRect GetDropMarker() const { return m_marker; }

    // Changes made by the owner; they do not report a selection change.
    int InsertItem(int index, const QString& label);
    void DeleteItem(int index);
    void DeleteAllItems();
    void SetCurSel(int index);
    // Selects the tab as the user would, so the owner hears of the change.
    void SetCurFocus(int index);

    static QString Prefix(int index);
    static QColor PrefixColour() { return QColor(210, 119, 24); }

signals:
    // Editing ended by commit; answer with EndEdit.
    void labelEdited(CExtTabCtrl* control);
    // The user selected another tab (click, keyboard or after a drag).
    void selectionChanged(int index);
    // A tab was dragged from `from` and now sits at `to`.
    void tabMovedTo(int from, int to);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Commit();
    void CancelEdit();
    void OnEditorTextChanged(const QString& text);
    void PlaceEditor();
    // Hands a key event that reached the strip while editing to the editor.
    void ForwardToEditor(QEvent* event);
    int DropPosition(const QPoint& pos) const;
    QRect MarkerFor(int position) const;
    void UpdateDrag(const QPoint& pos);
    void FinishDrag();
    void CancelDrag();
    void ScrollTabs(bool left);
    QRect LabelRect(int index) const;

    int m_maxLength = 32;
    EditState m_editState = EditState::None;
    int m_editedTab = -1;
    QString m_savedLabel;
    QLineEdit* m_editor = nullptr;
    CLabelValidator* m_validator = nullptr;
    bool m_forwarding = false;

    bool m_pressed = false;
    bool m_pressOnCurrent = false;
    int m_pressTab = -1;
    QPoint m_pressPos;
    bool m_dragging = false;
    int m_dragSource = -1;
    int m_dropPosition = -1;
    QRect m_marker;

    // Set while the owner changes the tabs, so those changes are not reported.
    bool m_quiet = false;
};
