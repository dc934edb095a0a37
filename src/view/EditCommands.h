#pragma once

#include "shell/toolkit/Commands.h"
#include "view/EditPrompts.h"

#include <QObject>
#include <QPointer>

class CQuiltmarkDoc;
class CQuiltmarkView;
class CTileContextMenu;
class CTileEditing;

// The Edit menu's matrix commands: Undo and Redo, tile modes, Create Matrix, automatic or
// manual addressing and the page info. Owns the mouse handling and the tile context menu of the
// view, which exist as long as these commands do.
class CEditCommands : public QObject, public CCommandBindings {
    Q_OBJECT

public:
    static constexpr const char* kEnableAutoAddressing
        = "Do you really wish to enable auto adressing?\nIf you click YES, all manual address "
          "settings in all sections will be lost.";
    static constexpr int kPageInfoLength = 250;

    CEditCommands(CQuiltmarkDoc& doc, CQuiltmarkView& view, QObject* parent = nullptr);
    ~CEditCommands() override;

    // Undo (or Redo) the last step; a drag in progress is cancelled first.
    void OnUndo(bool redo);
    void OnCreateMatrix();
    void OnAutoAddressing();
    void OnManualAddressing();
    void OnPageInfo();

    CTileEditing& Editing() { return *m_editing; }
    CTileContextMenu& ContextMenu() { return *m_menu; }

    void SetTextPrompt(CTextPrompt prompt);
    void SetSheetRunner(CSheetRunner runner);

signals:
    // The document changed through these commands, the mouse or the context menu: the
    // window title shows the modified mark.
    void documentChanged();

private:
    void BindCommands();
    void SetTileMode(bool move);
    // After the document changed under the view: focus cell inside the grid, status,
    // sections bar, redraw, title.
    void ShowChangedDocument();

    CQuiltmarkDoc& m_doc;
    QPointer<CQuiltmarkView> m_view;
    CTileEditing* m_editing;
    CTileContextMenu* m_menu;
    CTextPrompt m_prompt;
    CSheetRunner m_runSheet;
};
