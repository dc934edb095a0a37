#include "shell/CommandTable.h"

namespace {

QList<CCommandInfo> BuildTable()
{
    using K = QKeySequence;
    const auto icon = [](const char* name) { return QStringLiteral(":/icons/%1.svg").arg(name); };
    // Alt with + and - is bound to the typed characters; the keypad keys are extra bindings.
    const QList<K> zoomIn { K(Qt::ALT | Qt::Key_Plus),
        K(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Plus)) };
    const QList<K> zoomOut { K(Qt::ALT | Qt::Key_Minus),
        K(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Minus)) };
    using C = CommandId;
    return {
        { C::FileNew, "&New\tCtrl+N", { K(Qt::CTRL | Qt::Key_N) }, "Create a new document", "New",
            icon("new") },
        { C::FileOpen, "&Open...\tCtrl+O", { K(Qt::CTRL | Qt::Key_O) }, "Open an existing document",
            "Open", icon("open") },
        { C::FileSave, "&Save\tCtrl+S", { K(Qt::CTRL | Qt::Key_S) }, "Save the active document",
            "Save", icon("save") },
        { C::FileSaveAs, "Save &as...", {}, "Save the active document with a new name", "Save As",
            {} },
        { C::FilePrint, "&Print...\tCtrl+P", { K(Qt::CTRL | Qt::Key_P) }, {}, "Print",
            icon("print") },
        { C::FilePrintPreview, "Print P&review", {}, {}, "Print Preview", icon("preview") },
        { C::FilePrintSetup, "Printer &Setup", {}, {}, {}, {} },
        { C::FileExportAscii, "Patch Scheme as ASCII-Art Text File...", {}, {}, {}, {} },
        { C::FileRecent1, {}, {}, "Open this document", {}, {} },
        { C::FileRecent2, {}, {}, "Open this document", {}, {} },
        { C::FileRecent3, {}, {}, "Open this document", {}, {} },
        { C::FileRecent4, {}, {}, "Open this document", {}, {} },
        { C::FileQuit, "&Quit", {}, "Quit the application; prompts to save documents", "Exit", {} },
        { C::EditUndo, "Undo\tCtrl+Z", { K(Qt::CTRL | Qt::Key_Z) }, "Undo the last action", "Undo",
            {} },
        { C::EditRedo, "Redo\tCtrl+Y",
            { K(Qt::CTRL | Qt::Key_Y), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) },
            "Redo the previously undone action", "Redo", {} },
        { C::EditCreateMatrix, "Create Matrix...\tF3", { K(Qt::Key_F3) }, "Create a matrix",
            "Create Matrix [F3]", icon("matrix") },
        { C::EditDeviceManager, "Device Manager...\tF4", { K(Qt::Key_F4) }, "Edit the Device-List",
            "Edit Device-List [F4]", icon("devices") },
        { C::EditAutoAddressing, "Automatic Addressing", {}, "Auto-Addressing On",
            "Auto-Addressing On", icon("auto-addressing"), true },
        { C::EditManualAddressing, "Manual Addressing", {}, "Auto-Addressing Off",
            "Auto-Addressing Off", icon("manual-addressing"), true },
        { C::EditToggleTileMode, "Toggle Tile Mode\tF5", { K(Qt::Key_F5) }, "Toggle Tile Mode",
            "Toggle Tile Mode [F5]", icon("toggle-tiles"), true },
        { C::EditMoveTileMode, "Move/Edit Tile Mode\tF6", { K(Qt::Key_F6) }, "Move/Edit Tile Mode",
            "Move/Edit Tile Mode [F6]", icon("move-tiles"), true },
        { C::EditPageInfo, "Page Info...", {}, "Set Page-Info-Text", "Set Page-Info-Text",
            icon("page-info"), true },
        { C::ViewZoomIn, "Zoom In\tAlt++", zoomIn, "Zoom In", "Zoom In [Alt]+[+]",
            icon("zoom-in") },
        { C::ViewZoomOut, "Zoom Out\tAlt+-", zoomOut, "Zoom Out", "Zoom Out [Alt]+[-]",
            icon("zoom-out") },
        { C::ViewZoomManual, "Manual", {}, "Zoom Manual", "Zoom Manual", icon("zoom-manual"),
            true },
        { C::ViewZoomPage, "Page", {}, "Zoom to Page", "Zoom to Page", icon("zoom-page"), true },
        { C::ViewZoomPageWidth, "Page Width", {}, "Zoom to Page Width", "Zoom to Page Width",
            icon("zoom-width"), true },
        { C::ViewZoomPageHeight, "Page Height", {}, "Zoom to Page Height", "Zoom to Page Height",
            icon("zoom-height"), true },
        { C::ViewShowAllConnections, "Show All Connections\tF7", { K(Qt::Key_F7) },
            "Show All Connections", "Show All Connections [F7]", icon("connections-all"), true },
        { C::ViewShowActiveConnections, "Show Connections for Active Universe\tCtrl+F7",
            { K(Qt::CTRL | Qt::Key_F7) }, "Show Connections for Active Universe",
            "Show Connections for Active Universe [CTRL]+[F7]", icon("connections-active"), true },
        { C::ViewHideConnections, "Hide Connections\tF8", { K(Qt::Key_F8) }, "Hide All Connections",
            "Hide All Connections [F8]", icon("connections-hide"), true },
        { C::ViewSortByAddress, "Sort Connections by DMX Address\tF10", { K(Qt::Key_F10) },
            "Sort Connections by DMX Address", "Sort Connections by DMX Address [F10]",
            icon("sort-address"), true },
        { C::ViewSortByPosition, "Sort Connections by Position\tF9", { K(Qt::Key_F9) },
            "Sort Connections by Position", "Sort Connections by Position [F9]",
            icon("sort-position"), true },
        { C::ViewShowSwitches, "Show Switch Settings", {}, "Show Switch Settings",
            "Show Switch Settings", icon("switches"), true },
        { C::SectionsAdd, "Add Section", {}, {}, {}, {} },
        { C::SectionsDelete, "Delete Current Section", {}, {}, {}, {} },
        { C::HelpAbout, "&About...", {},
            "Display program information, version number and copyright", "About", {} },
    };
}

} // namespace

