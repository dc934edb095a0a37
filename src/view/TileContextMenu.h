#pragma once

#include "view/EditPrompts.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

class CQuiltmarkDoc;
class CQuiltmarkView;
class QMenu;
class QPoint;

// The menu of the right mouse button in Move/Edit mode: commands on the selected tiles.
// In Toggle mode there is no menu.
class CTileContextMenu : public QObject {
    Q_OBJECT

public:
    enum class Entry { LibraryEntry, SetProperties, CreateItems, DeleteSelected, SelectUndefined };

    static constexpr const char* kLibraryEntry = "Generate a new <lamp> metalib.xml entry...";
    static constexpr const char* kSetProperties = "Set Properties for Selected Tiles...";
    static constexpr const char* kCreateItems = "Create New Items in Selection";
    static constexpr const char* kDeleteSelected = "Delete Selected";
    static constexpr const char* kSelectUndefined = "Select Undefined Tiles";
    static constexpr const char* kModifyCurrentLibrary
        = "Modify current metalib?\nclick 'no' to modify 'metalib_new.xml'!";

    CTileContextMenu(CQuiltmarkDoc& doc, CQuiltmarkView& view, QObject* parent = nullptr);

    // The entries in menu order for the current mode and command line; empty in Toggle mode.
    std::vector<Entry> Entries() const;
    static QString EntryText(Entry entry);
    // Fills `menu` with the entries; the data of each action is its Entry.
    void FillMenu(QMenu& menu) const;
    // Opens the menu for the tile under `client` (viewport coordinates); false when there
    // is none or nothing was chosen.
    bool ShowAt(QPoint client);
    void Run(Entry entry);

    void GenerateLibraryEntry();
    void SetProperties();
    void CreateItemsInSelection();
    void DeleteSelected();
    void SelectUndefinedTiles();

    // "/metalib" was on the command line: the library-entry command leads the menu.
    void SetLibraryEntryEnabled(bool enabled) { m_libraryEntry = enabled; }
    void SetTextPrompt(CTextPrompt prompt) { m_prompt = std::move(prompt); }
    void SetSheetRunner(CSheetRunner runner) { m_runSheet = std::move(runner); }

signals:
    // An entry changed the document.
    void documentChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ModifySelection(bool createItems);

    CQuiltmarkDoc& m_doc;
    QPointer<CQuiltmarkView> m_view;
    CTextPrompt m_prompt;
    CSheetRunner m_runSheet;
    bool m_libraryEntry = false;
};
