#include "view/EditCommands.h"

#include "app/UserMessages.h"
#include "dialogs/SetupSheets.h"
#include "document/QuiltmarkDoc.h"
#include "document/SubDoc.h"
#include "formats/StoredText.h"
#include "shell/ModelText.h"
#include "view/QuiltmarkView.h"
#include "view/TileContextMenu.h"
#include "view/TileEditing.h"

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

bool CEditCommands::OnCommand(CommandId id)
{
    switch (id) {
    case CommandId::EditToggleTileMode:
        SetTileMode(false);
        return true;
    case CommandId::EditMoveTileMode:
        SetTileMode(true);
        return true;
    case CommandId::EditCreateMatrix:
        OnCreateMatrix();
        return true;
    case CommandId::EditAutoAddressing:
        OnAutoAddressing();
        return true;
    case CommandId::EditManualAddressing:
        OnManualAddressing();
        return true;
    case CommandId::EditPageInfo:
        OnPageInfo();
        return true;
    default:
        return false;
    }
}

bool CEditCommands::OnUpdateCommand(CommandId id, CCommandState& state)
{
    const bool haveSection = m_doc.GetCurrentSection() != nullptr;
    switch (id) {
    case CommandId::EditToggleTileMode:
        state.enabled = true;
        state.checked = m_view && m_view->GetTileMode() == TileMode::Toggle;
        return true;
    case CommandId::EditMoveTileMode:
        state.enabled = true;
        state.checked = m_view && m_view->GetTileMode() == TileMode::MoveEdit;
        return true;
    case CommandId::EditAutoAddressing:
        state.enabled = true;
        state.checked = m_doc.autoAddressing;
        return true;
    case CommandId::EditManualAddressing:
        state.enabled = true;
        state.checked = !m_doc.autoAddressing;
        return true;
    case CommandId::EditCreateMatrix:
    case CommandId::EditPageInfo:
        state.enabled = haveSection;
        state.checked = false;
        return true;
    default:
        return false;
    }
}

void CEditCommands::SetTileMode(bool move)
{
    if (!m_view)
        return;
    // A press or drag of the other mode must not finish in this one.
    m_editing->Cancel();
    m_view->SetTileMode(move ? TileMode::MoveEdit : TileMode::Toggle);
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