const QList<CCommandInfo>& CommandTable()
{
    static const QList<CCommandInfo> table = BuildTable();
    return table;
}

const CCommandInfo* FindCommand(CommandId id)
{
    for (const CCommandInfo& info : CommandTable()) {
        if (info.id == id)
            return &info;
    }
    return nullptr;
}

const QList<CToolBarSlot>& ToolBarLayout()
{
    using C = CommandId;
    static const CToolBarSlot sep { true };
    static const QList<CToolBarSlot> layout {
        { false, C::FileNew },
        { false, C::FileOpen },
        { false, C::FileSave },
        sep,
        { false, C::FilePrintPreview },
        { false, C::FilePrint },
        sep,
        { false, C::EditCreateMatrix },
        { false, C::EditDeviceManager },
        sep,
        { false, C::EditToggleTileMode },
        { false, C::EditMoveTileMode },
        sep,
        { false, C::ViewZoomIn },
        { false, C::ViewZoomOut },
        { false, C::ViewZoomManual },
        { false, C::ViewZoomPage },
        { false, C::ViewZoomPageWidth },
        { false, C::ViewZoomPageHeight },
        sep,
        { false, C::ViewShowAllConnections },
        { false, C::ViewShowActiveConnections },
        { false, C::ViewHideConnections },
        sep,
        { false, C::ViewSortByPosition },
        { false, C::ViewSortByAddress },
        sep,
        { false, C::ViewShowSwitches },
        sep,
        { false, C::EditAutoAddressing },
        { false, C::EditManualAddressing },
        sep,
        { false, C::EditPageInfo },
    };
    return layout;
}

QString CommandKey(CommandId id)
{
    using C = CommandId;
    switch (id) {
    case C::FileNew:
        return QStringLiteral("FileNew");
    case C::FileOpen:
        return QStringLiteral("FileOpen");
    case C::FileSave:
        return QStringLiteral("FileSave");
    case C::FileSaveAs:
        return QStringLiteral("FileSaveAs");
    case C::FilePrint:
        return QStringLiteral("FilePrint");
    case C::FilePrintPreview:
        return QStringLiteral("FilePrintPreview");
    case C::FilePrintSetup:
        return QStringLiteral("FilePrintSetup");
    case C::FileExportAscii:
        return QStringLiteral("FileExportAscii");
    case C::FileRecent1:
        return QStringLiteral("FileRecent1");
    case C::FileRecent2:
        return QStringLiteral("FileRecent2");
    case C::FileRecent3:
        return QStringLiteral("FileRecent3");
    case C::FileRecent4:
        return QStringLiteral("FileRecent4");
    case C::FileQuit:
        return QStringLiteral("FileQuit");
    case C::EditUndo:
        return QStringLiteral("EditUndo");
    case C::EditRedo:
        return QStringLiteral("EditRedo");
    case C::EditCreateMatrix:
        return QStringLiteral("EditCreateMatrix");
    case C::EditDeviceManager:
        return QStringLiteral("EditDeviceManager");
    case C::EditAutoAddressing:
        return QStringLiteral("EditAutoAddressing");
    case C::EditManualAddressing:
        return QStringLiteral("EditManualAddressing");
    case C::EditToggleTileMode:
        return QStringLiteral("EditToggleTileMode");
    case C::EditMoveTileMode:
        return QStringLiteral("EditMoveTileMode");
    case C::EditPageInfo:
        return QStringLiteral("EditPageInfo");
    case C::ViewZoomIn:
        return QStringLiteral("ViewZoomIn");
    case C::ViewZoomOut:
        return QStringLiteral("ViewZoomOut");
    case C::ViewZoomManual:
        return QStringLiteral("ViewZoomManual");
    case C::ViewZoomPage:
        return QStringLiteral("ViewZoomPage");
    case C::ViewZoomPageWidth:
        return QStringLiteral("ViewZoomPageWidth");
    case C::ViewZoomPageHeight:
        return QStringLiteral("ViewZoomPageHeight");
    case C::ViewShowAllConnections:
        return QStringLiteral("ViewShowAllConnections");
    case C::ViewShowActiveConnections:
        return QStringLiteral("ViewShowActiveConnections");
    case C::ViewHideConnections:
        return QStringLiteral("ViewHideConnections");
    case C::ViewSortByAddress:
        return QStringLiteral("ViewSortByAddress");
    case C::ViewSortByPosition:
        return QStringLiteral("ViewSortByPosition");
    case C::ViewShowSwitches:
        return QStringLiteral("ViewShowSwitches");
    case C::SectionsAdd:
        return QStringLiteral("SectionsAdd");
    case C::SectionsDelete:
        return QStringLiteral("SectionsDelete");
    case C::SectionsChange:
        return QStringLiteral("SectionsChange");
    case C::HelpAbout:
        return QStringLiteral("HelpAbout");
    }
    return {};
}
