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
}

bool CDeviceCommands::OnCommand(CommandId id)
{
    if (id != CommandId::EditDeviceManager)
        return false;
    OpenDeviceManager();
    return true;
}

bool CDeviceCommands::OnUpdateCommand(CommandId id, CCommandState& state)
{
    if (id != CommandId::EditDeviceManager)
        return false;
    state.enabled = true;
    state.checked = false;
    return true;
}

void CDeviceCommands::OpenDeviceManager()
{
    {
        CDialogDeviceManager dialog(m_doc, m_parent);
        dialog.exec();
    }
    m_doc.SetModifiedFlag(true);
    if (m_afterClose)
        m_afterClose();
}
