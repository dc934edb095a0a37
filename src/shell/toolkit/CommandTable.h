#pragma once

#include "shell/toolkit/Commands.h"

#include <QKeySequence>
#include <QList>
#include <QString>

// The menus of the window, in the order of the menu bar; a sub-menu follows its parent.
enum class MenuId { None, File, Export, Edit, View, ZoomView, Sections, Help };

struct CMenuInfo {
    MenuId id;
    MenuId parent; // None for a menu of the menu bar
    const char* title;
    const char* objectName;
    bool separatorBefore = false; // a sub-menu's separator in its parent
};
const QList<CMenuInfo>& MenuTable();

// Where a command sits on the tool bar: buttons are sorted by group, then order, and
// groups are set apart by separators. Group 0 means no button.
struct CToolBarPlace {
    int group = 0;
    int order = 0;
};

// Everything the window shows for one command: its menu entry (text with the key hint after
// a tab, the menu and a separator before it), the keys bound to it, the status-bar prompt,
// the tool tip and the tool bar picture and place.
struct CCommandInfo {
    CommandId id;
    const char* key; // stable name ("FileNew" -> action "actionFileNew")
    QString menuText;
    QList<QKeySequence> keys;
    QString prompt;
    QString toolTip;
    QString icon; // resource path of the tool bar picture, empty when none
    bool checkable = false; // mode commands show a check mark
    MenuId menu = MenuId::None;
    bool separatorBefore = false;
    CToolBarPlace toolBar = {};
};

// Every command with a menu entry or a tool bar button, in menu order.
const QList<CCommandInfo>& CommandTable();

// Tool bar buttons left to right as the table places them, separators between groups.
struct CToolBarSlot {
    bool separator = false;
    CommandId id = CommandId::FileNew;
};
QList<CToolBarSlot> ToolBarLayout();
