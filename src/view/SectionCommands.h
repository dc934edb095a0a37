#pragma once

#include "shell/Commands.h"

#include <QObject>

class CDialogBarPages;
class CQuiltmarkDoc;
class CQuiltmarkView;
class IUserMessages;

// Adding, deleting, switching, renaming and moving sections, between the document and
// the tabs of the sections bar.
class CSectionCommands : public QObject, public ICommandTarget {
    Q_OBJECT

public:
    static constexpr const char* kLimitReached = "The maximum number of Sections is reached!";
    static constexpr const char* kCannotDelete = "It is not posible to delete this section!";

    CSectionCommands(CQuiltmarkDoc& doc, CQuiltmarkView& view, CDialogBarPages& bar,
        IUserMessages& messages, QObject* parent = nullptr);

    bool OnCommand(CommandId id) override;
    bool OnUpdateCommand(CommandId id, CCommandState& state) override;

    void OnSectionsAdd();
    void OnSectionsDelete();
    // Makes the selected tab's section current.
    void OnSectionsChange();
    // One tab per section, the current one selected (after New and Open).
    void FillBar();

signals:
    // Another section became current; the view starts again at its first tile.
    void currentSectionChanged();

private:
    void OnLabelEdited(int index);
    void OnTabMoved(int from, int to);

    CQuiltmarkDoc& m_doc;
    CQuiltmarkView& m_view;
    CDialogBarPages& m_bar;
    IUserMessages& m_messages;
};
