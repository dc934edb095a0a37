#pragma once

#include <string>

// Every user command of the main window. A command travels view -> document -> frame ->
// application; the first target that handles it wins, and commands nobody handles are
// shown disabled.
enum class CommandId {
    FileNew,
    FileOpen,
    FileSave,
    FileSaveAs,
    FilePrint,
    FilePrintPreview,
    FilePrintSetup,
    FileExportAscii,
    FileRecent1,
    FileRecent2,
    FileRecent3,
    FileRecent4,
    FileQuit,
    EditUndo,
    EditRedo,
    EditCreateMatrix,
    EditDeviceManager,
    EditAutoAddressing,
    EditManualAddressing,
    EditToggleTileMode,
    EditMoveTileMode,
    EditPageInfo,
    ViewZoomIn,
    ViewZoomOut,
    ViewZoomManual,
    ViewZoomPage,
    ViewZoomPageWidth,
    ViewZoomPageHeight,
    ViewShowAllConnections,
    ViewShowActiveConnections,
    ViewHideConnections,
    ViewSortByAddress,
    ViewSortByPosition,
    ViewShowSwitches,
    SectionsAdd,
    SectionsDelete,
    SectionsChange,    // sent by the sections bar when another tab is selected
    HelpAbout,
};

// What a target says about a command when menus open or the tool bar idles.
struct CCommandState {
    bool enabled = true;
    bool checked = false;
    // Menu text without the key hint, for entries that name what they would do ("Undo
    // Toggle Tiles"); empty keeps the text the entry has.
    std::string text;
};

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // True when this target handled the command.
    virtual bool OnCommand(CommandId id) = 0;
    // True when this target handles the command; it then fills `state`.
    virtual bool OnUpdateCommand(CommandId id, CCommandState& state) = 0;
};
