#include "view/EditPrompts.h"

#include "shell/toolkit/DialogInput.h"

#include <QPointer>

CTextPrompt DefaultTextPrompt(QWidget* parent)
{
    QPointer<QWidget> owner(parent);
    return [owner](const QString& title, const QString& prompt, int maxLength, QString& text) {
        CDialogInput dialog(maxLength, owner);
        dialog.SetTitle(title);
        dialog.SetPrompt(prompt);
        dialog.SetText(text);
        if (!dialog.DoModal())
            return false;
        text = dialog.GetText();
        return true;
    };
}

CSheetRunner DefaultSheetRunner()
{
    return [](QDialog& sheet) { return sheet.exec() == QDialog::Accepted; };
}
