#pragma once

#include "shell/toolkit/Commands.h"

#include <QObject>

class CDialogBarPages;
class CQuiltmarkDoc;
class CQuiltmarkView;
class IUserMessages;

// Adding, deleting, switching, renaming and moving sections, between the document and
// the tabs of the sections bar.
class CSectionCommands : public QObject, public CCommandBindings {
    Q_OBJECT

public:
    static constexpr const char* kLimitReached = "The maximum number of Sections is reached!";
    static constexpr const char* kCannotDelete = "It is not posible to delete this section!";

    CSectionCommands(CQuiltmarkDoc& doc, CQuiltmarkView& view, CDialogBarPages& bar,
        IUserMessages& messages, QObject* parent = nullptr);

    void OnSectionsAdd();
    void OnSectionsDelete();
    // Makes the selected tab's section current.
    void OnSectionsChange();
    // One tab per section, the current one selected (after New and Open).
    void FillBar();

private:
    void OnLabelEdited(int index);
    void OnTabMoved(int from, int to);

    CQuiltmarkDoc& m_doc;
    CQuiltmarkView& m_view;
    CDialogBarPages& m_bar;
    IUserMessages& m_messages;
};
