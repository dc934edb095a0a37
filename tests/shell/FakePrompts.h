#pragma once

#include "shell/DocManager.h"

#include <QStringList>

// Answers the frame's questions and file dialogs from fixed values and records them.
class CFakePrompts : public IDocPrompts {
public:
    SaveAnswer AskSaveChanges(const QString& title) override
    {
        asked.append(title);
        return saveAnswer;
    }
    QString AskOpenFileName() override { return openName; }
    QString AskSaveFileName(const QString& proposed) override
    {
        proposedNames.append(proposed);
        return saveName;
    }

    SaveAnswer saveAnswer = SaveAnswer::No;
    QString openName;
    QString saveName;
    QStringList asked;
    QStringList proposedNames;
};
