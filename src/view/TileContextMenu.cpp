#include "view/TileContextMenu.h"

#include "app/base/UserMessages.h"
#include "dialogs/SetupSheets.h"
#include "document/QuiltmarkDoc.h"
#include "document/section/SubDoc.h"
#include "app/base/StoredText.h"
#include "shell/toolkit/ModelText.h"
#include "view/QuiltmarkView.h"
#include "view/TileEditing.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace {

constexpr int kLibraryNameLength = 128;
constexpr const char* kLibraryTitle = "Section to metalib.xml";

} // namespace

CTileContextMenu::CTileContextMenu(CQuiltmarkDoc& doc, CQuiltmarkView& view, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_view(&view)
    , m_prompt(DefaultTextPrompt(&view))
    , m_runSheet(DefaultSheetRunner())
{
    // The menu key reaches the widget with the keyboard focus, the view, not its viewport.
    view.AddInputFilter(this);
}

std::vector<CTileContextMenu::Entry> CTileContextMenu::Entries() const
{
    if (!m_view || m_view->GetTileMode() != TileMode::MoveEdit)
        return {};
    std::vector<Entry> entries;
    if (m_libraryEntry)
        entries.push_back(Entry::LibraryEntry);
    entries.insert(entries.end(),
        { Entry::SetProperties, Entry::CreateItems, Entry::DeleteSelected,
            Entry::SelectUndefined });
    return entries;
}

QString CTileContextMenu::EntryText(Entry entry)
{
    switch (entry) {
    case Entry::LibraryEntry:
        return QString::fromLatin1(kLibraryEntry);
    case Entry::SetProperties:
        return QString::fromLatin1(kSetProperties);
    case Entry::CreateItems:
        return QString::fromLatin1(kCreateItems);
    case Entry::DeleteSelected:
        return QString::fromLatin1(kDeleteSelected);
    case Entry::SelectUndefined:
        return QString::fromLatin1(kSelectUndefined);
    }
    return QString();
}

void CTileContextMenu::FillMenu(QMenu& menu) const
{
    for (Entry entry : Entries()) {
        QAction* action = menu.addAction(EntryText(entry));
        action->setData(static_cast<int>(entry));
        if (entry == Entry::LibraryEntry || entry == Entry::DeleteSelected)
            menu.addSeparator();
    }
}

bool CTileContextMenu::ShowAt(QPoint client)
{
    if (!m_view)
        return false;
    int column = 0;
    int row = 0;
    m_view->RecomputeLayout();
    if (!m_view->HitTest(client, column, row) || Entries().empty())
        return false;
    QMenu menu(m_view);
    menu.setObjectName(QStringLiteral("tileContextMenu"));
    FillMenu(menu);
    QAction* chosen = menu.exec(m_view->viewport()->mapToGlobal(client));
    if (!chosen)
        return false;
    Run(static_cast<Entry>(chosen->data().toInt()));
    return true;
}

void CTileContextMenu::Run(Entry entry)
{
    switch (entry) {
    case Entry::LibraryEntry:
        GenerateLibraryEntry();
        break;
    case Entry::SetProperties:
        SetProperties();
        break;
    case Entry::CreateItems:
        CreateItemsInSelection();
        break;
    case Entry::DeleteSelected:
        DeleteSelected();
        break;
    case Entry::SelectUndefined:
        SelectUndefinedTiles();
        break;
    }
}

bool CTileContextMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_view || event->type() != QEvent::ContextMenu)
        return false;
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    const bool fromKeyboard = menuEvent->reason() == QContextMenuEvent::Keyboard;
    if (watched != m_view->viewport() && !(watched == m_view && fromKeyboard))
        return false;
    QPoint client = menuEvent->pos();
    if (fromKeyboard) {
        // From the keyboard the menu belongs to the focus tile.
        const QRect tile = m_view->GetLayout()
                               .Shifted(m_view->ScrollPosition())
                               .TileRect(m_view->GetFocusColumn(), m_view->GetFocusRow());
        client = tile.center();
    }
    ShowAt(client);
    return true;
}

void CTileContextMenu::GenerateLibraryEntry()
{
    const CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return;
    const QString name = FromModelText(section->name);
    QString metaName = name;
    if (!m_prompt(QString::fromLatin1(kLibraryTitle), QStringLiteral("New MetaName:"),
            kLibraryNameLength, metaName))
        return;
    QString type = name.toUpper();
    if (!m_prompt(QString::fromLatin1(kLibraryTitle), QStringLiteral("New Type:"),
            kLibraryNameLength, type))
        return;
    type = type.toUpper();
    const bool modifyCurrent
        = m_doc.Messages().AskYesNo(kModifyCurrentLibrary, MessageIcon::Question)
        == MessageAnswer::Yes;
    // The library is XML too: keep it well-formed.
    bool replacedName = false;
    bool replacedType = false;
    const std::string storedName = ToProjectText(metaName, -1, &replacedName);
    const std::string storedType = ToProjectText(type, -1, &replacedType);
    if (replacedName || replacedType)
        m_doc.Messages().ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
    if (!m_doc.WriteLibraryEntry(storedName, storedType, modifyCurrent)) {
        // Saying nothing would leave the user believing the entry was written.
        m_doc.Messages().ShowMessage(
            "The fixture library entry could not be written: metalib.xml could not be read.",
            MessageIcon::Error);
    }
}

void CTileContextMenu::ModifySelection(bool createItems)
{
    if (!m_view || !m_doc.GetCurrentSection())
        return;
    CModifySelectionSheet sheet(
        m_doc, m_view->GetFocusColumn(), m_view->GetFocusRow(), createItems, m_view);
    if (!m_runSheet(sheet))
        return;
    emit documentChanged();
    m_view->ShowStatus(m_view->GetFocusColumn(), m_view->GetFocusRow());
    m_view->Redraw();
}

void CTileContextMenu::SetProperties()
{
    ModifySelection(false);
}

void CTileContextMenu::CreateItemsInSelection()
{
    ModifySelection(true);
}

void CTileContextMenu::DeleteSelected()
{
    CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return;
    // Nothing selected: nothing changed, and the document stays unmodified.
    if (m_doc.ExcludeSelectedTiles(*section, true) > 0)
        emit documentChanged();
    if (m_view) {
        m_view->ShowStatus(m_view->GetFocusColumn(), m_view->GetFocusRow());
        m_view->Redraw();
    }
}

void CTileContextMenu::SelectUndefinedTiles()
{
    CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return;
    section->SelectAll(false);
    section->SelectUndefined();
    if (m_view)
        m_view->Redraw();
}
