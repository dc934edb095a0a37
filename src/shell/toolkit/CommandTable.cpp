#include "shell/toolkit/CommandTable.h"

#include <algorithm>

namespace {

QList<CCommandInfo> BuildTable()
{
    using K = QKeySequence;
    using M = MenuId;
    using C = CommandId;
    const auto icon = [](const char* name) { return QStringLiteral(":/icons/%1.svg").arg(name); };
    // Alt with + and - is bound to the typed characters; the keypad keys are extra bindings.
    const QList<K> zoomIn { K(Qt::ALT | Qt::Key_Plus),
        K(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Plus)) };
    const QList<K> zoomOut { K(Qt::ALT | Qt::Key_Minus),
        K(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Minus)) };
    constexpr bool kCheck = true;
    constexpr bool kSep = true;
    // id, key, menu text, keys, prompt, tool tip, icon, checkable, menu, separator before,
    // tool bar place
    return {
        { C::FileNew, "FileNew", "&New\tCtrl+N", { K(Qt::CTRL | Qt::Key_N) },
            "Create a new document", "New", icon("new"), false, M::File, false, { 1, 1 } },
        { C::FileOpen, "FileOpen", "&Open...\tCtrl+O", { K(Qt::CTRL | Qt::Key_O) },
            "Open an existing document", "Open", icon("open"), false, M::File, false, { 1, 2 } },
        { C::FileSave, "FileSave", "&Save\tCtrl+S", { K(Qt::CTRL | Qt::Key_S) },
            "Save the active document", "Save", icon("save"), false, M::File, false, { 1, 3 } },
        { C::FileSaveAs, "FileSaveAs", "Save &as...", {},
            "Save the active document with a new name", "Save As", {}, false, M::File },
        { C::FilePrint, "FilePrint", "&Print...\tCtrl+P", { K(Qt::CTRL | Qt::Key_P) }, {}, "Print",
            icon("print"), false, M::File, kSep, { 2, 2 } },
        { C::FilePrintPreview, "FilePrintPreview", "Print P&review", {}, {}, "Print Preview",
            icon("preview"), false, M::File, false, { 2, 1 } },
        { C::FilePrintSetup, "FilePrintSetup", "Printer &Setup", {}, {}, {}, {}, false, M::File },
        { C::FileExportAscii, "FileExportAscii", "Patch Scheme as ASCII-Art Text File...", {}, {},
            {}, {}, false, M::Export },
        { C::FileExportPatchCsv, "FileExportPatchCsv", "Patch List as CSV...", {},
            "Export the patch of every section as CSV for a lighting console", {}, {}, false,
            M::Export },
        { C::FileRecent1, "FileRecent1", {}, {}, "Open this document", {}, {}, false, M::File,
            kSep },
        { C::FileRecent2, "FileRecent2", {}, {}, "Open this document", {}, {}, false, M::File },
        { C::FileRecent3, "FileRecent3", {}, {}, "Open this document", {}, {}, false, M::File },
        { C::FileRecent4, "FileRecent4", {}, {}, "Open this document", {}, {}, false, M::File },
        { C::FileQuit, "FileQuit", "&Quit", {}, "Quit the application; prompts to save documents",
            "Exit", {}, false, M::File, kSep },
        { C::EditUndo, "EditUndo", "Undo\tCtrl+Z", { K(Qt::CTRL | Qt::Key_Z) },
            "Undo the last action", "Undo", {}, false, M::Edit },
        { C::EditRedo, "EditRedo", "Redo\tCtrl+Y",
            { K(Qt::CTRL | Qt::Key_Y), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) },
            "Redo the previously undone action", "Redo", {}, false, M::Edit },
        { C::EditCreateMatrix, "EditCreateMatrix", "Create Matrix...\tF3", { K(Qt::Key_F3) },
            "Create a matrix", "Create Matrix [F3]", icon("matrix"), false, M::Edit, kSep,
            { 3, 1 } },
        { C::EditDeviceManager, "EditDeviceManager", "Device Manager...\tF4", { K(Qt::Key_F4) },
            "Edit the Device-List", "Edit Device-List [F4]", icon("devices"), false, M::Edit, false,
            { 3, 2 } },
        { C::EditAutoAddressing, "EditAutoAddressing", "Automatic Addressing", {},
            "Auto-Addressing On", "Auto-Addressing On", icon("auto-addressing"), kCheck, M::Edit,
            kSep, { 9, 1 } },
        { C::EditManualAddressing, "EditManualAddressing", "Manual Addressing", {},
            "Auto-Addressing Off", "Auto-Addressing Off", icon("manual-addressing"), kCheck,
            M::Edit, false, { 9, 2 } },
        { C::EditToggleTileMode, "EditToggleTileMode", "Toggle Tile Mode\tF5", { K(Qt::Key_F5) },
            "Toggle Tile Mode", "Toggle Tile Mode [F5]", icon("toggle-tiles"), kCheck, M::Edit,
            kSep, { 4, 1 } },
        { C::EditMoveTileMode, "EditMoveTileMode", "Move/Edit Tile Mode\tF6", { K(Qt::Key_F6) },
            "Move/Edit Tile Mode", "Move/Edit Tile Mode [F6]", icon("move-tiles"), kCheck, M::Edit,
            false, { 4, 2 } },
        { C::EditPageInfo, "EditPageInfo", "Page Info...", {}, "Set Page-Info-Text",
            "Set Page-Info-Text", icon("page-info"), kCheck, M::Edit, kSep, { 10, 1 } },
        { C::EditGoTo, "EditGoTo", "Go To...\tCtrl+G", { K(Qt::CTRL | Qt::Key_G) },
            "Find a tile by its name, DMX address or screen id", "Go To [CTRL]+[G]", {}, false,
            M::Edit, kSep },
        { C::ViewZoomIn, "ViewZoomIn", "Zoom In\tAlt++", zoomIn, "Zoom In", "Zoom In [Alt]+[+]",
            icon("zoom-in"), false, M::View, false, { 5, 1 } },
        { C::ViewZoomOut, "ViewZoomOut", "Zoom Out\tAlt+-", zoomOut, "Zoom Out",
            "Zoom Out [Alt]+[-]", icon("zoom-out"), false, M::View, false, { 5, 2 } },
        { C::ViewZoomManual, "ViewZoomManual", "Manual", {}, "Zoom Manual", "Zoom Manual",
            icon("zoom-manual"), kCheck, M::ZoomView, false, { 5, 3 } },
        { C::ViewZoomPage, "ViewZoomPage", "Page", {}, "Zoom to Page", "Zoom to Page",
            icon("zoom-page"), kCheck, M::ZoomView, false, { 5, 4 } },
        { C::ViewZoomPageWidth, "ViewZoomPageWidth", "Page Width", {}, "Zoom to Page Width",
            "Zoom to Page Width", icon("zoom-width"), kCheck, M::ZoomView, false, { 5, 5 } },
        { C::ViewZoomPageHeight, "ViewZoomPageHeight", "Page Height", {}, "Zoom to Page Height",
            "Zoom to Page Height", icon("zoom-height"), kCheck, M::ZoomView, false, { 5, 6 } },
        { C::ViewShowAllConnections, "ViewShowAllConnections", "Show All Connections\tF7",
            { K(Qt::Key_F7) }, "Show All Connections", "Show All Connections [F7]",
            icon("connections-all"), kCheck, M::View, kSep, { 6, 1 } },
        { C::ViewShowActiveConnections, "ViewShowActiveConnections",
            "Show Connections for Active Universe\tCtrl+F7", { K(Qt::CTRL | Qt::Key_F7) },
            "Show Connections for Active Universe",
            "Show Connections for Active Universe [CTRL]+[F7]", icon("connections-active"), kCheck,
            M::View, false, { 6, 2 } },
        { C::ViewHideConnections, "ViewHideConnections", "Hide Connections\tF8", { K(Qt::Key_F8) },
            "Hide All Connections", "Hide All Connections [F8]", icon("connections-hide"), kCheck,
            M::View, false, { 6, 3 } },
        { C::ViewSortByAddress, "ViewSortByAddress", "Sort Connections by DMX Address\tF10",
            { K(Qt::Key_F10) }, "Sort Connections by DMX Address",
            "Sort Connections by DMX Address [F10]", icon("sort-address"), kCheck, M::View, kSep,
            { 7, 2 } },
        { C::ViewSortByPosition, "ViewSortByPosition", "Sort Connections by Position\tF9",
            { K(Qt::Key_F9) }, "Sort Connections by Position", "Sort Connections by Position [F9]",
            icon("sort-position"), kCheck, M::View, false, { 7, 1 } },
        { C::ViewShowSwitches, "ViewShowSwitches", "Show Switch Settings", {},
            "Show Switch Settings", "Show Switch Settings", icon("switches"), kCheck, M::View, kSep,
            { 8, 1 } },
        { C::ViewRearView, "ViewRearView", "Rear View", {}, "Show the wall as seen from behind",
            "Rear View", {}, kCheck, M::View, kSep },
        { C::ViewUniverseReport, "ViewUniverseReport", "Universe Report...", {},
            "Show the channels, sections, outputs and conflicts of every universe", {}, {}, false,
            M::View, kSep },
        { C::SectionsAdd, "SectionsAdd", "Add Section", {}, {}, {}, {}, false, M::Sections },
        { C::SectionsDelete, "SectionsDelete", "Delete Current Section", {}, {}, {}, {}, false,
            M::Sections },
        { C::HelpAbout, "HelpAbout", "&About...", {},
            "Display program information, version number and copyright", "About", {}, false,
            M::Help },
    };
}

} // namespace

