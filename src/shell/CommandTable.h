#pragma once

#include "shell/Commands.h"

#include <QKeySequence>
#include <QList>
#include <QString>

// What the window shows for one command: menu text with its key hint after a tab, the
// keys bound to it, the status-bar prompt, the tool tip and the tool bar picture.
struct CCommandInfo {
    CommandId id;
    QString menuText;
    QList<QKeySequence> keys;
    QString prompt;
    QString toolTip;
    QString icon; // resource path of the tool bar picture, empty when none
    bool checkable = false; // mode commands show a check mark
};

// Every command with a menu entry or a tool bar button, in menu order.
const QList<CCommandInfo>& CommandTable();
// None for commands without an entry (the section-change command).
const CCommandInfo* FindCommand(CommandId id);

// Tool bar buttons left to right, separators included.
struct CToolBarSlot {
    bool separator = false;
    CommandId id = CommandId::FileNew;
};
const QList<CToolBarSlot>& ToolBarLayout();

// Stable name of a command, used for object names ("FileNew" -> action "actionFileNew").
QString CommandKey(CommandId id);
