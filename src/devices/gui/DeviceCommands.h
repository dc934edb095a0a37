#pragma once

#include "shell/toolkit/Commands.h"

#include <functional>

class CQuiltmarkDoc;
class QWidget;

// The "Device Manager..." command: opens the device manager on the document. The dialog
// edits the devices in place; the session is one step of the history ("Device Changes"),
// and the document counts as modified once it closes, whichever way it was closed.
class CDeviceCommands : public CCommandBindings {
public:
    // `afterClose` runs once the dialog is gone, e.g. to redraw connections and the title.
    CDeviceCommands(
        CQuiltmarkDoc& doc, QWidget* dialogParent, std::function<void()> afterClose = {});

    void OpenDeviceManager();

private:
    CQuiltmarkDoc& m_doc;
    QWidget* m_parent;
    std::function<void()> m_afterClose;
};
