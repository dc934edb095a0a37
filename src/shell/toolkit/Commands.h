#pragma once

#include <functional>
#include <map>
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
    FileExportPatchCsv,
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
    EditGoTo,
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
    ViewRearView,
    ViewUniverseReport,
    SectionsAdd,
    SectionsDelete,
    SectionsChange, // sent by the sections bar when another tab is selected
    HelpAbout,
};

// What a command looks like now: the window shows it on its menu entry and tool bar button.
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

// A target whose commands are bound once, each to what runs it and to what tells its state.
// The state function must be cheap (no walk over the tiles): the window asks for every
// state whenever something a state depends on has changed.
class CCommandBindings : public ICommandTarget {
public:
    using Run = std::function<void()>;
    using State = std::function<CCommandState()>;

    // Without a state function the command is always enabled and never checked.
    void Bind(CommandId id, Run run, State state = {});
    // Enabled; checked while `checked` says so (the mode commands).
    void BindChecked(CommandId id, Run run, std::function<bool()> checked);

    bool OnCommand(CommandId id) override;
    bool OnUpdateCommand(CommandId id, CCommandState& state) override;

private:
    struct CBinding {
        Run run;
        State state;
    };
    std::map<CommandId, CBinding> m_bindings;
};
