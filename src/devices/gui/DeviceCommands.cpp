#include "devices/gui/DeviceCommands.h"

#include "devices/gui/DialogDeviceManager.h"
#include "document/QuiltmarkDoc.h"

#include <utility>

CDeviceCommands::CDeviceCommands(
    CQuiltmarkDoc& doc, QWidget* dialogParent, std::function<void()> afterClose)
    : m_doc(doc)
    , m_parent(dialogParent)
    , m_afterClose(std::move(afterClose))
{
    Bind(CommandId::EditDeviceManager, [this] { OpenDeviceManager(); });
}

void CDeviceCommands::OpenDeviceManager()
{
    // The whole session is one step of the history.
    m_doc.BeginEdit("Device Changes");
    try {
        CDialogDeviceManager dialog(m_doc, m_parent);
        dialog.exec();
    } catch (...) {
        // What the dialog changed before it failed is still one step that can be undone.
        m_doc.EndEdit();
        throw;
    }
    const bool recorded = m_doc.EndEdit();
    // A session that changed nothing still counts as a change; one that was recorded
    // leaves it to the history, so that undoing it makes the project clean again.
    if (!recorded)
        m_doc.SetModifiedFlag(true);
    if (m_afterClose)
        m_afterClose();
}