const QList<CMenuInfo>& MenuTable()
{
    using M = MenuId;
    static const QList<CMenuInfo> menus {
        { M::File, M::None, "&File", "menuFile" },
        { M::Export, M::File, "&Export", "menuExport", true },
        { M::Edit, M::None, "&Edit", "menuEdit" },
        { M::View, M::None, "&View", "menuView" },
        { M::ZoomView, M::View, "Zoom View", "menuZoomView" },
        { M::Sections, M::None, "&Sections", "menuSections" },
        { M::Help, M::None, "&Help", "menuHelp" },
    };
    return menus;
}

const QList<CCommandInfo>& CommandTable()
{
    static const QList<CCommandInfo> table = BuildTable();
    return table;
}

QList<CToolBarSlot> ToolBarLayout()
{
    QList<const CCommandInfo*> buttons;
    for (const CCommandInfo& info : CommandTable()) {
        if (info.toolBar.group > 0)
            buttons.append(&info);
    }
    std::stable_sort(buttons.begin(), buttons.end(), [](const auto* a, const auto* b) {
        return a->toolBar.group != b->toolBar.group ? a->toolBar.group < b->toolBar.group
                                                    : a->toolBar.order < b->toolBar.order;
    });
    QList<CToolBarSlot> layout;
    int group = 0;
    for (const CCommandInfo* info : buttons) {
        if (group != 0 && info->toolBar.group != group)
            layout.append(CToolBarSlot { true });
        group = info->toolBar.group;
        layout.append(CToolBarSlot { false, info->id });
    }
    return layout;
}
