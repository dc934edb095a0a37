#include "view/EditCommands.h"

#include "app/base/UserMessages.h"
#include "dialogs/SetupSheets.h"
#include "document/QuiltmarkDoc.h"
#include "document/section/SubDoc.h"
#include "app/base/StoredText.h"
#include "shell/toolkit/ModelText.h"
#include "view/QuiltmarkView.h"
#include "view/TileContextMenu.h"
#include "view/TileEditing.h"

#include <algorithm>

CEditCommands::CEditCommands(CQuiltmarkDoc& doc, CQuiltmarkView& view, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_view(&view)
    , m_editing(new CTileEditing(doc, view, this))
    , m_menu(new CTileContextMenu(doc, view, this))
    , m_prompt(DefaultTextPrompt(&view))
    , m_runSheet(DefaultSheetRunner())
{
    connect(m_editing, &CTileEditing::documentChanged, this, &CEditCommands::documentChanged);
    connect(m_menu, &CTileContextMenu::documentChanged, this, &CEditCommands::documentChanged);
    BindCommands();
}

CEditCommands::~CEditCommands()
{
    if (m_view)
        m_view->RemoveCommandHandler(this);
}

void CEditCommands::SetTextPrompt(CTextPrompt prompt)
{
    m_prompt = prompt;
    m_menu->SetTextPrompt(std::move(prompt));
}

void CEditCommands::SetSheetRunner(CSheetRunner runner)
{
    m_runSheet = runner;
    m_menu->SetSheetRunner(std::move(runner));
}

void CEditCommands::BindCommands()
{
    using C = CommandId;
    Bind(
        C::EditUndo, [this] { OnUndo(false); },
        [this] {
            // A toggle drag holds its step open until it ends; Undo ends it and takes it back.
            const std::string name = m_doc.GetUndoName();
            CCommandState state;
            state.enabled = m_doc.CanUndo() || m_doc.IsEditOpen();
            state.text = name.empty() ? "Undo" : "Undo " + name;
            return state;
        });
    Bind(
        C::EditRedo, [this] { OnUndo(true); },
        [this] {
            const std::string name = m_doc.GetRedoName();
            CCommandState state;
            state.enabled = m_doc.CanRedo();
            state.text = name.empty() ? "Redo" : "Redo " + name;
            return state;
        });
    BindChecked(
        C::EditToggleTileMode, [this] { SetTileMode(false); },
        [this] { return m_view && m_view->GetTileMode() == TileMode::Toggle; });
    BindChecked(
        C::EditMoveTileMode, [this] { SetTileMode(true); },
        [this] { return m_view && m_view->GetTileMode() == TileMode::MoveEdit; });
    BindChecked(
        C::EditAutoAddressing, [this] { OnAutoAddressing(); },
        [this] { return m_doc.autoAddressing; });
    BindChecked(
        C::EditManualAddressing, [this] { OnManualAddressing(); },
        [this] { return !m_doc.autoAddressing; });
    const auto needsSection = [this] {
        CCommandState state;
        state.enabled = m_doc.GetCurrentSection() != nullptr;
        return state;
    };
    Bind(
        C::EditCreateMatrix, [this] { OnCreateMatrix(); }, needsSection);
    Bind(
        C::EditPageInfo, [this] { OnPageInfo(); }, needsSection);
}

void CEditCommands::SetTileMode(bool move)
{
    if (!m_view)
        return;
    // A press or drag of the other mode must not finish in this one.
    m_editing->Cancel();
    m_view->SetTileMode(move ? TileMode::MoveEdit : TileMode::Toggle);
}

void CEditCommands::OnUndo(bool redo)
{
    // A drag in progress would go on over tiles that are no longer where they were.
    m_editing->Cancel();
    const bool done = redo ? m_doc.Redo() : m_doc.Undo();
    if (done)
        ShowChangedDocument();
}

void CEditCommands::ShowChangedDocument()
{
    if (m_view) {
        // Names, order and the current tab may all have changed.
        emit m_view->sectionsReset();
        const CSubDoc* section = m_doc.GetCurrentSection();
        const int columns = section ? section->GetTileColumns() : 0;
        const int rows = section ? section->GetTileRows() : 0;
        // The grid may have shrunk below the focus cell.
        m_view->SetFocusCell(std::clamp(m_view->GetFocusColumn(), 0, std::max(columns - 1, 0)),
            std::clamp(m_view->GetFocusRow(), 0, std::max(rows - 1, 0)));
        if (columns > 0 && rows > 0)
            m_view->ShowStatus(m_view->GetFocusColumn(), m_view->GetFocusRow());
        m_view->Redraw();
    }
    emit documentChanged();
}

void CEditCommands::OnCreateMatrix()
{
    CSubDoc* section = m_doc.GetCurrentSection();
    if (!m_view || !section)
        return;
    m_editing->Cancel();
    CCreateMatrixSheet sheet(m_doc, m_view);
    if (!m_runSheet(sheet))
        return;
    emit documentChanged();
    // The grid may have shrunk below the focus cell.
    if (!section->GetTile(m_view->GetFocusColumn(), m_view->GetFocusRow()))
        m_view->SetFocusCell(0, 0);
    m_view->ShowStatus(m_view->GetFocusColumn(), m_view->GetFocusRow());
    m_view->Redraw();
}

void CEditCommands::OnAutoAddressing()
{
    if (m_doc.autoAddressing)
        return;
    if (m_doc.Messages().AskYesNo(kEnableAutoAddressing, MessageIcon::Warning)
        != MessageAnswer::Yes)
        return;
    // Switching on changes no address by itself: each section loses its hand-set
    // addresses at its next edit, as the question warns.
    m_doc.autoAddressing = true;
    if (m_view)
        m_view->Redraw();
}

void CEditCommands::OnManualAddressing()
{
    m_doc.autoAddressing = false;
    if (m_view)
        m_view->Redraw();
}

void CEditCommands::OnPageInfo()
{
    CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return;
    QString text = FromModelText(section->info);
    if (!m_prompt(QStringLiteral("Page-Info"), QStringLiteral("Page-Info:"), kPageInfoLength, text))
        return;
    bool replaced = false;
    m_doc.SetPageInfo(*section, ToProjectText(text.left(kPageInfoLength), -1, &replaced));
    if (replaced)
        m_doc.Messages().ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
    emit documentChanged();
    if (m_view)
        m_view->Redraw();
}
