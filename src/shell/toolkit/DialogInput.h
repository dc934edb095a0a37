#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

// A modal one-line text input with a prompt above the field.
class CDialogInput : public QDialog {
    Q_OBJECT

public:
    explicit CDialogInput(int maxLength, QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    void SetPrompt(const QString& prompt);
    void SetText(const QString& text);
    // After OK: the text typed, at most the maximum length.
    QString GetText() const;
    int GetMaxLength() const { return m_maxLength; }

    // True on OK.
    bool DoModal();

private:
    int m_maxLength;
    QLabel* m_prompt;
    QLineEdit* m_edit;
};
