#include "view/SectionCommands.h"

#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "app/base/StoredText.h"
#include "shell/toolkit/ExtTabCtrl.h"
#include "shell/toolkit/ModelText.h"
#include "view/DialogBarPages.h"
#include "view/QuiltmarkView.h"
#include "view/ViewGeometry.h"

#include <algorithm>

CSectionCommands::CSectionCommands(CQuiltmarkDoc& doc, CQuiltmarkView& view, CDialogBarPages& bar,
    IUserMessages& messages, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_view(view)
    , m_bar(bar)
    , m_messages(messages)
{
    connect(&bar, &CDialogBarPages::labelEdited, this, &CSectionCommands::OnLabelEdited);
    connect(&bar, &CDialogBarPages::tabMoved, this, &CSectionCommands::OnTabMoved);
    connect(&view, &CQuiltmarkView::sectionsReset, this, &CSectionCommands::FillBar);
    Bind(CommandId::SectionsAdd, [this] { OnSectionsAdd(); });
    Bind(CommandId::SectionsDelete, [this] { OnSectionsDelete(); });
    Bind(CommandId::SectionsChange, [this] { OnSectionsChange(); });
}

void CSectionCommands::FillBar()
{
    CExtTabCtrl& tabs = m_bar.Tabs();
    tabs.DeleteAllItems();
    for (int i = 0; i < m_doc.GetSectionCount(); ++i)
        tabs.InsertItem(i, FromModelText(m_doc.GetSection(i)->name));
    tabs.SetCurSel(m_doc.GetCurrentSectionIndex());
    // After New or Open the status pane still described a tile of the previous document.
    emit m_view.statusTextChanged(QString());
}

void CSectionCommands::OnSectionsAdd()
{
    if (m_doc.GetSectionCount() >= CQuiltmarkDoc::kMaxSections) {
        m_messages.ShowMessage(kLimitReached, MessageIcon::None);
        return;
    }
    CSubDoc* section = m_doc.AppendSection();
    if (!section)
        return;
    CExtTabCtrl& tabs = m_bar.Tabs();
    const int index = tabs.InsertItem(tabs.count(), FromModelText(section->name));
    tabs.SetCurFocus(index);
    // The tab strip and the document agree even when the selection did not move.
    if (tabs.currentIndex() == index && m_doc.GetCurrentSectionIndex() != index)
        OnSectionsChange();
    m_view.Redraw();
}

void CSectionCommands::OnSectionsDelete()
{
    CExtTabCtrl& tabs = m_bar.Tabs();
    const int index = tabs.currentIndex();
    const QString label = tabs.GetLabel(index).left(255);
    const std::string question
        = "Are you sure you want to delete section \"" + ToModelText(label) + "\"?";
    if (m_messages.AskYesNo(question, MessageIcon::Question) != MessageAnswer::Yes)
        return;
    if (!m_doc.RemoveSection(index)) {
        m_messages.ShowMessage(kCannotDelete, MessageIcon::Warning);
        return;
    }
    tabs.DeleteItem(index);
    tabs.SetCurSel(m_doc.GetCurrentSectionIndex());
    OnSectionsChange();
}

void CSectionCommands::OnSectionsChange()
{
    const int index = m_bar.Tabs().currentIndex();
    if (index < 0 || index >= m_doc.GetSectionCount())
        return;
    m_doc.SetCurrentSection(index);
    m_view.SetFocusCell(0, 0);
    // The status pane described a tile of the previous section.
    emit m_view.statusTextChanged(QString());
    m_view.Redraw();
    // Tiles of the new section drawn smaller than this are too small to work with.
    const CViewLayout& layout = m_view.RecomputeLayout();
    const int zoom = m_view.GetZoom();
    const int smaller = std::min(layout.tile.width(), layout.tile.height());
    if (smaller > 0 && (zoom * layout.tile.width() <= 40 || zoom * layout.tile.height() <= 40)) {
        // Only the percent changes: a fitted zoom mode stays and fits again on the next paint.
        const ZoomMode mode = m_view.GetZoomMode();
        m_view.SetZoom(40 / smaller + 1);
        m_view.SetZoomMode(mode);
        m_view.Redraw();
    }
}

void CSectionCommands::OnLabelEdited(int index)
{
    CExtTabCtrl& tabs = m_bar.Tabs();
    bool replaced = false;
    const std::string name = ToProjectText(tabs.GetLabel(index), -1, &replaced);
    // A name already in use, the tab's own included, is refused and the old label returns.
    if (!m_doc.RenameSection(index, name)) {
        tabs.EndEdit(false);
        return;
    }
    tabs.EndEdit(true);
    if (replaced) {
        tabs.SetLabel(index, FromModelText(name));
        m_doc.Messages().ShowMessage(kControlsReplacedMessage, MessageIcon::Warning);
    }
    m_view.Redraw();
    m_bar.update();
}

void CSectionCommands::OnTabMoved(int from, int to)
{
    m_doc.MoveSection(from, to);
    m_view.Redraw();
}
